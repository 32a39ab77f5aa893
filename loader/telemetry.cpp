#include "loader/telemetry.h"

#include <cstring>
#include <mutex>
#include <string>

#include <evntprov.h>

#include "win32/system_handles.h"

namespace loader {
namespace {

constexpr GUID provider_id = {
    0x951DDD7E, 0xF2FF, 0x5B3F, {0x71, 0x37, 0xE2, 0xF1, 0xA0, 0xDD, 0x98, 0x04}};
constexpr GUID provider_group = {
    0x4F50731A, 0x89CF, 0x4782, {0xB3, 0xE0, 0xDC, 0xE8, 0xC9, 0x04, 0x76, 0xBA}};
constexpr char provider_name[] = "Microsoft.MSEdgeWebView.Loader";
constexpr UCHAR telemetry_channel = 11;
constexpr ULONGLONG privacy_tag = 0x1000000;
constexpr UCHAR level_error = 2;
constexpr UCHAR level_warning = 3;
constexpr UCHAR level_informational = 4;

// Encodings of self-describing event fields: input type, with 0x80 when an output type follows.
constexpr BYTE in_ansi_string = 2;
constexpr BYTE in_unicode_string = 1;
constexpr BYTE in_int32 = 7;
constexpr BYTE in_uint8 = 4;
constexpr BYTE in_uint64 = 10;
constexpr BYTE has_out_type = 0x80;
constexpr BYTE out_boolean = 3;
constexpr BYTE out_hresult = 15;
constexpr BYTE trait_group = 1;
constexpr ULONG set_provider_traits = 2;  // the information class EventProviderSetTraits
constexpr ULONG descriptor_provider_metadata = 2;
constexpr ULONG descriptor_event_metadata = 1;

using EventRegisterFunction = ULONG(WINAPI*)(LPCGUID, PENABLECALLBACK, PVOID, PREGHANDLE);
using EventSetInformationFunction = ULONG(WINAPI*)(REGHANDLE, ULONG, PVOID, ULONG);
using EventWriteTransferFunction = ULONG(WINAPI*)(REGHANDLE, PCEVENT_DESCRIPTOR, LPCGUID, LPCGUID,
                                                  ULONG, PEVENT_DATA_DESCRIPTOR);
using EventUnregisterFunction = ULONG(WINAPI*)(REGHANDLE);

struct EtwFunctions {
    EventRegisterFunction event_register = nullptr;
    EventSetInformationFunction event_set_information = nullptr;
    EventWriteTransferFunction event_write_transfer = nullptr;
    EventUnregisterFunction event_unregister = nullptr;
};

const EtwFunctions& etw_functions() {
    // Loaded once, from the system folder only, and kept for the life of the process.
    static const EtwFunctions functions = [] {
        EtwFunctions found;
        const HMODULE advapi =
            LoadLibraryExW(L"ADVAPI32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (advapi != nullptr) {
            found.event_register =
                win32::find_function<EventRegisterFunction>(advapi, "EventRegister");
            found.event_set_information =
                win32::find_function<EventSetInformationFunction>(advapi, "EventSetInformation");
            found.event_write_transfer =
                win32::find_function<EventWriteTransferFunction>(advapi, "EventWriteTransfer");
            found.event_unregister =
                win32::find_function<EventUnregisterFunction>(advapi, "EventUnregister");
        }
        return found;
    }();
    return functions;
}

void NTAPI enable_callback(LPCGUID, ULONG control_code, UCHAR level, ULONGLONG match_any,
                           ULONGLONG match_all, PEVENT_FILTER_DESCRIPTOR, PVOID context) {
    record_enable(*static_cast<EnableState*>(context), control_code, level, match_any, match_all);
}

void append(std::vector<BYTE>& out, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const BYTE*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(bytes[i]);  // (a range insert trips GCC 12's -Warray-bounds here)
    }
}

void append_text(std::vector<BYTE>& out, const char* text) {
    append(out, text, std::strlen(text) + 1);
}

void store_size(std::vector<BYTE>& out) {
    const auto size = static_cast<std::uint16_t>(out.size());
    std::memcpy(out.data(), &size, sizeof(size));
}

EVENT_DATA_DESCRIPTOR data_descriptor(const void* data, std::size_t size, ULONG type = 0) {
    EVENT_DATA_DESCRIPTOR descriptor{};
    descriptor.Ptr = reinterpret_cast<ULONGLONG>(data);
    descriptor.Size = static_cast<ULONG>(size);
    descriptor.Reserved = type;
    return descriptor;
}

// One registration per event: register, set the traits, write if a listener wants it, and
// unregister at once. The lock keeps two writes from sharing one registration.
void write_event(UCHAR level, const std::vector<BYTE>& metadata,
                 std::vector<EVENT_DATA_DESCRIPTOR> fields) {
    static std::mutex registration;
    const std::lock_guard lock(registration);
    const EtwFunctions& etw = etw_functions();
    if (etw.event_register == nullptr) {
        return;
    }
    EnableState state;
    REGHANDLE handle = 0;
    if (etw.event_register(&provider_id, &enable_callback, &state, &handle) != ERROR_SUCCESS) {
        return;
    }
    std::vector<BYTE> traits = provider_traits();
    if (etw.event_set_information != nullptr) {
        etw.event_set_information(handle, set_provider_traits, traits.data(),
                                  static_cast<ULONG>(traits.size()));
    }
    if (event_enabled(state, level) && etw.event_write_transfer != nullptr) {
        EVENT_DESCRIPTOR descriptor{};
        descriptor.Channel = telemetry_channel;
        descriptor.Level = level;
        descriptor.Keyword = telemetry_keyword;
        fields.insert(
            fields.begin(),
            {data_descriptor(traits.data(), traits.size(), descriptor_provider_metadata),
             data_descriptor(metadata.data(), metadata.size(), descriptor_event_metadata)});
        etw.event_write_transfer(handle, &descriptor, nullptr, nullptr,
                                 static_cast<ULONG>(fields.size()), fields.data());
    }
    if (etw.event_unregister != nullptr) {
        etw.event_unregister(handle);
    }
}

}  // namespace

