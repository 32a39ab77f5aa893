// The loader's debugger output, captured by a debugger: each test sets up the prefix, runs
// loader_probe under the Win32 debug API and compares every output event.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "debugger.h"
#include "fixture.h"

namespace loader_test {
namespace {

using Lines = std::vector<std::string>;

constexpr char no_runtime[] =
    "WebView2: Failed to find an installed WebView2 runtime or non-stable Microsoft Edge "
    "installation.\n";

class DebuggerOutput : public LoaderTest {
protected:
    // Runs the probe; returns what it wrote to its result file.
    std::string probe(const std::wstring& arguments = L"") {
        const std::wstring result_file = temp / L"probe.txt";
        run = run_under_debugger(L"\"" + executable_folder() + L"loader_probe.exe\" \"" +
                                 result_file + L"\"" + arguments);
        EXPECT_TRUE(run.started);
        EXPECT_TRUE(run.finished);
        EXPECT_EQ(run.exit_code, 0u);
        return win32_test::read_text(result_file);
    }

    std::wstring machine_runtime(const wchar_t* key, const std::wstring& folder) {
        install_fake_runtime(folder);
        RegistryKey(HKEY_LOCAL_MACHINE, wow64_path(key)).text(L"EBWebView", folder);
        return folder;
    }

    DebuggedRun run;
};

TEST_F(DebuggerOutput, NullHandlerSaysNothing) {
    RuntimeLog log(temp);
    machine_runtime(stable_key, temp / L"S\\120.0.0.0");
    EXPECT_EQ(probe(L" --null-handler"), "entry 0x80004003\n");
    EXPECT_EQ(run.output, Lines{});
    EXPECT_EQ(log.calls(), 0);
}

TEST_F(DebuggerOutput, NoRuntimeIsReportedForEachAttempt) {
    EXPECT_EQ(probe(), "entry 0x80070002\n");
    EXPECT_EQ(run.output, (Lines{no_runtime, no_runtime}));
}

TEST_F(DebuggerOutput, MissingExportIsReportedForEachAttempt) {
    const std::wstring folder = temp / L"no_create";
    install_fake_runtime(folder, L"no_create");
    EXPECT_EQ(probe(L" --browser-folder \"" + folder + L"\""), "entry 0x8007007F\n");
    const std::string line =
        "WebView2: CoreWebView2Environment failed when trying to call into "
        "EmbeddedBrowserWebView.dll. hr=0x8007007F\n";
    EXPECT_EQ(run.output, (Lines{line, line}));
}

TEST_F(DebuggerOutput, FixedFolderWithoutClientLibrary) {
    const std::wstring folder = temp / L"empty";
    create_folders(folder);
    EXPECT_EQ(probe(L" --browser-folder \"" + folder + L"\""), "entry 0x80070002\n");
    const std::string prefix = "WebView2: Failed to find the WebView2 client dll at: ";
    const std::string path = utf8(client_dll_path(folder));
    EXPECT_EQ(run.output, (Lines{prefix, path, "\n", prefix, path, "\n"}));
}

TEST_F(DebuggerOutput, IncompatibleVersionIsSkipped) {
    RuntimeLog log(temp);
    const std::wstring old = machine_runtime(stable_key, temp / L"S\\86.0.615.999");
    machine_runtime(beta_key, temp / L"B\\86.0.616.0");
    EXPECT_EQ(probe(), "entry 0x00000000\nhandler 0x00000000 environment\n");
    EXPECT_EQ(run.output, (Lines{"WebView2: skipped an incompatible version ", utf8(old), "\n"}));
}

TEST_F(DebuggerOutput, InaccessibleLibraryIsSkipped) {
    const std::wstring locked = machine_runtime(stable_key, temp / L"S\\120.0.0.0");
    machine_runtime(beta_key, temp / L"B\\121.0.0.0");
    win32::UniqueFileHandle exclusive(CreateFileW(client_dll_path(locked).c_str(), GENERIC_READ, 0,
                                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                  nullptr));
    ASSERT_TRUE(exclusive);
    EXPECT_EQ(probe(), "entry 0x00000000\nhandler 0x00000000 environment\n");
    exclusive.reset();
    EXPECT_EQ(run.output,
              (Lines{"WebView2: skipped inaccessible ", utf8(client_dll_path(locked)), "\n"}));
}

TEST_F(DebuggerOutput, LibraryThatCannotBeLoaded) {
    const std::wstring garbage = temp / L"garbage";
    create_folders(garbage + L"\\EBWebView\\x64");
    write_file(client_dll_path(garbage), "not a portable executable");
    EXPECT_EQ(probe(L" --browser-folder \"" + garbage + L"\""), "entry 0x800700C1\n");
    const std::string line =
        "WebView2: CoreWebView2Environment failed when trying to LoadLibrary: hr=0x800700C1 path=" +
        utf8(client_dll_path(garbage)) + "\n";
    EXPECT_EQ(run.output, (Lines{line, line}));
}

TEST_F(DebuggerOutput, MissingDependencyAddsTheHint) {
    const std::wstring folder = temp / L"missing_dependency";
    install_fake_runtime(folder, L"missing_dependency");
    EXPECT_EQ(probe(L" --browser-folder \"" + folder + L"\""), "entry 0x8007007E\n");
    const std::string line =
        "WebView2: CoreWebView2Environment failed when trying to LoadLibrary: hr=0x8007007E path=" +
        utf8(client_dll_path(folder)) +
        "\nWebView2: This error (0x8007007E) typically indicates missing binaries or an "
        "architecture mismatch. Please ensure the correct binaries (EmbeddedBrowserWebView.dll, "
        "etc.) for the target architecture (x86/x64/ARM64) are deployed\n";
    EXPECT_EQ(run.output, (Lines{line, line}));
}

TEST_F(DebuggerOutput, DowngradePinIsAnnounced) {
    const std::wstring pinned = temp / L"Runtime\\109.0.1518.140";
    install_fake_runtime(pinned);
    RegistryKey(HKEY_LOCAL_MACHINE, std::wstring(policies) + L"\\DowngradeVersion")
        .text(L"loader_probe.exe", L"109.0.1518.140");
    RegistryKey(HKEY_LOCAL_MACHINE, wow64_path(stable_key))
        .text(L"EBWebView", temp / L"Runtime\\120.0.2210.91");
    EXPECT_EQ(probe(), "entry 0x00000000\nhandler 0x00000000 environment\n");
    EXPECT_EQ(run.output,
              (Lines{"WebView2: DowngradeVersion policy applied (exact match), redirecting to ",
                     utf8(pinned), "\n", "WebView2: DowngradeVersion policy resolved\n"}));
}

}  // namespace
}  // namespace loader_test
