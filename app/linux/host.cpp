#include "app/linux/host.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <exception>
#include <thread>

#include <glib-unix.h>
#include <malloc.h>

#include <nlohmann/json.hpp>

#include "app/bridge/reply.h"
#include "app/bridge/request_executor.h"
#include "app/bridge/web_message.h"
#include "app/host_rules.h"
#include "app/linux/bridge_scripts.h"
#include "app/linux/page_files.h"
#include "corvane_version.h"
#include "weather/operations.h"

namespace linux_host {
namespace {

constexpr GdkRGBA window_background = {host::background.red / 255.0, host::background.green / 255.0,
                                       host::background.blue / 255.0, 1.0};

std::filesystem::path user_folder(const char* base, const char* leaf) {
    return std::filesystem::path(base) / "CorvaneWeather" / leaf;
}

// Main thread: starts the detached worker of an accepted request whose slot is reserved. Throws
// std::system_error when no thread can be created.
void start_worker(std::shared_ptr<AsyncState> state, bridge::PageRequest&& request) {
    std::thread([state = std::move(state), request = std::move(request)] {
        bridge::run_request(*state, request, &weather::run_operation);
        // The host's one memory-return policy: a large document leaves its parsed form's pages
        // free in this thread's heap, and its blocks of a megabyte too once glibc's mmap
        // threshold has risen; give every free page back now rather than keep them until a later
        // request happens to reuse them.
        malloc_trim(0);
    }).detach();
}

}  // namespace

bool is_page_address(const std::string& uri) {
    // Frames the page makes itself hold no content from elsewhere.
    return uri.starts_with(page_prefix) || uri == "about:blank" || uri == "about:srcdoc";
}

bool has_graphics_device(const std::filesystem::path& devices) {
    std::error_code error;
    if (std::filesystem::exists(devices / "nvidia0", error)) {
        return true;
    }
    for (const auto& entry : std::filesystem::directory_iterator(devices / "dri", error)) {
        if (entry.path().filename().string().starts_with("renderD")) {
            return true;
        }
    }
    return false;
}

void open_external(const std::string& uri) {
    if (!host::is_external_address(std::string_view(uri))) {
        return;
    }
    // The result is ignored, as on Windows: nothing is reported if no browser opens it.
    g_app_info_launch_default_for_uri(uri.c_str(), nullptr, nullptr);
}

Host::Host(HostOptions options)
    : options(std::move(options)),
      state(std::make_shared<AsyncState>()),
      delivery(std::make_shared<MainThreadDelivery>(
          state, [this](std::string text) { deliver(std::move(text)); })) {}

Host::~Host() {
    shutdown();
}

int Host::run() {
    create_window();
    create_view();
    gtk_widget_show_all(window);
    gtk_main();
    shutdown();
    return 0;
}

void Host::create_window() {
    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), host::window_title);
    gtk_window_set_icon_name(GTK_WINDOW(window), "corvane-weather");

    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) {
        monitor = gdk_display_get_monitor(display, 0);
    }
    GdkRectangle area{0, 0, 1920, 1080};
    if (monitor != nullptr) {
        gdk_monitor_get_geometry(monitor, &area);
    }
    const host::Rectangle placed =
        host::main_window_rectangle({area.x, area.y, area.width, area.height});
    gtk_window_set_default_size(GTK_WINDOW(window), placed.width, placed.height);
    gtk_window_move(GTK_WINDOW(window), placed.x, placed.y);
    // Logical pixels: GTK scales them by the monitor's scale factor.
    GdkGeometry hints{};
    hints.min_width = host::minimum_width;
    hints.min_height = host::minimum_height;
    gtk_window_set_geometry_hints(GTK_WINDOW(window), nullptr, &hints, GDK_HINT_MIN_SIZE);

    g_autoptr(GtkCssProvider) css = gtk_css_provider_new();
    char style[64];
    std::snprintf(style, sizeof style, "window { background-color: #%02X%02X%02X; }",
                  host::background.red, host::background.green, host::background.blue);
    gtk_css_provider_load_from_data(css, style, -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(window), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);

    g_signal_connect(window, "delete-event", G_CALLBACK(&Host::on_delete), this);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    // A session ending or `kill` closes the window the same way the user does.
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        g_unix_signal_add(signal_number, &Host::on_stop_signal, this);
    }

    // Before any view exists, as on Windows; no request thread exists yet.
    state->open(*delivery);
}

