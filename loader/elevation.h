#pragma once

#include <optional>

#include <windows.h>

namespace loader {

// The integrity level of the process token (the last sub-authority of its integrity SID); empty
// when any step of the query fails.
std::optional<DWORD> query_token_integrity();

// High integrity (above 0x2FFF) counts as elevated, and so does a level that could not be read.
bool elevated_from_integrity(std::optional<DWORD> integrity);

// Whether the process runs elevated; decided once per process, on first use.
bool process_is_elevated();

#if defined(CORVANE_TEST_HOOKS)
// Test builds only: replaces the integrity query used by process_is_elevated. It has an effect
// only before the first call of process_is_elevated, so a test program calls it first thing in
// main: Wine reports high integrity for every process, which would leave the unelevated path
// untestable there.
using IntegrityQuery = std::optional<DWORD> (*)();
void set_integrity_query(IntegrityQuery query);
#endif

}  // namespace loader
