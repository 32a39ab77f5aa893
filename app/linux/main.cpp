// corvane-weather: the Linux desktop host of the map.
#include <gtk/gtk.h>
#include <malloc.h>

#include <cstring>
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
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--demo") == 0) {
            options.demo = true;
        } else if (std::strcmp(argv[i], "--automation") == 0) {
            options.automation = true;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::cout << "Usage: corvane-weather [--demo] [--automation]\n"
                         "Weather map of the western United States (not an official briefing).\n"
                         "  --demo        label the map's data as demo data\n"
                         "  --automation  allow WebKit's WebDriver to drive the map view\n"
                         "  --help        print this help and exit\n"
                         "  --version     print the version and exit\n";
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "corvane-weather " CORVANE_VERSION_TEXT "\n";
            return 0;
        }
    }
    // Replies and service documents run to megabytes. Blocks from 1 MiB up get pages of their
    // own, given back when freed; glibc's default threshold rises with every large block freed,
    // after which such blocks stay in the heaps of whichever threads used them.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
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
