#include "loader/process_identity.h"

#include "win32/system_handles.h"

namespace loader {

std::wstring app_user_model_id_from(const AppIdFunctions& functions) {
    if (functions.get_current_application_user_model_id != nullptr) {
        wchar_t buffer[131] = {};
        UINT32 length = 131;
        if (functions.get_current_application_user_model_id(&length, buffer) == ERROR_SUCCESS) {
            buffer[130] = L'\0';
            return buffer;
        }
    }
    if (functions.get_current_process_explicit_app_user_model_id != nullptr) {
        win32::UniqueCoTaskString id;
        if (SUCCEEDED(functions.get_current_process_explicit_app_user_model_id(id.put()))) {
            return id ? std::wstring(id.get()) : std::wstring();
        }
    }
    return std::wstring();
}

std::wstring app_user_model_id() {
    return app_user_model_id_from(app_id_functions());
}

HRESULT module_file_name(std::wstring& name) {
    for (const DWORD size : {DWORD{260}, DWORD{4096}}) {
        std::wstring buffer(size, L'\0');
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        const DWORD error = GetLastError();
        if (length != 0 && length < size) {
            buffer.resize(length);
            name = std::move(buffer);
            return S_OK;
        }
        if (length == 0 || error != ERROR_INSUFFICIENT_BUFFER || size == 4096) {
            return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
        }
    }
    return E_FAIL;
}

std::wstring exe_file_name() {
    std::wstring path;
    if (FAILED(module_file_name(path))) {
        return std::wstring();
    }
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace loader
