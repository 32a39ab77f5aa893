#include "loader/runtime_search.h"

#include <vector>

#include "loader/debug_output.h"
#include "loader/process_identity.h"
#include "loader/registry.h"
#include "loader/registry_keys.h"
#include "win32/system_handles.h"

namespace loader {

const std::array<Channel, channel_count> channels{{
    {L"Stable", stable_channel_guid, L"Microsoft.WebView2Runtime.Stable_8wekyb3d8bbwe"},
    {L"Beta", L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}",
     L"Microsoft.WebView2Runtime.Beta_8wekyb3d8bbwe"},
    {L"Dev", L"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}",
     L"Microsoft.WebView2Runtime.Dev_8wekyb3d8bbwe"},
    {L"Canary", L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}",
     L"Microsoft.WebView2Runtime.Canary_8wekyb3d8bbwe"},
    {L"Internal", L"{BE59E8FD-089A-411B-A3B0-051D9E417818}",
     L"Microsoft.WebView2Runtime.Internal_8wekyb3d8bbwe"},
}};

namespace {

constexpr char no_runtime_text[] =
    "WebView2: Failed to find an installed WebView2 runtime or non-stable Microsoft Edge "
    "installation.\n";
constexpr UINT32 package_info_flags = 0x180001;

// A runtime among the packages of the process's package graph, for one channel.
bool probe_package_runtime(const Channel& channel, std::wstring& dll_path) {
    const PackageFunctions& functions = package_functions();
    if (functions.try_create_package_dependency == nullptr ||
        functions.add_package_dependency == nullptr) {
        return false;
    }
    PWSTR dependency_id = nullptr;
    if (SUCCEEDED(functions.try_create_package_dependency(nullptr, channel.package_family_name, 0,
                                                          0, 0, nullptr, 0, &dependency_id))) {
        void* context = nullptr;  // the dependency lasts as long as the process
        (void)functions.add_package_dependency(dependency_id, 0, 0, &context, nullptr);
        if (dependency_id != nullptr) {
            HeapFree(GetProcessHeap(), 0, dependency_id);
        }
    }
    if (functions.get_current_package_info == nullptr) {
        return false;
    }
    UINT32 length = 0;
    UINT32 count = 0;
    if (functions.get_current_package_info(package_info_flags, &length, nullptr, &count) !=
            ERROR_INSUFFICIENT_BUFFER ||
        length == 0) {
        return false;
    }
    // Whole 8-byte units, so the records are aligned for their pointers.
    std::vector<std::uint64_t> buffer((length + 7) / 8);
    if (functions.get_current_package_info(package_info_flags, &length,
                                           reinterpret_cast<BYTE*>(buffer.data()),
                                           &count) != ERROR_SUCCESS) {
        return false;
    }
    // Never walk past what was allocated, whatever count says.
    const std::size_t capacity = buffer.size() * 8 / sizeof(PackageInfo);
    if (count > capacity) {
        count = static_cast<UINT32>(capacity);
    }
    auto runtime = find_package_runtime(reinterpret_cast<const PackageInfo*>(buffer.data()), count,
                                        channel.package_family_name);
    if (!runtime) {
        return false;
    }
    dll_path = std::move(runtime->folder);
    return check_runtime_version(runtime->version, dll_path);
}

}  // namespace

