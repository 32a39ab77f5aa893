// The Windows installer under Wine, in a prefix reset to its freshly created state: silent
// install of an older build, upgrade in place to this one, a refused downgrade, the installed
// program started with the fake browser runtime, uninstall refused while it runs, and a silent
// uninstall that leaves only the user's data folder.

#include <set>
#include <string>

#include <shlobj.h>
#include <shobjidl.h>

#include "corvane_version.h"
#include "tests/app/win32/host_fixture.h"

namespace host_test {
namespace {

constexpr wchar_t uninstall_key[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CorvaneWeather";

std::wstring known_folder(REFKNOWNFOLDERID id) {
    PWSTR folder = nullptr;
    SHGetKnownFolderPath(id, 0, nullptr, &folder);
    std::wstring path = folder ? folder : L"";
    CoTaskMemFree(folder);
    return path;
}

std::wstring install_folder() {
    return known_folder(FOLDERID_LocalAppData) + L"\\Programs\\Corvane Weather";
}
std::wstring shortcut_file() {
    return known_folder(FOLDERID_Programs) + L"\\Corvane Weather.lnk";
}
std::wstring user_data_folder() {
    return known_folder(FOLDERID_LocalAppData) + L"\\CorvaneWeather\\WebView2";
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Every file below `folder`, as relative paths with "\".
std::set<std::wstring> files_below(const std::wstring& folder, const std::wstring& prefix = L"") {
    std::set<std::wstring> files;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return files;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            files.merge(files_below(folder + L"\\" + name, prefix + name + L"\\"));
        } else {
            files.insert(prefix + name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
}

std::optional<DWORD> registry_dword(const wchar_t* name) {
    DWORD value = 0;
    DWORD bytes = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, uninstall_key, name, RRF_RT_REG_DWORD, nullptr, &value,
                     &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::wstring entry_text(const wchar_t* name) {
    return registry_text(HKEY_CURRENT_USER, uninstall_key, name).value_or(L"<missing>");
}

// Runs a command line in a job and waits until every process of the job has ended (the
// uninstaller hands over to a copy of itself in the temporary folder); the first process's
// exit code, or -1 if it could not start or the job did not end.
int run_to_completion(const std::wstring& command_line) {
    win32::UniqueKernelHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    std::wstring command = command_line;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &started)) {
        ADD_FAILURE() << "cannot start " << utf8(command_line) << ": " << GetLastError();
        return -1;
    }
    win32::UniqueKernelHandle process(started.hProcess);
    AssignProcessToJobObject(job.get(), process.get());
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    const bool ended = wait_until([&] {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation, &accounting,
                                  sizeof(accounting), nullptr);
        return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0 &&
               accounting.ActiveProcesses == 0;
    });
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return ended ? static_cast<int>(code) : -1;
}

int install_silently(const char* installer) {
    return run_to_completion(L"\"" + wine_path(installer) + L"\" /S");
}

struct Shortcut {
    std::wstring target;
    std::wstring icon;
    int icon_index = -1;
    std::wstring folder;
};

std::optional<Shortcut> read_shortcut(const std::wstring& file) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        return std::nullopt;
    }
    std::optional<Shortcut> shortcut;
    IPersistFile* persisted = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persisted)))) {
        if (SUCCEEDED(persisted->Load(file.c_str(), STGM_READ))) {
            wchar_t text[MAX_PATH] = {};
            Shortcut read;
            link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
            read.target = text;
            link->GetIconLocation(text, MAX_PATH, &read.icon_index);
            read.icon = text;
            link->GetWorkingDirectory(text, MAX_PATH);
            read.folder = text;
            shortcut = read;
        }
        persisted->Release();
    }
    link->Release();
    return shortcut;
}

std::wstring file_version(const std::wstring& file) {
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(file.c_str(), &ignored));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (block.empty() ||
        !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length)) {
        return L"<none>";
    }
    return std::to_wstring(HIWORD(fixed->dwProductVersionMS)) + L"." +
           std::to_wstring(LOWORD(fixed->dwProductVersionMS)) + L"." +
           std::to_wstring(HIWORD(fixed->dwProductVersionLS));
}

class Installer : public HostTest {
protected:
    static void SetUpTestSuite() {
        HostTest::SetUpTestSuite();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    }
    static void TearDownTestSuite() {
        CoUninitialize();
        HostTest::TearDownTestSuite();
    }
};

// The ready-to-copy folder and the uninstaller: what an install must hold, exactly.
std::set<std::wstring> expected_files() {
    std::set<std::wstring> files = files_below(wine_path(CORVANE_DIST_FOLDER));
    files.insert(L"Uninstall.exe");
    return files;
}

