#pragma once

#include <array>
#include <memory>

#include <gtest/gtest.h>

#include "support.h"

namespace loader_test {

// Each test starts and ends with none of the loader's registry trees and variables, and with no
// handler object alive.
class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        delete_loader_registry_trees();
        live_at_start = live_handlers();
    }
    void TearDown() override {
        pump_pending();
        delete_loader_registry_trees();
        EXPECT_LE(live_handlers(), live_at_start) << "a handler object leaked";
    }

    static constexpr std::array<const wchar_t*, 7> variables{L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER",
                                                             L"WEBVIEW2_USER_DATA_FOLDER",
                                                             L"WEBVIEW2_USE_EDGE_VIEW",
                                                             L"WEBVIEW2_RELEASE_CHANNELS",
                                                             L"WEBVIEW2_CHANNEL_SEARCH_KIND",
                                                             L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE",
                                                             L"CORVANE_FAKE_RUNTIME_SCENARIO"};
    ScopedVariable cleared[7] = {{variables[0], std::nullopt}, {variables[1], std::nullopt},
                                 {variables[2], std::nullopt}, {variables[3], std::nullopt},
                                 {variables[4], std::nullopt}, {variables[5], std::nullopt},
                                 {variables[6], std::nullopt}};
    TempFolder temp;
    long live_at_start = 0;
};

}  // namespace loader_test
