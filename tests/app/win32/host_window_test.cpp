// The main window of the real program: class, title, style, background, the geometry of each
// screen size (the test program runs once per Xvfb screen), the minimum size at 96 and 144
// DPI, and how the browser view follows size and focus.

#include <cstdlib>
#include <string>

#include "host_fixture.h"

namespace host_test {
namespace {

using HostWindow = HostTest;

RECT window_rect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

std::string describe(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
           std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top);
}

// Asks for a size far below the minimum, as a drag would, and returns the size granted.
SIZE shrink(HWND window) {
    SetWindowPos(window, nullptr, 0, 0, 100, 100, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    const RECT rect = window_rect(window);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

TEST_F(HostWindow, HasItsClassTitleAndStyleAndPaintsItsBackgroundUntilTheViewDraws) {
    HostRun run(scratch);
    const HWND window = run.main_window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(run.wait_until_loaded());

    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    EXPECT_EQ(std::wstring(title), L"Corvane Weather \u2014 Western United States");
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow());
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(style & (WS_POPUP | WS_CHILD), 0);
    EXPECT_EQ(GetClassLongW(window, GCL_STYLE), 0u);

    // The fake view draws nothing, so the client area shows the class brush: RGB(12, 22, 35).
    RECT client{};
    GetClientRect(window, &client);
    POINT centre{(client.right - client.left) / 2, (client.bottom - client.top) / 2};
    ClientToScreen(window, &centre);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    const HDC screen = GetDC(nullptr);
    COLORREF colour = CLR_INVALID;
    wait_until([&] {
        colour = GetPixel(screen, centre.x, centre.y);
        return colour == RGB(12, 22, 35);
    });
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(colour, RGB(12, 22, 35));

    run.close();
    EXPECT_EQ(run.wait_for_exit(), 0);
}

// Run on each screen size of run_host_tests.sh.
TEST_F(HostWindow, GeometryOnThisScreen) {
    struct Row {
        int screen_width, screen_height;
        RECT expected;  // left, top, right, bottom
    };
    const Row rows[] = {
        {1366, 768, {35, 40, 35 + 1296, 40 + 688}},
        {1920, 1080, {230, 60, 230 + 1460, 60 + 960}},
        {2560, 1440, {550, 240, 550 + 1460, 240 + 960}},
    };
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    if (const char* screen = std::getenv("CORVANE_TEST_SCREEN")) {
        EXPECT_EQ(std::string(screen), std::to_string(width) + "x" + std::to_string(height))
            << "the wineserver still reports an earlier screen";
    }
    const Row* row = nullptr;
    for (const Row& candidate : rows) {
        if (candidate.screen_width == width && candidate.screen_height == height) {
            row = &candidate;
        }
    }
    ASSERT_NE(row, nullptr) << "no row for a " << width << "x" << height << " screen";

    HostRun run(scratch);
    const HWND window = run.main_window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(run.wait_until_loaded());
    EXPECT_EQ(describe(window_rect(window)), describe(row->expected));
    run.close();
    EXPECT_EQ(run.wait_for_exit(), 0);
}

TEST_F(HostWindow, CannotBeMadeSmallerThanTheMinimumOfItsDpi) {
    struct Row {
        DWORD dpi;
        SIZE minimum;
    };
    // Wine reads the DPI from the prefix when a program starts; this one keeps the 96 it
    // started with, so it sees the program's physical pixels unscaled.
    for (const Row& row : {Row{96, {920, 650}}, Row{144, {1380, 975}}}) {
        SCOPED_TRACE(row.dpi);
        set_system_dpi(row.dpi);
        HostRun run(scratch);
        const HWND window = run.main_window();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(run.wait_until_loaded());
        if (GetSystemMetrics(SM_CXSCREEN) == 1920 && row.dpi == 144) {
            // The initial size is not scaled: 1460 wide as at 96 DPI, and 960 high raised to
            // the minimum of 975 by the system while the window is created.
            const RECT rect = window_rect(window);
            EXPECT_EQ(describe(rect), "230,60 1460x975");
        }
        const SIZE granted = shrink(window);
        EXPECT_EQ(granted.cx, row.minimum.cx);
        EXPECT_EQ(granted.cy, row.minimum.cy);
        run.close();
        EXPECT_EQ(run.wait_for_exit(), 0);
    }
    set_system_dpi(96);
}

TEST_F(HostWindow, TheViewFollowsEverySizeAndTakesTheFocus) {
    HostRun run(scratch);
    const HWND window = run.main_window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(run.wait_until_loaded());
    const std::size_t mark = run.log().size();

    for (const SIZE size : {SIZE{1000, 700}, SIZE{1200, 800}}) {
        SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        RECT client{};
        GetClientRect(window, &client);
        const std::string bounds = "controller put_Bounds 0 0 " + std::to_string(client.right) +
                                   " " + std::to_string(client.bottom);
        EXPECT_TRUE(wait_until([&] { return contains(lines_from(run.log(), mark), bounds); }))
            << bounds;
    }
    ShowWindow(window, SW_MINIMIZE);  // minimised too: the view gets the (empty) client area
    EXPECT_TRUE(wait_until(
        [&] { return contains(lines_from(run.log(), mark), "controller put_Bounds 0 0 0 0"); }));
    ShowWindow(window, SW_RESTORE);

    SendMessageW(window, WM_SETFOCUS, 0, 0);
    EXPECT_TRUE(contains(lines_from(run.log(), mark), "controller MoveFocus 0"));

    run.close();
    EXPECT_EQ(run.wait_for_exit(), 0);
    const std::vector<std::string> log = run.log();
    EXPECT_TRUE(starting_with(log, "unexpected").empty());
}

}  // namespace
}  // namespace host_test
