// corvane-weather: the Linux desktop host of the map.
#include <gtk/gtk.h>

#include <filesystem>
#include <iostream>

#include "app/linux/host.h"
#include "app/linux/page_files.h"
#include "corvane_version.h"

namespace {

std::filesystem::path running_executable(const char* argv0) {
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::absolute(argv0) : executable;
}

}  // namespace

int main(int argc, char** argv) {
    linux_host::HostOptions options;
    options.web_folder = linux_host::web_folder_for(running_executable(argv[0]));
    gboolean demo = FALSE;
    gboolean automation = FALSE;
    gboolean help = FALSE;
    gboolean version = FALSE;
    GOptionEntry entries[] = {
        {"demo", 0, 0, G_OPTION_ARG_NONE, &demo, nullptr, nullptr},
        {"automation", 0, 0, G_OPTION_ARG_NONE, &automation, nullptr, nullptr},
        {"help", 0, 0, G_OPTION_ARG_NONE, &help, nullptr, nullptr},
        {"version", 0, 0, G_OPTION_ARG_NONE, &version, nullptr, nullptr},
        {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr}};
    // Our own help text, and whatever else is given is left alone (GTK's own options included).
    GOptionContext* context = g_option_context_new(nullptr);
    g_option_context_set_help_enabled(context, FALSE);
    g_option_context_set_ignore_unknown_options(context, TRUE);
    g_option_context_add_main_entries(context, entries, nullptr);
    (void)g_option_context_parse(context, &argc, &argv, nullptr);
    g_option_context_free(context);
    if (help) {
        std::cout << "Usage: corvane-weather [--demo] [--automation]\n"
                     "Weather map of the western United States (not an official briefing).\n"
                     "  --demo        label the map's data as demo data\n"
                     "  --automation  allow WebKit's WebDriver to drive the map view\n"
                     "  --help        print this help and exit\n"
                     "  --version     print the version and exit\n";
        return 0;
    }
    if (version) {
        std::cout << "corvane-weather " CORVANE_VERSION_TEXT "\n";
        return 0;
    }
    options.demo = demo;
    options.automation = automation;
    gtk_init(&argc, &argv);
    g_set_prgname("corvane-weather");
    g_set_application_name("Corvane Weather");
    try {
        linux_host::Host host(std::move(options));
        return host.run();
    } catch (const std::exception& failure) {
        std::cerr << "corvane-weather: " << failure.what() << '\n';
        return 1;
    }
}