void Host::create_view() {
    const std::string data_folder = user_folder(g_get_user_data_dir(), "WebKit").string();
    const std::string cache_folder = user_folder(g_get_user_cache_dir(), "WebKit").string();
    g_autoptr(WebKitWebsiteDataManager) data =
        webkit_website_data_manager_new("base-data-directory", data_folder.c_str(),
                                        "base-cache-directory", cache_folder.c_str(), nullptr);
    context = webkit_web_context_new_with_website_data_manager(data);

    webkit_web_context_register_uri_scheme(context, page_scheme, &Host::on_scheme_request, this,
                                           nullptr);
    WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
    webkit_security_manager_register_uri_scheme_as_secure(security, page_scheme);
    if (options.automation) {
        webkit_web_context_set_automation_allowed(context, TRUE);
        g_signal_connect(context, "automation-started", G_CALLBACK(&Host::on_automation_started),
                         this);
    }

    content = webkit_user_content_manager_new();
    WebKitUserScript* page_script =
        webkit_user_script_new(page_world_script, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    WebKitUserScript* world_script = webkit_user_script_new_for_world(
        bridge_world_script, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, bridge_world, nullptr, nullptr);
    webkit_user_content_manager_add_script(content, page_script);
    webkit_user_content_manager_add_script(content, world_script);
    webkit_user_script_unref(page_script);
    webkit_user_script_unref(world_script);
    g_signal_connect(content, "script-message-received::corvane",
                     G_CALLBACK(&Host::on_script_message), this);
    webkit_user_content_manager_register_script_message_handler_in_world(
        content, message_handler_name, bridge_world);

    view = WEBKIT_WEB_VIEW(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "user-content-manager", content,
                     "is-controlled-by-automation", options.automation, nullptr));
    webkit_web_view_set_background_color(view, &window_background);

    WebKitSettings* settings = webkit_web_view_get_settings(view);
    const std::string agent =
        std::string(webkit_settings_get_user_agent(settings)) + host::user_agent_token;
    webkit_settings_set_user_agent(settings, agent.c_str());
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    if (!has_graphics_device("/dev")) {
        webkit_settings_set_hardware_acceleration_policy(settings,
                                                         WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    }

    g_signal_connect(view, "decide-policy", G_CALLBACK(&Host::on_decide_policy), this);
    g_signal_connect(view, "create", G_CALLBACK(&Host::on_create), this);
    gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));

    if (!std::filesystem::exists(options.web_folder / "index.html")) {
        GtkWidget* box = gtk_message_dialog_new(
            GTK_WINDOW(window), GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s",
            host::missing_web_folder_text("corvane-weather", "rebuild the project").c_str());
        gtk_window_set_title(GTK_WINDOW(box), "Corvane Weather");
        g_signal_connect(box, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
        gtk_widget_show(box);
        return;
    }
    std::string address = start_address;
    if (options.demo) {
        address += "?demo=1";
    }
    webkit_web_view_load_uri(view, address.c_str());
}

void Host::shutdown() {
    // No request thread queues a reply from here on; what is queued is freed, never delivered.
    state->close();
}

void Host::handle_web_message(const std::string& source, const std::string& json) {
    const auto immediate = bridge::accept_web_message(
        source, json, state->active_requests,
        [this](bridge::PageRequest&& request) { start_worker(state, std::move(request)); },
        page_prefix);
    if (immediate) {
        post_reply(bridge::reply_json_text(*immediate));
    }
}

void Host::post_reply(std::string text) {
    if (!state->closing) {
        deliver(std::move(text));
    }
}

