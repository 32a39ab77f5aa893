#include "debugger.h"

#include <windows.h>

#include "win32/system_handles.h"

namespace loader_test {
namespace {

std::string read_debug_string(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    const SIZE_T unit = info.fUnicode ? 2 : 1;
    std::string bytes(info.nDebugStringLength * unit, '\0');
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, info.lpDebugStringData, bytes.data(), bytes.size(), &read)) {
        return "(unreadable)";
    }
    bytes.resize(read);
    if (!info.fUnicode) {
        return bytes.substr(0, bytes.find('\0'));
    }
    std::wstring wide(reinterpret_cast<const wchar_t*>(bytes.data()), read / 2);
    wide = wide.substr(0, wide.find(L'\0'));
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), size, nullptr, nullptr);
    return text;
}

}  // namespace

DebuggedRun run_under_debugger(const std::wstring& command_line) {
    DebuggedRun run;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION created{};
    std::wstring line = command_line;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, nullptr, &startup, &created)) {
        return run;
    }
    run.started = true;
    const win32::UniqueKernelHandle process(created.hProcess);
    const win32::UniqueKernelHandle thread(created.hThread);
    for (;;) {
        DEBUG_EVENT event{};
        // A hang guard: a debuggee that says nothing for a minute is ended and reported.
        if (!WaitForDebugEvent(&event, 60000)) {
            TerminateProcess(process.get(), 1);
            DebugActiveProcessStop(created.dwProcessId);
            return run;
        }
        DWORD continuation = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
            case OUTPUT_DEBUG_STRING_EVENT:
                run.output.push_back(read_debug_string(process.get(), event.u.DebugString));
                break;
            case EXCEPTION_DEBUG_EVENT:
                // Only the loader's breakpoint is ours; every other exception goes back to the
                // program's own handlers.
                if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                    continuation = DBG_EXCEPTION_NOT_HANDLED;
                }
                break;
            case CREATE_PROCESS_DEBUG_EVENT:
                win32::UniqueKernelHandle(event.u.CreateProcessInfo.hFile).reset();
                break;
            case LOAD_DLL_DEBUG_EVENT:
                win32::UniqueKernelHandle(event.u.LoadDll.hFile).reset();
                break;
            case EXIT_PROCESS_DEBUG_EVENT:
                run.exit_code = event.u.ExitProcess.dwExitCode;
                run.finished = true;
                break;
            default:
                break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continuation);
        if (run.finished) {
            return run;
        }
    }
}

}  // namespace loader_test
