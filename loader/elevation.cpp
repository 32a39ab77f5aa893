#include "loader/elevation.h"

#include <atomic>
#include <vector>

#include "win32/system_handles.h"

namespace loader {
#if defined(CORVANE_TEST_HOOKS)
namespace {

std::atomic<IntegrityQuery> integrity_query{&query_token_integrity};

}  // namespace

void set_integrity_query(IntegrityQuery query) {
    integrity_query.store(query);
}
#endif

std::optional<DWORD> query_token_integrity() {
    win32::UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        token.release();
        return std::nullopt;
    }
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size);
    if (size < sizeof(TOKEN_MANDATORY_LABEL)) {
        return std::nullopt;
    }
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.get(), TokenIntegrityLevel, buffer.data(), size, &size)) {
        return std::nullopt;
    }
    const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
    const PUCHAR count = GetSidSubAuthorityCount(label->Label.Sid);
    if (count == nullptr || *count == 0) {
        return std::nullopt;
    }
    const PDWORD last = GetSidSubAuthority(label->Label.Sid, *count - 1u);
    if (last == nullptr) {
        return std::nullopt;
    }
    return *last;
}

bool elevated_from_integrity(std::optional<DWORD> integrity) {
    return !integrity || *integrity > 0x2FFF;
}

bool process_is_elevated() {
#if defined(CORVANE_TEST_HOOKS)
    static const bool elevated = elevated_from_integrity(integrity_query.load()());
#else
    static const bool elevated = elevated_from_integrity(query_token_integrity());
#endif
    return elevated;
}

}  // namespace loader
