#pragma once

#include <cstdint>

#include <windows.h>

namespace loader {

// Package records as GetCurrentPackageInfo returns them (the appmodel layout).
struct PackageVersion {
    std::uint16_t revision;
    std::uint16_t build;
    std::uint16_t minor;
    std::uint16_t major;
};
struct PackageId {
    std::uint32_t reserved;
    std::uint32_t processor_architecture;
    PackageVersion version;
    wchar_t* name;
    wchar_t* publisher;
    wchar_t* resource_id;
    wchar_t* publisher_id;
};
struct PackageInfo {
    std::uint32_t reserved;
    std::uint32_t flags;
    wchar_t* path;
    wchar_t* package_full_name;
    wchar_t* package_family_name;
    PackageId package_id;
};

// Functions that older systems lack; each is null when absent. Looked up once per process.
using GetCurrentApplicationUserModelId = LONG(WINAPI*)(UINT32* length, PWSTR id);
using GetCurrentProcessExplicitAppUserModelId = HRESULT(WINAPI*)(PWSTR* id);
using TryCreatePackageDependency = HRESULT(WINAPI*)(PSID user, PCWSTR family_name,
                                                    std::uint64_t min_version, INT32 architectures,
                                                    INT32 lifetime_kind, PCWSTR lifetime_artifact,
                                                    INT32 options, PWSTR* dependency_id);
using AddPackageDependency = HRESULT(WINAPI*)(PCWSTR dependency_id, INT32 rank, INT32 options,
                                              void** context, PWSTR* package_full_name);
using GetCurrentPackageInfo = LONG(WINAPI*)(UINT32 flags, UINT32* buffer_length, BYTE* buffer,
                                            UINT32* count);

struct AppIdFunctions {
    GetCurrentApplicationUserModelId get_current_application_user_model_id = nullptr;
    GetCurrentProcessExplicitAppUserModelId get_current_process_explicit_app_user_model_id =
        nullptr;
};
struct PackageFunctions {
    TryCreatePackageDependency try_create_package_dependency = nullptr;
    AddPackageDependency add_package_dependency = nullptr;
    GetCurrentPackageInfo get_current_package_info = nullptr;
};

const AppIdFunctions& app_id_functions();
const PackageFunctions& package_functions();

}  // namespace loader
