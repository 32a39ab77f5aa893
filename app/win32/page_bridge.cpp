#include "app/win32/page_bridge.h"

#include <memory>
#include <system_error>
#include <utility>

#include "weather/operations.h"
#include "win32/com_object.h"
#include "win32/system_handles.h"

namespace win32_host {

win32::ComPtr<ICoreWebView2WebMessageReceivedEventHandler> make_web_message_handler(
    Application* application) {
    return win32::make_com_object<ICoreWebView2WebMessageReceivedEventHandler>(
        [application](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) noexcept {
            try {
                application->handle_web_message(args);
            } catch (...) {
                // The message gets no reply; the runtime still gets S_OK.
            }
        });
}

namespace {

// What a worker owns: its share of the state and copies of the request.
struct Worker {
    std::shared_ptr<AsyncState> state;
    bridge::PageRequest request;
};

DWORD WINAPI worker_entry(void* parameter) {
    const std::unique_ptr<Worker> worker(static_cast<Worker*>(parameter));
    bridge::run_request(*worker->state, worker->request, &weather::run_operation);
    return 0;
}

}  // namespace

// The thread comes straight from the system rather than from std::thread: with MinGW's
// threads library under Wine, about one detached std::thread in ten thousand never ran its
// function on a busy machine, which left a request without a reply and its slot taken for
// good. Threads from CreateThread did not go missing in the same trials.
void start_worker(std::shared_ptr<AsyncState> state, bridge::PageRequest&& request) {
    auto worker = std::make_unique<Worker>(Worker{std::move(state), std::move(request)});
    const win32::UniqueKernelHandle thread(
        CreateThread(nullptr, 0, &worker_entry, worker.get(), 0, nullptr));
    if (!thread) {
        // The same error, and so the same text for the page, as std::thread's.
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    worker.release();  // the thread owns it now; closing our handle detaches the thread
}

}  // namespace win32_host
