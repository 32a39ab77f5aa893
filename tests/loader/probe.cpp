// A small program that calls the loader's entry once and writes what happened to a file, so the
// output tests can run it under a debugger.
//   loader_probe RESULT_FILE [--browser-folder FOLDER] [--null-handler]
// RESULT_FILE receives "entry 0xXXXXXXXX" and, when the handler was called, "handler 0xXXXXXXXX
// environment|(null)".

#include <cstdio>
#include <memory>
#include <string>

#include <windows.h>

#include "loader/loader.h"
#include "support.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 2;
    }
    const wchar_t* browser_folder = nullptr;
    bool null_handler = false;
    for (int i = 2; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--browser-folder" && i + 1 < argc) {
            browser_folder = argv[++i];
        } else if (argument == L"--null-handler") {
            null_handler = true;
        }
    }
    auto record = std::make_shared<loader_test::HandlerRecord>();
    auto handler = loader_test::recording_handler(record);
    const HRESULT hr = CreateCoreWebView2EnvironmentWithOptions(
        browser_folder, nullptr, nullptr, null_handler ? nullptr : handler.get());
    char text[128];
    int length =
        std::snprintf(text, sizeof(text), "entry 0x%08lX\n", static_cast<unsigned long>(hr));
    if (SUCCEEDED(hr) && loader_test::pump_until_called(*record)) {
        length += std::snprintf(text + length, sizeof(text) - length, "handler 0x%08lX %s\n",
                                static_cast<unsigned long>(record->result),
                                record->environment ? "environment" : "(null)");
    }
    loader_test::write_file(argv[1], std::string(text, length));
    return 0;
}
