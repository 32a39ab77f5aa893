#include "app/win32/main_window.h"

#include <exception>
#include <utility>

#include "app/host_rules.h"
#include "app/win32/application.h"

namespace win32_host {
namespace {

// An exception on its way from a window procedure call to the caller's own frames.
thread_local std::exception_ptr carried_exception;

Application* attached_application(HWND window) {
    return reinterpret_cast<Application*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Application* application = attached_application(window);
    switch (message) {
        case WM_NCCREATE: {
            const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lparam);
            application = static_cast<Application*>(creation->lpCreateParams);
            if (application) {
                application->window = window;
                SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(application));
            }
            return DefWindowProcW(window, message, wparam, lparam);
        }
        case WM_CREATE:
            if (application) {
                application->initialize();
            }
            return 0;
        case WM_SIZE:
            if (application) {
                application->resize_browser();
            }
            return 0;
        case WM_SETFOCUS:
            // Keyboard focus belongs in the page.
            if (application && application->controller) {
                (void)application->controller->MoveFocus(
                    COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC);
            }
            return 0;
        case WM_CLOSE:
            if (application) {
                application->shutdown();
            }
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_GETMINMAXINFO: {
            // Sent before WM_NCCREATE too, so it needs no application.
            const SIZE minimum = minimum_track_size(GetDpiForWindow(window));
            auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
            limits->ptMinTrackSize = POINT{minimum.cx, minimum.cy};
            return 0;
        }
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(lparam);
            SetWindowPos(window, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case reply_message:
            if (application) {
                application->deliver_replies();
            }
            return 0;
        default:
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

RECT window_rectangle(int screen_width, int screen_height) {
    const host::Rectangle frame = host::main_window_rectangle({0, 0, screen_width, screen_height});
    return RECT{frame.x, frame.y, frame.x + frame.width, frame.y + frame.height};
}

SIZE minimum_track_size(UINT dpi) {
    const int scale = static_cast<int>(dpi);
    return SIZE{MulDiv(host::minimum_width, scale, 96), MulDiv(host::minimum_height, scale, 96)};
}

ATOM register_window_class(HINSTANCE instance, HBRUSH background) {
    WNDCLASSEXW description{};
    description.cbSize = sizeof(description);
    description.style = 0;
    description.lpfnWndProc = &window_procedure;
    description.hInstance = instance;
    description.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    description.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                   GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    description.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    description.hbrBackground = background;
    description.lpszClassName = window_class_name;
    return RegisterClassExW(&description);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam,
                                  LPARAM lparam) noexcept {
    try {
        return handle_message(window, message, wparam, lparam);
    } catch (...) {
        // Unwinding through CreateWindowExW or DispatchMessageW is undefined: keep it for our
        // own frames. A WM_CREATE that failed this way still creates the window, so the box
        // that reports it is not cut short by the WM_QUIT of a destroyed window.
        if (!carried_exception) {
            carried_exception = std::current_exception();
        }
        return 0;
    }
}

void rethrow_carried_exception() {
    if (std::exception_ptr failure = std::exchange(carried_exception, nullptr)) {
        std::rethrow_exception(failure);
    }
}

}  // namespace win32_host