void expect_entry_of_this_version() {
    const std::wstring folder = install_folder();
    EXPECT_EQ(entry_text(L"DisplayName"), L"Corvane Weather");
    EXPECT_EQ(entry_text(L"DisplayVersion"), wide(CORVANE_VERSION_TEXT));
    EXPECT_EQ(entry_text(L"Publisher"), wide(CORVANE_PUBLISHER));
    EXPECT_EQ(entry_text(L"DisplayIcon"), folder + L"\\CorvaneWeather.exe,0");
    EXPECT_EQ(entry_text(L"InstallLocation"), folder);
    EXPECT_EQ(entry_text(L"UninstallString"), L"\"" + folder + L"\\Uninstall.exe\"");
    EXPECT_EQ(entry_text(L"QuietUninstallString"), L"\"" + folder + L"\\Uninstall.exe\" /S");
    EXPECT_EQ(registry_dword(L"NoModify"), 1u);
    EXPECT_EQ(registry_dword(L"NoRepair"), 1u);
    EXPECT_EQ(registry_dword(L"VersionMajor"), DWORD{CORVANE_VERSION_MAJOR});
    EXPECT_EQ(registry_dword(L"VersionMinor"), DWORD{CORVANE_VERSION_MINOR});
    // Bytes of the installed files in KiB; the page alone is several hundred.
    EXPECT_GT(registry_dword(L"EstimatedSize").value_or(0), 300u);
}

TEST_F(Installer, InstallsUpgradesRunsAndUninstallsForTheUserAlone) {
    const std::wstring folder = install_folder();
    ASSERT_FALSE(exists(folder)) << "the prefix is not fresh";
    ASSERT_FALSE(exists(shortcut_file())) << "the prefix is not fresh";
    ASSERT_EQ(entry_text(L"DisplayName"), L"<missing>") << "the prefix is not fresh";

    SCOPED_TRACE("an older version, silently");
    ASSERT_EQ(install_silently(CORVANE_PREVIOUS_INSTALLER), 0);
    EXPECT_EQ(entry_text(L"DisplayVersion"), wide(CORVANE_PREVIOUS_VERSION));
    ASSERT_TRUE(exists(folder + L"\\web\\js\\retired.js"));
    // What the browser keeps for the user, as the runtime would have written it.
    CreateDirectoryW((known_folder(FOLDERID_LocalAppData) + L"\\CorvaneWeather").c_str(), nullptr);
    CreateDirectoryW(user_data_folder().c_str(), nullptr);
    write_file(user_data_folder() + L"\\Local State", "{}");

    SCOPED_TRACE("this version over it");
    ASSERT_EQ(install_silently(CORVANE_INSTALLER), 0);
    EXPECT_EQ(files_below(folder), expected_files()) << "the older version's files are gone";
    expect_entry_of_this_version();
    EXPECT_EQ(file_version(folder + L"\\CorvaneWeather.exe"), wide(CORVANE_VERSION_TEXT));
    const std::optional<Shortcut> shortcut = read_shortcut(shortcut_file());
    ASSERT_TRUE(shortcut.has_value()) << utf8(shortcut_file());
    EXPECT_EQ(shortcut->target, folder + L"\\CorvaneWeather.exe");
    EXPECT_EQ(shortcut->icon, folder + L"\\CorvaneWeather.exe");
    EXPECT_EQ(shortcut->icon_index, 0);
    EXPECT_EQ(shortcut->folder, folder);
    EXPECT_FALSE(exists(known_folder(FOLDERID_ProgramFiles) + L"\\Corvane Weather"));
    EXPECT_FALSE(exists(known_folder(FOLDERID_CommonPrograms) + L"\\Corvane Weather.lnk"));

    SCOPED_TRACE("the older version over this one is refused");
    EXPECT_EQ(install_silently(CORVANE_PREVIOUS_INSTALLER), 2);
    EXPECT_EQ(entry_text(L"DisplayVersion"), wide(CORVANE_VERSION_TEXT));
    EXPECT_EQ(files_below(folder), expected_files());

    SCOPED_TRACE("the installed program with the fake runtime; no changes while it runs");
    {
        HostRun run(scratch, Launch{folder + L"\\CorvaneWeather.exe", "", L""});
        ASSERT_TRUE(run.wait_until_loaded());
        EXPECT_TRUE(contains(run.log(),
                             "webview SetVirtualHostNameToFolderMapping "
                             "corvane-weather.example " +
                                 utf8(folder) + "\\web 2 returns 0x00000000"));
        EXPECT_EQ(install_silently(CORVANE_INSTALLER), 2);
        // The uninstaller hands over to a copy of itself, so its refusal shows in what stays.
        run_to_completion(entry_text(L"QuietUninstallString"));
        EXPECT_EQ(files_below(folder), expected_files());
        EXPECT_EQ(entry_text(L"DisplayVersion"), wide(CORVANE_VERSION_TEXT));
        run.close();
        EXPECT_EQ(run.wait_for_exit(), 0);
    }

    SCOPED_TRACE("silent uninstall, as the installed-programs entry says");
    EXPECT_EQ(run_to_completion(entry_text(L"QuietUninstallString")), 0);
    EXPECT_FALSE(exists(folder)) << files_below(folder).size() << " files left";
    EXPECT_FALSE(exists(shortcut_file()));
    EXPECT_EQ(entry_text(L"DisplayName"), L"<missing>");
    EXPECT_EQ(files_below(user_data_folder()), std::set<std::wstring>{L"Local State"})
        << "the user's browser data stays";
}

}  // namespace
}  // namespace host_test
