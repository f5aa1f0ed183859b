// The demo, run as the README runs it, on the bundled sample: it must keep working.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <string>

#include "clipboard_files.h"
#include "form1_layout.h"
#include "screenshot.h"
#include "wine_test.h"

namespace {

bool Dark(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 128; }

// Counts the dark pixels (text, edges) inside a rectangle of the window's client area.
int DarkPixels(const desktop::Picture& shot, POINT client, const RECT& r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) n += Dark(shot.Pixel(client.x + x, client.y + y));
    return n;
}

// The pixels inside a rectangle of the client area that are not of this colour.
int PixelsOtherThan(const desktop::Picture& shot, POINT client, const RECT& r, COLORREF colour) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) n += shot.Pixel(client.x + x, client.y + y) != colour;
    return n;
}

// The height of a list line: the dialog font's height.
int LineHeight() {
    HDC dc = GetDC(nullptr);
    HFONT font = CreateFontW(-MulDiv(form1::kDialogFontPoints, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, 0, 0,
                             0, DEFAULT_CHARSET, 0, 0, 0, 0, form1::kDialogFontFace);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return tm.tmHeight;
}

// One whole run of the demo on the bundled sample, in its own scratch folder: its exit code,
// the list it saved and the screenshot it took.
struct DemoRun {
    DWORD exitCode = 0;
    std::string savedList;
    desktop::Picture screenshot;
};

DemoRun RunDemo(const std::wstring& folder, const std::wstring& flags = L"") {
    std::wstring dir = orvtest::ScratchDir(folder);
    std::wstring saved = dir + L"\\subscribers.txt";
    std::wstring shot = dir + L"\\window.bmp";
    // The child finds the address book and the host's state through its environment.
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", orvtest::SourcePath(L"samples\\scenario.json").c_str());
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", (dir + L"\\host-state.json").c_str());
    DemoRun run;
    run.exitCode = orvtest::RunProcess(L"\"" + orvtest::BuildPath(L"sim\\demo\\OrvalisDemo.exe") + L"\" " + flags + L"\"" +
                                           saved + L"\" \"" + shot + L"\"",
                                       90000);
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", nullptr);
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", nullptr);
    run.savedList = orvtest::FileBytes(saved);
    run.screenshot = desktop::ReadBitmap(shot);
    return run;
}

// One run for the whole program: the tests below look at it from different sides.
class Demo : public testing::Test {
protected:
    static void SetUpTestSuite() {
        DemoRun run = RunDemo(L"demo");
        exitCode = run.exitCode;
        savedList = run.savedList;
        screenshot = run.screenshot;
    }
    static inline DWORD exitCode = 0;
    static inline std::string savedList;
    static inline desktop::Picture screenshot;
};

TEST_F(Demo, WholeRunOnTheSampleSavesTheSubscriberList) {
    EXPECT_EQ(0u, exitCode);
    // People, an Exchange list with a nested list and a fax number, a personal list and
    // duplicates across them: five subscribers, each once, where first reached.
    EXPECT_EQ(
        "ann.lee@example.com Ann Lee\r\n"
        "priya.nair@example.com Priya Nair\r\n"
        "team-leads@example.com Team Leads\r\n"
        "omar@example.org Omar Haddad\r\n"
        "mei.chen@example.com Mei Chen\r\n",
        savedList);
}

// Without CDO the same run goes through the mail client's own address book, and saves the
// same bytes.
TEST_F(Demo, WithoutCdoTheSameListIsSaved) {
    DemoRun run = RunDemo(L"demo-without-cdo", L"--without-cdo ");
    EXPECT_EQ(0u, run.exitCode);
    ASSERT_FALSE(savedList.empty());
    EXPECT_EQ(savedList, run.savedList);
    CLSID clsid;
    EXPECT_EQ(S_OK, CLSIDFromProgID(L"MAPI.Session", &clsid)) << "the demo put CDO's registration back";
}

// The screenshot the demo takes after "Create List" shows the whole window as a person sees
// it: its size, the five list lines and nothing below them, each button's caption, the
// version line, and the window's background between the list and the buttons.
TEST_F(Demo, ScreenshotShowsTheWindowWithItsList) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(96, dpi) << "the rectangles below are for 96 dpi";
    const desktop::Picture& shot = screenshot;
    ASSERT_NE(0, shot.width) << "no screenshot from the demo's run";

    RECT frame{0, 0, MulDiv(form1::kClientWidth, dpi, 1440), MulDiv(form1::kClientHeight, dpi, 1440)};
    AdjustWindowRectEx(&frame, form1::kWindowStyle, FALSE, form1::kWindowExStyle);
    EXPECT_EQ(frame.right - frame.left, shot.width);
    EXPECT_EQ(frame.bottom - frame.top, shot.height);
    ASSERT_GE(shot.width, 423);
    ASSERT_GE(shot.height, 344);
    const POINT client{-frame.left, -frame.top};

    // List1 stands at 8,8 305x303; inside its sunken edge, five lines, then blank window colour.
    const int line = LineHeight();
    const RECT list{10, 10, 311, 309};
    for (int i = 0; i < 5; ++i) {
        RECT band{list.left, list.top + i * line, list.right, list.top + (i + 1) * line};
        EXPECT_GT(DarkPixels(shot, client, band), 20) << "list line " << i + 1;
    }
    EXPECT_EQ(0, PixelsOtherThan(shot, client, {list.left, list.top + 5 * line + 1, list.right, list.bottom},
                                 GetSysColor(COLOR_WINDOW)))
        << "nothing under the fifth line";

    const struct {
        const char* label;
        RECT inside;
    } captions[] = {
        {"Create List", {332, 20, 405, 45}},
        {"Copy to Clipboard", {332, 60, 405, 85}},
        {"Save List", {332, 100, 405, 125}},
        {"Help", {332, 140, 405, 165}},
        {"version line", {8, 320, 160, 333}},
    };
    for (const auto& c : captions) EXPECT_GT(DarkPixels(shot, client, c.inside), 20) << c.label;
    EXPECT_EQ(0, PixelsOtherThan(shot, client, {315, 0, 326, 310}, GetSysColor(COLOR_BTNFACE)))
        << "the window's background between the list and the buttons";
}

}  // namespace
