#include "loader/system_functions.h"

namespace loader {
namespace {

template <typename Function>
void look_up(HMODULE module, const char* name, Function& function) {
    if (module != nullptr) {
        function =
            reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
}

}  // namespace

const AppIdFunctions& app_id_functions() {
    // Thread-safe one-time initialisation; shell32 stays loaded for the life of the process.
    static const AppIdFunctions functions = [] {
        AppIdFunctions found;
        look_up(GetModuleHandleW(L"Kernel32.dll"), "GetCurrentApplicationUserModelId",
                found.get_current_application_user_model_id);
        look_up(LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32),
                "GetCurrentProcessExplicitAppUserModelID",
                found.get_current_process_explicit_app_user_model_id);
        return found;
    }();
    return functions;
}

const PackageFunctions& package_functions() {
    static const PackageFunctions functions = [] {
        PackageFunctions found;
        const HMODULE kernelbase = GetModuleHandleW(L"kernelbase.dll");
        look_up(kernelbase, "TryCreatePackageDependency", found.try_create_package_dependency);
        look_up(kernelbase, "AddPackageDependency", found.add_package_dependency);
        look_up(kernelbase, "GetCurrentPackageInfo", found.get_current_package_info);
        return found;
    }();
    return functions;
}

}  // namespace loader