bool is_absolute_folder(std::wstring_view folder) {
    if (folder.size() < 3) {
        return false;
    }
    if (folder[0] == L'\\' && folder[1] == L'\\') {
        return true;
    }
    const wchar_t drive = folder[0];
    return ((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z')) &&
           folder[1] == L':' && folder[2] == L'\\';
}

bool client_dll_usable(std::wstring& path) {
    path += L'\\';
    path += client_dll_relative_path;
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    const win32::UniqueFileHandle file(
        CreateFileW(path.c_str(), SYNCHRONIZE | FILE_EXECUTE | FILE_READ_DATA,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        debug_path_line("WebView2: skipped inaccessible ", path);
        return false;
    }
    return true;
}

HRESULT client_dll_in_folder(const wchar_t* folder, std::wstring& dll_path) {
    std::wstring path;
    if (is_absolute_folder(folder)) {
        path = folder;
    } else {
        if (const HRESULT hr = module_file_name(path); FAILED(hr)) {
            debug_line("WebView2: Failed to find the app exe path.\n");
            return hr;
        }
        const std::size_t slash = path.rfind(L'\\');
        if (slash == std::wstring::npos) {
            return E_FAIL;
        }
        path.resize(slash + 1);
        path += folder;
    }
    if (!client_dll_usable(path)) {
        debug_path_line("WebView2: Failed to find the WebView2 client dll at: ", path);
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    dll_path = std::move(path);
    return S_OK;
}

std::size_t channel_search_order(const EnvironmentRequest& request,
                                 std::array<int, channel_count>& order) {
    std::uint32_t mask = request.release_channels;
    // Every public channel asked for means every channel, Internal included.
    if (!request.release_channels_given || (mask & ~internal_channel_bit) == public_channels_mask) {
        mask = every_channel_mask;
    }
    std::size_t count = 0;
    constexpr int last = static_cast<int>(channel_count) - 1;
    for (int step = 0; step <= last; ++step) {
        const int index = request.channel_search_kind == least_stable_first ? last - step : step;
        if (mask & (1u << index)) {
            order[count++] = index;
        }
    }
    return count;
}

bool parse_runtime_version(std::wstring_view text, RuntimeVersion& version) {
    version = {0, 0, 0, 0};
    if (text.empty() || text[0] < L'0' || text[0] > L'9') {
        return false;
    }
    std::size_t at = 0;
    for (std::size_t component = 0; component < version.size(); ++component) {
        std::uint64_t value = 0;
        while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
            value = std::min<std::uint64_t>(value * 10 + (text[at] - L'0'), 0xFFFFFFFF);
            ++at;
        }
        version[component] = static_cast<std::uint32_t>(value);
        if (at >= text.size() || text[at] != L'.') {
            break;
        }
        ++at;
    }
    return true;
}

bool check_runtime_version(const RuntimeVersion& version, std::wstring& path) {
    if (version < minimum_runtime_version) {  // component by component from the first
        debug_path_line("WebView2: skipped an incompatible version ", path);
        return false;
    }
    return client_dll_usable(path);
}

bool probe_registry_runtime(const wchar_t* key_path, bool is_edge, HKEY root,
                            std::wstring& dll_path) {
    std::wstring folder;
    {
        const auto key = open_key(root, key_path, KEY_READ | KEY_WOW64_32KEY);
        if (!key) {
            return false;
        }
        auto value = is_edge ? query_value(key.get(), L"location")
                             : query_text_value(key.get(), runtime_folder_value);
        if (!value || value->bytes <= 2) {
            return false;
        }
        folder = std::move(value->text);
        if (is_edge) {
            const auto version = query_value(key.get(), L"pv");
            if (!version || version->bytes <= 2) {
                return false;
            }
            folder += L'\\';
            folder += version->text;
        }
    }
    const std::size_t slash = folder.rfind(L'\\');
    if (slash == std::wstring::npos) {
        return false;
    }
    RuntimeVersion version;
    if (!parse_runtime_version(std::wstring_view(folder).substr(slash + 1), version)) {
        return false;
    }
    dll_path = std::move(folder);
    return check_runtime_version(version, dll_path);
}

std::optional<PackageRuntime> find_package_runtime(const PackageInfo* records, std::uint32_t count,
                                                   const wchar_t* family_name) {
    for (std::uint32_t i = 0; i < count; ++i) {
        const PackageInfo& record = records[i];
        if (record.package_family_name == nullptr || record.path == nullptr ||
            CompareStringOrdinal(record.package_family_name, -1, family_name, -1, TRUE) !=
                CSTR_EQUAL) {
            continue;
        }
        const PackageVersion& v = record.package_id.version;
        return PackageRuntime{{v.major, v.minor, v.build, v.revision}, record.path};
    }
    return std::nullopt;
}

HRESULT find_installed_runtime(const EnvironmentRequest& request, std::wstring& dll_path) {
    std::array<int, channel_count> order{};
    const std::size_t count = channel_search_order(request, order);
    for (std::size_t i = 0; i < count; ++i) {
        const int index = order[i];
        const Channel& channel = channels[index];
        const bool is_edge = request.use_edge_view && index == 0;
        const std::wstring key =
            is_edge ? edge_browser_key : client_state_key(channel.client_state_guid);
        if (probe_registry_runtime(key.c_str(), is_edge, HKEY_LOCAL_MACHINE, dll_path) ||
            probe_registry_runtime(key.c_str(), is_edge, HKEY_CURRENT_USER, dll_path) ||
            probe_package_runtime(channel, dll_path)) {
            return S_OK;
        }
    }
    debug_line(no_runtime_text);
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}

}  // namespace loader
