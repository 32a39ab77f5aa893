// The navigation and new-window policy of the real program. The fake view raises the events;
// Wine's handler for https addresses is the shell recorder, started in the program's job, so a
// launch is counted the moment ShellExecuteW returns (before the step does) and the address it
// was given is read from the recorder's file.

#include <string>
#include <vector>

#include "host_fixture.h"

namespace host_test {
namespace {

using HostNavigation = HostTest;

struct Row {
    std::string event;  // "navigate" or "new_window"
    std::string uri;    // "-": the runtime gives no address
    std::string initiator;
    bool goes_ahead;  // navigation allowed (for new windows: never)
    bool opened;      // handed to the shell
};

const std::vector<Row> rows = {
    // Within the page host: same scheme, exact spelling, anything after the slash.
    {"navigate", "https://corvane-weather.example/index.html", "user", true, false},
    {"navigate", "https://corvane-weather.example/", "user", true, false},
    {"navigate", "https://corvane-weather.example/js/feed.js?x=1#y", "script", true, false},
    // Outside it: cancelled; only user-started https addresses go to the shell.
    {"navigate", "https://corvane-weather.example", "user", false, true},
    {"navigate", "https://Corvane-Weather.example/index.html", "user", false, true},
    {"navigate", "https://corvane-weather.example.evil.com/", "user", false, true},
    {"navigate", "http://corvane-weather.example/index.html", "user", false, false},
    {"navigate", "https://www.weather.gov/slc/", "user", false, true},
    {"navigate", "https://aviationweather.gov/data/metar/?ids=KSLC&hours=0", "user", false, true},
    {"navigate", "https://www.weather.gov/boi/", "script", false, false},
    {"navigate", "https://www.weather.gov/pih/", "unset", false, false},
    {"navigate", "http://example.com/", "user", false, false},
    {"navigate", "HTTPS://example.com/", "user", false, false},
    {"navigate", "mailto:someone@example.com", "user", false, false},
    {"navigate", "file:///C:/windows/win.ini", "user", false, false},
    {"navigate", "javascript:alert(1)", "user", false, false},
    {"navigate", "-", "user", false, false},
    // New windows: always refused; user-started https addresses go to the shell, the page
    // host's own included.
    {"new_window", "https://www.weather.gov/", "user", false, true},
    {"new_window", "https://corvane-weather.example/index.html", "user", false, true},
    {"new_window", "https://www.weather.gov/", "script", false, false},
    {"new_window", "https://www.spc.noaa.gov/", "unset", false, false},
    {"new_window", "http://example.com/", "user", false, false},
    {"new_window", "-", "user", false, false},
};

TEST_F(HostNavigation, StaysOnThePageHostAndHandsUserStartedHttpsToTheShell) {
    HostRun run(scratch);
    ASSERT_TRUE(run.wait_until_loaded());
    std::vector<std::string> opened;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.event + " " + row.uri + " " + row.initiator);
        const std::size_t mark = run.log().size();
        const long launched = run.processes_started();
        ASSERT_TRUE(run.step(row.event + " " + row.uri + " " + row.initiator));
        const std::vector<std::string> seen = lines_from(run.log(), mark);
        if (row.event == "navigate") {
            EXPECT_TRUE(contains(
                seen, "navigation " + row.uri + (row.goes_ahead ? " allowed" : " cancelled")));
            EXPECT_EQ(contains(seen, "navigation put_Cancel 1"), !row.goes_ahead);
            EXPECT_EQ(contains(seen, "navigation get_IsUserInitiated"), !row.goes_ahead);
        } else {
            EXPECT_TRUE(contains(seen, "new window " + row.uri + " handled"));
            EXPECT_EQ(contains(seen, "new window get_Uri"), row.initiator == "user")
                << "the address is read only for a user's request";
        }
        EXPECT_EQ(run.processes_started() - launched, row.opened ? 1 : 0);
        if (row.opened) {
            opened.push_back(row.uri);
            EXPECT_TRUE(
                wait_until([&] { return read_lines(run.shell_record()).size() == opened.size(); }));
        }
    }
    EXPECT_EQ(read_lines(run.shell_record()), opened);
    run.close();
    EXPECT_EQ(run.wait_for_exit(), 0);
    expect_everything_released(run.log());
}

}  // namespace
}  // namespace host_test
