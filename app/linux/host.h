#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "app/bridge/async_state.h"
#include "app/linux/main_thread_delivery.h"
#include "app/linux/reply_streamer.h"

namespace linux_host {

struct HostOptions {
    std::filesystem::path web_folder;
    bool demo = false;        // the page labels its data as demo data
    bool automation = false;  // the view may be driven through WebKit's WebDriver
};

// The Linux desktop host: one GTK window whose whole client area is a WebKitGTK view showing
// the map page, with the same page bridge, limits and shutdown guarantees as the Windows host.
// Main thread only.

class Host {
public:
    explicit Host(HostOptions options);
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    ~Host();

    // Shows the window and runs the GTK main loop until the window is closed; the exit code.
    int run();

    // Stops reply delivery: no reply is delivered after this, and queued ones are freed.
    // Safe to repeat.
    void shutdown();

private:
    void create_window();
    void create_view();
    void handle_web_message(const std::string& source, const std::string& json);
    void post_reply(std::string text);
    void deliver(std::string text);

    static void on_script_message(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                  gpointer self);
    static gboolean on_decide_policy(WebKitWebView*, WebKitPolicyDecision* decision,
                                     WebKitPolicyDecisionType type, gpointer self);
    static GtkWidget* on_create(WebKitWebView*, WebKitNavigationAction*, gpointer self);
    static void on_scheme_request(WebKitURISchemeRequest* request, gpointer self);
    static gboolean on_delete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean on_stop_signal(gpointer self);
    static void on_automation_started(WebKitWebContext*, WebKitAutomationSession* session,
                                      gpointer self);
    static WebKitWebView* on_automation_view(WebKitAutomationSession*, gpointer self);

    HostOptions options;
    std::shared_ptr<AsyncState> state;
    std::shared_ptr<MainThreadDelivery> delivery;
    GtkWidget* window = nullptr;
    WebKitWebContext* context = nullptr;
    WebKitUserContentManager* content = nullptr;
    WebKitWebView* view = nullptr;
    std::shared_ptr<PartSender> sender;  // replies on their way to the page
};

// Opens an https address in the user's default browser; any other address is dropped.
void open_external(const std::string& uri);

// Whether a navigation to `uri` stays on the page.
bool is_page_address(const std::string& uri);

// Whether the machine has a graphics device under `devices` (normally /dev) that WebKit's
// compositing can draw with: a DRM render node or NVIDIA's device. Without one, GL is a software
// rasteriser, on which compositing gave the map about 8 frames a second (over 100 without it)
// and held its first drawing back by half a second.
bool has_graphics_device(const std::filesystem::path& devices);

}  // namespace linux_host
