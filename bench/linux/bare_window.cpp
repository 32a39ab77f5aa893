// The baseline of scripts/bench-linux.sh: a bare WebKitGTK window placed and sized as the map's
// (app/host_rules.h) that draws one canvas, and nothing else. Once the frame with the canvas is
// painted, the page's wall clock then (ms since the epoch) is printed as "drawn MS" and kept as
// window.corvaneBareDrawn. With --automation it is driven through WebKit's WebDriver as the
// host is (it names itself as the host does, so the same session capabilities find it).
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstring>

#include "app/host_rules.h"

namespace {

// The canvas is painted, then reported after the frame that shows it (as the map page does).
constexpr char page[] = R"(<!doctype html>
<html><body style="margin:0;background:#0c1623;overflow:hidden"><canvas id="c"></canvas><script>
const canvas = document.getElementById('c');
canvas.width = innerWidth;
canvas.height = innerHeight;
const g = canvas.getContext('2d');
g.fillStyle = '#1d3247';
g.fillRect(40, 40, canvas.width - 80, canvas.height - 80);
g.strokeStyle = '#8fb3d9';
g.strokeRect(40, 40, canvas.width - 80, canvas.height - 80);
requestAnimationFrame(() => setTimeout(() => {
  window.corvaneBareDrawn = performance.timeOrigin + performance.now();
  window.webkit.messageHandlers.drawn.postMessage(window.corvaneBareDrawn);
}, 0));
</script></body></html>)";

bool automation = false;

void on_drawn(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer) {
    std::printf("drawn %.1f\n", jsc_value_to_double(webkit_javascript_result_get_js_value(result)));
    std::fflush(stdout);
    if (!automation) {
        gtk_main_quit();  // a driven window is closed by its driver
    }
}

WebKitWebView* on_automation_view(WebKitAutomationSession*, gpointer view) {
    return WEBKIT_WEB_VIEW(view);
}

void on_automation_started(WebKitWebContext*, WebKitAutomationSession* session, gpointer view) {
    WebKitApplicationInfo* info = webkit_application_info_new();
    webkit_application_info_set_name(info, "corvane-weather");
    webkit_automation_session_set_application_info(session, info);
    webkit_application_info_unref(info);
    g_signal_connect(session, "create-web-view", G_CALLBACK(&on_automation_view), view);
}

}  // namespace

int main(int argc, char** argv) {
    automation = argc > 1 && std::strcmp(argv[1], "--automation") == 0;
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    GdkRectangle area{0, 0, 1920, 1080};
    if (monitor != nullptr || (monitor = gdk_display_get_monitor(display, 0)) != nullptr) {
        gdk_monitor_get_geometry(monitor, &area);
    }
    const host::Rectangle placed = host::main_window_rectangle({area.x, area.y, area.width, area.height});
    gtk_window_set_default_size(GTK_WINDOW(window), placed.width, placed.height);
    gtk_window_move(GTK_WINDOW(window), placed.x, placed.y);

    WebKitUserContentManager* content = webkit_user_content_manager_new();
    g_signal_connect(content, "script-message-received::drawn", G_CALLBACK(&on_drawn), nullptr);
    webkit_user_content_manager_register_script_message_handler(content, "drawn");
    WebKitWebContext* context = webkit_web_context_get_default();
    GtkWidget* view = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
        "user-content-manager", content, "is-controlled-by-automation", automation, nullptr));
    if (automation) {
        webkit_web_context_set_automation_allowed(context, TRUE);
        g_signal_connect(context, "automation-started", G_CALLBACK(&on_automation_started), view);
    }
    gtk_container_add(GTK_CONTAINER(window), view);
    webkit_web_view_load_html(WEBKIT_WEB_VIEW(view), page, nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
