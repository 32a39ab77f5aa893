// The process: COM for the UI thread, the application object, the main window and the message
// loop. The exception handler here is the desktop host's only one.

#include <exception>
#include <optional>
#include <stdexcept>

#include <dwmapi.h>
#include <windows.h>

#include "app/host_rules.h"
#include "app/win32/application.h"
#include "app/win32/error_box.h"
#include "app/win32/main_window.h"
#include "app/win32/text_conversion.h"
#include "win32/system_handles.h"

namespace {

constexpr DWORD dark_title_bar_attribute = 20;  // DWMWA_USE_IMMERSIVE_DARK_MODE

int run(HINSTANCE instance, int show_command) {
    std::optional<win32_host::Application> application;
    win32::UniqueBrush background;  // outlives every window of the class
    try {
        application.emplace();
        application->state = std::make_shared<win32_host::AsyncState>();
        background.reset(CreateSolidBrush(
            RGB(host::background.red, host::background.green, host::background.blue)));
        win32_host::register_window_class(instance, background.get());

        const RECT frame = win32_host::window_rectangle(GetSystemMetrics(SM_CXSCREEN),
                                                        GetSystemMetrics(SM_CYSCREEN));
        // Physical pixels: the manifest makes the process per-monitor DPI aware.
        const HWND window =
            CreateWindowExW(0, win32_host::window_class_name, host::window_title_wide,
                            WS_OVERLAPPEDWINDOW, frame.left, frame.top, frame.right - frame.left,
                            frame.bottom - frame.top, nullptr, nullptr, instance, &*application);
        win32_host::rethrow_carried_exception();
        if (window == nullptr) {
            throw std::runtime_error("Could not create the application window");
        }

        const BOOL dark = TRUE;
        (void)DwmSetWindowAttribute(window, dark_title_bar_attribute, &dark, sizeof(dark));
        ShowWindow(window, show_command);
        UpdateWindow(window);

        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
            win32_host::rethrow_carried_exception();
        }

        // Stop order: no more replies, class, brush, then the application (state, view,
        // controller) before COM goes.
        application->shutdown();
        UnregisterClassW(win32_host::window_class_name, instance);
        background.reset();
        application.reset();
        CoUninitialize();
        return static_cast<int>(message.wParam);
    } catch (const std::exception& failure) {
        // The same stop as a close, before the box: no reply reaches the page and no view runs
        // behind the box while it is open.
        if (application && application->state) {
            try {
                application->shutdown();
            } catch (...) {
            }
        }
        win32_host::show_error(nullptr, win32_host::utf8_to_wide(failure.what()).c_str(), 0);
        // No window may keep a pointer to the application it outlives.
        if (application && application->window && IsWindow(application->window)) {
            DestroyWindow(application->window);
        }
        application.reset();
        CoUninitialize();
        return 1;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    return run(instance, show_command);
}
