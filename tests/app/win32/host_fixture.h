#pragma once

// The prefix the host's tests need: the fake browser runtime registered where the loader finds
// it (the updater's machine-wide key, as an installed Evergreen runtime is), Wine's handler for
// https addresses pointed at the shell recorder, the usual 96 DPI, and windows that need no
// window manager. Set once per test program; the runtime and the handler are taken back
// afterwards.

#include <gtest/gtest.h>

#include "host_driver.h"

namespace host_test {

// Writes a value under `root\path` (creating the key); an empty `text` with REG_SZ writes "".
void set_registry_text(HKEY root, const std::wstring& path, const wchar_t* name,
                       const std::wstring& text);
void set_registry_dword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value);
std::optional<std::wstring> registry_text(HKEY root, const std::wstring& path, const wchar_t* name);

// The system DPI Wine reports to programs started from now on.
void set_system_dpi(DWORD dpi);

// After a normal close, from the fake's exit report: none of its objects is alive, every text
// it handed out was freed exactly once, and the host made no call it should not make.
void expect_everything_released(const std::vector<std::string>& log);

class HostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

    TempFolder scratch;
};

}  // namespace host_test
