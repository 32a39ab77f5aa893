#include "loader/caller_options.h"

#include "loader/option_interfaces.h"
#include "win32/com_ptr.h"
#include "win32/webview2.h"

namespace loader {

bool options_use_edge_view(ICoreWebView2EnvironmentOptions* options) {
    if (options == nullptr) {
        return false;
    }
    const auto option = win32::try_query<EdgeViewOption>(options);
    if (!option) {
        return false;
    }
    INT32 value = 0;
    return option->get_use_edge_view(&value) == S_OK && value == 1;
}

void apply_option_channels(ICoreWebView2EnvironmentOptions* options, EnvironmentRequest& request) {
    if (options == nullptr || (request.search_kind_given && request.release_channels_given)) {
        return;
    }
    const auto channels = win32::try_query<ChannelOptions>(options);
    if (!channels) {
        return;
    }
    if (!request.search_kind_given) {
        INT32 kind = 0;
        if (SUCCEEDED(channels->get_channel_search_kind(&kind)) && kind == least_stable_first) {
            request.channel_search_kind = least_stable_first;
        }
    }
    if (!request.release_channels_given) {
        UINT32 mask = 0;
        if (SUCCEEDED(channels->get_release_channels(&mask)) && mask != 0) {
            request.release_channels = mask;
            request.release_channels_given = true;
        }
    }
}

}  // namespace loader
