#pragma once

// What the caller's environment options object says about the runtime to use.

#include "loader/environment_request.h"

namespace loader {

// Whether the caller's options ask for the Edge browser itself; false without options or when
// the options cannot tell.
bool options_use_edge_view(ICoreWebView2EnvironmentOptions* options);

// Completes the channel settings that no variable or policy gave from the caller's options.
void apply_option_channels(ICoreWebView2EnvironmentOptions* options, EnvironmentRequest& request);

}  // namespace loader