void record_enable(EnableState& state, ULONG control_code, UCHAR level, ULONGLONG match_any,
                   ULONGLONG match_all) {
    if (control_code == 1) {
        state = EnableState{true, level, match_any, match_all};
    } else if (control_code == 0) {
        state = EnableState{};
    }
}

bool event_enabled(const EnableState& state, UCHAR level) {
    return state.enabled && (state.level == 0 || state.level >= level) &&
           (state.match_any & telemetry_keyword) != 0 &&
           (state.match_all & ~telemetry_keyword) == 0;
}

std::vector<BYTE> provider_traits() {
    std::vector<BYTE> traits(2);  // total size, filled in last
    append_text(traits, provider_name);
    const std::uint16_t group_size = 2 + 1 + sizeof(GUID);
    append(traits, &group_size, sizeof(group_size));
    traits.push_back(trait_group);
    append(traits, &provider_group, sizeof(provider_group));
    store_size(traits);
    return traits;
}

std::vector<BYTE> event_metadata(const char* name, const FieldMetadata* fields, std::size_t count) {
    std::vector<BYTE> metadata(2);  // total size, filled in last
    metadata.push_back(0);          // no event tags
    append_text(metadata, name);
    for (std::size_t i = 0; i < count; ++i) {
        append_text(metadata, fields[i].name);
        switch (fields[i].type) {
            case FieldType::ansi_text:
                metadata.push_back(in_ansi_string);
                break;
            case FieldType::wide_text:
                metadata.push_back(in_unicode_string);
                break;
            case FieldType::boolean:
                metadata.insert(metadata.end(), {in_uint8 | has_out_type, out_boolean});
                break;
            case FieldType::hresult:
                metadata.insert(metadata.end(), {in_int32 | has_out_type, out_hresult});
                break;
            case FieldType::uint64:
                metadata.push_back(in_uint64);
                break;
        }
    }
    store_size(metadata);
    return metadata;
}

void report_creation_error(HRESULT result, bool client_dll_found, bool installed_runtime) {
    static constexpr FieldMetadata fields[] = {{"HRESULT", FieldType::hresult},
                                               {"ClientDllFound", FieldType::boolean},
                                               {"InstalledRuntime", FieldType::boolean},
                                               {"PartA_PrivTags", FieldType::uint64}};
    const std::vector<BYTE> metadata =
        event_metadata("CreateWebViewEnvironmentError", fields, std::size(fields));
    const BYTE found = client_dll_found ? 1 : 0;
    const BYTE installed = installed_runtime ? 1 : 0;
    write_event(level_error, metadata,
                {data_descriptor(&result, sizeof(result)), data_descriptor(&found, 1),
                 data_descriptor(&installed, 1), data_descriptor(&privacy_tag, 8)});
}

void report_downgrade_policy(const char* message, std::wstring_view detail, bool applied) {
    static constexpr FieldMetadata fields[] = {{"Message", FieldType::ansi_text},
                                               {"Detail", FieldType::wide_text},
                                               {"Applied", FieldType::boolean},
                                               {"PartA_PrivTags", FieldType::uint64}};
    const std::vector<BYTE> metadata =
        event_metadata("DowngradeVersionPolicy", fields, std::size(fields));
    const std::wstring detail_text(detail);
    const BYTE applied_byte = applied ? 1 : 0;
    write_event(applied ? level_informational : level_warning, metadata,
                {data_descriptor(message, std::strlen(message) + 1),
                 data_descriptor(detail_text.c_str(), (detail_text.size() + 1) * sizeof(wchar_t)),
                 data_descriptor(&applied_byte, 1), data_descriptor(&privacy_tag, 8)});
}

}  // namespace loader
