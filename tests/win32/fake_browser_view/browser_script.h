#pragma once

// What the fake browser view does, chosen by the test in the file named by
// CORVANE_FAKE_BROWSER_SCRIPT (read once, at the first environment creation). One setting or
// step per line; "#" starts a comment. Settings:
//   controller_now HRESULT        CreateCoreWebView2Controller returns it at once
//   controller_later HRESULT      the controller completion carries it and no controller
//   controller_missing            the controller completion is S_OK without a controller
//   close_before environment|controller
//                                 WM_CLOSE is posted to the host's window just before that
//                                 completion is queued, so it arrives while the window closes
//   no_webview                    get_CoreWebView2 fails
//   no_webview_3                  the view refuses ICoreWebView2_3
//   mapping HRESULT               SetVirtualHostNameToFolderMapping returns it
//   no_settings                   get_Settings fails
//   no_settings_2                 the settings refuse ICoreWebView2Settings2
//   user_agent_none               get_UserAgent succeeds without a string
//   step STEP                     played once the start page has loaded, one per message-loop
//                                 turn (see run_step)
// Without a file, everything succeeds and nothing is played.

#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace fake_browser_view {

struct BrowserScript {
    std::optional<HRESULT> controller_now;
    std::optional<HRESULT> controller_later;
    bool controller_missing = false;
    std::string close_before;
    bool no_webview = false;
    bool no_webview_3 = false;
    HRESULT mapping = S_OK;
    bool no_settings = false;
    bool no_settings_2 = false;
    bool user_agent_none = false;
    std::vector<std::string> steps;
};

const BrowserScript& browser_script();

// Posts WM_CLOSE to the host's main window: the captioned top-level window of this thread.
void close_host_window();

}  // namespace fake_browser_view
