#include "loader/system_functions.h"

#include "win32/system_handles.h"

namespace loader {

const AppIdFunctions& app_id_functions() {
    // Thread-safe one-time initialisation; shell32 stays loaded for the life of the process.
    static const AppIdFunctions functions = [] {
        const HMODULE kernel32 = GetModuleHandleW(L"Kernel32.dll");
        const HMODULE shell32 =
            LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        AppIdFunctions found;
        found.get_current_application_user_model_id =
            win32::find_function<GetCurrentApplicationUserModelId>(
                kernel32, "GetCurrentApplicationUserModelId");
        found.get_current_process_explicit_app_user_model_id =
            win32::find_function<GetCurrentProcessExplicitAppUserModelId>(
                shell32, "GetCurrentProcessExplicitAppUserModelID");
        return found;
    }();
    return functions;
}

const PackageFunctions& package_functions() {
    static const PackageFunctions functions = [] {
        const HMODULE kernelbase = GetModuleHandleW(L"kernelbase.dll");
        PackageFunctions found;
        found.try_create_package_dependency = win32::find_function<TryCreatePackageDependency>(
            kernelbase, "TryCreatePackageDependency");
        found.add_package_dependency =
            win32::find_function<AddPackageDependency>(kernelbase, "AddPackageDependency");
        found.get_current_package_info =
            win32::find_function<GetCurrentPackageInfo>(kernelbase, "GetCurrentPackageInfo");
        return found;
    }();
    return functions;
}

}  // namespace loader
