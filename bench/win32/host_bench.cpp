// The UI thread's cost per page request in the Windows host: handle_web_message for a message
// that is accepted (origin, size, parse, id, operation, slot, thread start), for one answered
// at once (the same checks and a 400 reply posted to the view), and the window procedure's
// delivery of worker replies (taking them from the queue, PostWebMessageAsJson, freeing them). Runs
// under Wine through scripts/bench-host.sh; the view is the fake runtime's, which does nothing with
// a reply, so the figures are the host's own work.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include "app/win32/application.h"
#include "app/win32/main_window.h"
#include "tests/app/win32/message_args.h"
#include "tests/win32/fake_browser_view/fake_controller.h"

namespace {

using host_test::MessageArgs;

using Clock = std::chrono::steady_clock;

double microseconds_since(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void report(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double share) {
        return samples[static_cast<std::size_t>(share * static_cast<double>(samples.size() - 1))];
    };
    std::printf("%-58s %8.1f µs %8.1f µs %8.1f µs %6zu\n", what, at(0.5), at(0.9), at(0.99),
                samples.size());
}

}  // namespace

int main(int argc, char** argv) {
    const int batches = argc > 1 ? std::atoi(argv[1]) : 400;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    win32_host::register_window_class(instance, nullptr);
    // A message-only window of the host's class: the bench needs its queue, not a screen.
    const HWND window = CreateWindowExW(0, win32_host::window_class_name, L"bench", 0, 0, 0, 0, 0,
                                        HWND_MESSAGE, nullptr, instance, nullptr);
    if (window == nullptr) {
        std::fprintf(stderr, "no window: %lu\n", GetLastError());
        return 1;
    }
    win32_host::Application application;
    application.state = std::make_shared<win32_host::AsyncState>();
    application.window = window;
    application.state->open(application);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&application));
    application.controller = win32::ComPtr<ICoreWebView2Controller>::attach(
        new fake_browser_view::FakeController(window));
    (void)application.controller->get_CoreWebView2(application.webview.put());

    // A typical request; its worker refuses the argument, so no network is involved and the
    // reply comes back quickly.
    MessageArgs accepted(L"{\"argument\":\"40.76,-111.89x\",\"id\":17,\"operation\":\"point\"}");
    MessageArgs answered(L"{\"argument\":\"40.76,-111.89\",\"id\":17,\"operation\":\"Point\"}");

    std::vector<double> starting;
    std::vector<double> accepting;
    std::vector<double> answering;
    std::vector<double> delivering;
    for (int batch = 0; batch < batches + 5; ++batch) {
        const bool measured = batch >= 5;  // the first batches warm up
        for (int i = 0; i < 8; ++i) {
            const auto start = Clock::now();
            application.handle_web_message(&accepted);
            if (measured) {
                accepting.push_back(microseconds_since(start));
            }
        }
        // Until every worker has finished and its reply has been taken from the queue; one
        // wake-up takes every reply queued by then.
        for (;;) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                const bool reply = message.message == win32_host::reply_message;
                const auto start = Clock::now();
                DispatchMessageW(&message);
                if (reply && measured) {
                    delivering.push_back(microseconds_since(start));
                }
            }
            if (application.state->active_requests.load() == 0) {
                break;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLPOSTMESSAGE);
        }
        application.deliver_replies();  // replies whose wake-up is still queued
        for (int i = 0; i < 8; ++i) {
            const auto start = Clock::now();
            std::thread([] {}).detach();
            if (measured) {
                starting.push_back(microseconds_since(start));
            }
        }
        for (int i = 0; i < 8; ++i) {
            const auto start = Clock::now();
            application.handle_web_message(&answered);
            if (measured) {
                answering.push_back(microseconds_since(start));
            }
        }
    }

    std::printf("%-58s %11s %11s %11s %6s\n", "UI thread, per", "median", "p90", "p99", "n");
    report("accepted message (checks, slot, thread start)", accepting);
    report("message answered at once (checks, 400 reply posted)", answering);
    report("delivering queued worker replies (window procedure)", delivering);
    report("for comparison: starting and detaching an empty std::thread", starting);
    application.shutdown();
    DestroyWindow(window);
    CoUninitialize();
    return 0;
}
