#pragma once

#include <string>
#include <vector>

namespace loader_test {

// What a debugger saw of one program run.
struct DebuggedRun {
    bool started = false;
    bool finished = false;  // false when the program hung and was ended
    unsigned long exit_code = 0;
    std::vector<std::string> output;  // each OutputDebugString event, as UTF-8
};

// Runs `command_line` as a debuggee (DEBUG_ONLY_THIS_PROCESS) and collects its debugger output
// the way a debugger does: OUTPUT_DEBUG_STRING_EVENT, then ReadProcessMemory.
DebuggedRun run_under_debugger(const std::wstring& command_line);

}  // namespace loader_test