void Host::deliver(std::string text) {
    if (view == nullptr || state->closing) {
        return;
    }
    if (!sender) {
        sender = std::make_shared<PartSender>();
        sender->view = view;
        sender->state = state;
    }
    stream_reply(sender, std::move(text));
}

void Host::on_script_message(WebKitUserContentManager*, WebKitJavascriptResult* result,
                             gpointer self) {
    try {
        JSCValue* message = webkit_javascript_result_get_js_value(result);
        if (!jsc_value_is_object(message)) {
            return;
        }
        g_autoptr(JSCValue) source = jsc_value_object_get_property(message, "source");
        g_autoptr(JSCValue) json = jsc_value_object_get_property(message, "json");
        if (jsc_value_is_string(source) && jsc_value_is_string(json)) {
            g_autofree char* source_text = jsc_value_to_string(source);
            g_autofree char* json_text = jsc_value_to_string(json);
            static_cast<Host*>(self)->handle_web_message(source_text, json_text);
        }
    } catch (...) {
        // Nothing may unwind into WebKit; a message that cannot be handled gets no reply.
    }
}

gboolean Host::on_decide_policy(WebKitWebView*, WebKitPolicyDecision* decision,
                                WebKitPolicyDecisionType type, gpointer) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
        type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
        return FALSE;  // responses keep WebKit's default handling
    }
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    const std::string address = uri == nullptr ? std::string{} : std::string(uri);
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && is_page_address(address)) {
        webkit_policy_decision_use(decision);
        return TRUE;
    }
    // Leaving the page, or a new window: refused; a link the user chose opens outside.
    webkit_policy_decision_ignore(decision);
    if (webkit_navigation_action_is_user_gesture(action)) {
        open_external(address);
    }
    return TRUE;
}

GtkWidget* Host::on_create(WebKitWebView*, WebKitNavigationAction*, gpointer) {
    return nullptr;
}

void Host::on_scheme_request(WebKitURISchemeRequest* request, gpointer self) {
    const auto* host = static_cast<Host*>(self);
    const auto file =
        resolve_page_file(host->options.web_folder, webkit_uri_scheme_request_get_uri(request));
    gchar* contents = nullptr;
    gsize length = 0;
    if (!file || !g_file_get_contents(file->c_str(), &contents, &length, nullptr)) {
        g_autoptr(GError) error =
            g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "Not found");
        webkit_uri_scheme_request_finish_error(request, error);
        return;
    }
    g_autoptr(GInputStream) stream = g_memory_input_stream_new_from_data(contents, length, g_free);
    g_autoptr(WebKitURISchemeResponse) response = webkit_uri_scheme_response_new(stream, length);
    webkit_uri_scheme_response_set_content_type(response, content_type_for(*file).c_str());
    webkit_uri_scheme_request_finish_with_response(request, response);
}

gboolean Host::on_stop_signal(gpointer self) {
    gtk_window_close(GTK_WINDOW(static_cast<Host*>(self)->window));
    return G_SOURCE_CONTINUE;
}

gboolean Host::on_delete(GtkWidget*, GdkEvent*, gpointer self) {
    static_cast<Host*>(self)->shutdown();
    return FALSE;  // go on and destroy the window
}

void Host::on_automation_started(WebKitWebContext*, WebKitAutomationSession* session,
                                 gpointer self) {
    WebKitApplicationInfo* info = webkit_application_info_new();
    webkit_application_info_set_name(info, "corvane-weather");
    webkit_application_info_set_version(info, CORVANE_VERSION_MAJOR, CORVANE_VERSION_MINOR,
                                        CORVANE_VERSION_PATCH);
    webkit_automation_session_set_application_info(session, info);
    webkit_application_info_unref(info);
    g_signal_connect(session, "create-web-view", G_CALLBACK(&Host::on_automation_view), self);
}

WebKitWebView* Host::on_automation_view(WebKitAutomationSession*, gpointer self) {
    return static_cast<Host*>(self)->view;
}

}  // namespace linux_host
