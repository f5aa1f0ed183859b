// The builder window as the user sees it: its measures, styles and font read back from the real
// window, the version line, keyboard navigation with real key presses, and a screenshot.
#include <gtest/gtest.h>

#include <string>

#include "Global.h"
#include "form1.h"
#include "form1_layout.h"
#include "clipboard_files.h"
#include "screenshot.h"
#include "seam.h"
#include "sim_client.h"
#include "test_form1_helpers.h"
#include "wine_test.h"

namespace {

using orvtest::Seam;
using form1::ControlId;
using orvtest::ClipboardText;
using form1test::Press;

RECT ClientRectOf(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string Describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

SIZE TextExtent(HWND control, const std::wstring& text) {
    SIZE s{};
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &s);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return s;
}

// The rectangle a caption needs when it wraps at width, in the control's font.
RECT WrappedText(HWND control, const std::wstring& text, int width) {
    RECT r{0, 0, width, 0};
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return r;
}

class Form1Layout : public ::testing::Test {
protected:
    void SetUp() override {
        simclient::LoadScenario(L"{}");
        HDC dc = GetDC(nullptr);
        dpiX_ = GetDeviceCaps(dc, LOGPIXELSX);
        dpiY_ = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
    }
    void TearDown() override {
        try {
            Global::TheForm1().Unload();
        } catch (const orv::Error&) {
        }
        orvtest::Pump(50);
    }
    Form1& form = Global::TheForm1();
    orvtest::DialogWatcher boxes;
    int dpiX_ = 0, dpiY_ = 0;
};

TEST_F(Form1Layout, ClientAreaAndControlsStandWhereTheLayoutPutsThem) {
    ASSERT_EQ(96, dpiX_) << "the figures below are for 96 dpi";
    ASSERT_EQ(96, dpiY_);
    HWND w = form.hWnd();
    RECT client{};
    GetClientRect(w, &client);
    EXPECT_EQ("0,0 423x344", Describe(client));

    struct Row {
        ControlId id;
        const char* rect;
    } rows[] = {
        {form1::kList1, "8,8 305x303"},
        {form1::kCmdAdd, "328,16 81x33"},
        {form1::kCmdClipboard, "328,56 81x33"},
        {form1::kCmdSave, "328,96 81x33"},
        {form1::kCmdHelp, "328,136 81x33"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.rect, Describe(ClientRectOf(Seam::Control(form, row.id)))) << "control " << row.id;

    RECT label = ClientRectOf(Seam::Control(form, form1::kLblVersion));
    EXPECT_EQ(8, label.left);
    EXPECT_EQ(320, label.top);
}

TEST_F(Form1Layout, WindowHasAFixedDialogFrameWithACloseBoxOnly) {
    HWND w = form.hWnd();
    LONG style = GetWindowLongW(w, GWL_STYLE), ex = GetWindowLongW(w, GWL_EXSTYLE);
    EXPECT_EQ(static_cast<LONG>(WS_CAPTION), style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_CHILD);
    EXPECT_TRUE(ex & WS_EX_DLGMODALFRAME);
    EXPECT_EQ(nullptr, GetMenu(w));
    EXPECT_EQ(nullptr, GetWindow(w, GW_OWNER));
    EXPECT_EQ(L"Orvalis Address Book Utility", orvtest::WindowText(w));
    EXPECT_FALSE(IsWindowVisible(w)) << "a handle request loads the window hidden";
}

TEST_F(Form1Layout, ControlsCarryTheirCaptionsAndKinds) {
    HWND w = form.hWnd();
    struct Row {
        ControlId id;
        const wchar_t* windowClass;
        const wchar_t* caption;
    } rows[] = {
        {form1::kList1, L"ListBox", L""},
        {form1::kCmdAdd, L"Button", L"Create List"},
        {form1::kCmdClipboard, L"Button", L"Copy to Clipboard"},
        {form1::kCmdSave, L"Button", L"Save List"},
        {form1::kCmdHelp, L"Button", L"Help"},
        {form1::kLblVersion, L"Static", L"Orvalise Utility version 1.3.1"},
    };
    HFONT windowFont = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, windowFont);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        HWND c = Seam::Control(form, row.id);
        ASSERT_NE(nullptr, c);
        wchar_t cls[32];
        GetClassNameW(c, cls, 32);
        EXPECT_EQ(0, _wcsicmp(row.windowClass, cls)) << cls;
        EXPECT_EQ(row.caption, orvtest::WindowText(c));
        EXPECT_TRUE(GetWindowLongW(c, GWL_STYLE) & WS_VISIBLE) << "shown when the window is";
        EXPECT_TRUE(IsWindowEnabled(c));
        EXPECT_EQ(windowFont, reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0))) << "the dialog font everywhere";
    }
    LOGFONTW font{};
    GetObjectW(windowFont, sizeof font, &font);
    EXPECT_EQ(-MulDiv(8, dpiY_, 72), font.lfHeight) << "8 points";

    LONG list = GetWindowLongW(Seam::List1(form), GWL_STYLE);
    EXPECT_FALSE(list & LBS_SORT);
    EXPECT_FALSE(list & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL));
    EXPECT_TRUE(list & WS_TABSTOP);
    for (ControlId id : {form1::kCmdAdd, form1::kCmdClipboard, form1::kCmdSave, form1::kCmdHelp}) {
        LONG button = GetWindowLongW(Seam::Control(form, id), GWL_STYLE);
        EXPECT_EQ(BS_PUSHBUTTON, button & BS_TYPEMASK) << "no default button: control " << id;
        EXPECT_TRUE(button & WS_TABSTOP);
    }
    EXPECT_FALSE(GetWindowLongW(Seam::Control(form, form1::kLblVersion), GWL_STYLE) & WS_TABSTOP);
}

TEST_F(Form1Layout, VersionLineIsShownWhole) {
    form.hWnd();
    HWND label = Seam::Control(form, form1::kLblVersion);
    std::wstring text = orvtest::WindowText(label);
    ASSERT_EQ(L"Orvalise Utility version 1.3.1", text);
    SIZE extent = TextExtent(label, text);
    RECT r{};
    GetClientRect(label, &r);
    EXPECT_GE(r.right, extent.cx) << "the label is at least as wide as its text";
    EXPECT_GE(r.bottom, extent.cy);
    EXPECT_GT(r.right, MulDiv(525, dpiX_, 1440)) << "grown from its design width";
    RECT client{};
    GetClientRect(GetParent(label), &client);
    EXPECT_LE(ClientRectOf(label).right, client.right) << "and it stays inside the window";
}

TEST_F(Form1Layout, TabWalksTheControlsInOrderFromTheListBox) {
    form.Show();
    ASSERT_TRUE(orvtest::WaitFor([&] { return GetFocus() == Seam::List1(form); }, 2000)) << "List1 has the focus when the window opens";
    struct Step {
        bool shift;
        ControlId focus;
    } steps[] = {
        {false, form1::kCmdAdd}, {false, form1::kCmdClipboard}, {false, form1::kCmdSave},
        {false, form1::kCmdHelp}, {false, form1::kList1},       {true, form1::kCmdHelp},
        {true, form1::kCmdSave},
    };
    int n = 0;
    for (const Step& s : steps) {
        Press(VK_TAB, s.shift);
        EXPECT_EQ(Seam::Control(form, s.focus), GetFocus()) << "after key " << ++n << (s.shift ? " (Shift+Tab)" : " (Tab)")
                                                      << ": focus on id " << GetDlgCtrlID(GetFocus());
    }
}

TEST_F(Form1Layout, EnterAndEscapePressNoButtonButSpaceDoes) {
    form.Show();
    ASSERT_TRUE(orvtest::WaitFor([&] { return GetFocus() == Seam::List1(form); }, 2000));
    Seam::Builder(form).table().Reset();
    Seam::Builder(form).table().AddListEntry(L"Ann", L"", L"", L"ann@example.com", form);
    ASSERT_TRUE(orvtest::SetClipboardText(nullptr, L"untouched"));
    simclient::ClearLog();

    Press(VK_RETURN);
    Press(VK_ESCAPE);
    EXPECT_TRUE(form.IsLoaded()) << "Escape doesn't close the window";
    EXPECT_TRUE(IsWindowVisible(form.hWnd()));
    EXPECT_EQ(L"untouched", ClipboardText());
    EXPECT_EQ(std::wstring::npos, simclient::Log().find(L"AddressBook")) << simclient::Log();
    EXPECT_TRUE(boxes.Seen().empty());

    // The keys do reach the window: Space on the focused button presses it.
    Press(VK_TAB);
    Press(VK_TAB);
    ASSERT_EQ(Seam::Control(form, form1::kCmdClipboard), GetFocus());
    Press(VK_SPACE);
    EXPECT_EQ(L"ann@example.com Ann\r\n", ClipboardText());
}

TEST_F(Form1Layout, ScreenshotShowsEveryCaptionWhole) {
    form.Show();
    Seam::Builder(form).table().Reset();
    form.ClearList();
    const wchar_t* people[][2] = {{L"Ann Lee", L"ann@example.com"}, {L"Bo Chan", L"bo@example.org"}};
    for (auto& p : people) Seam::Builder(form).table().AddListEntry(p[0], L"", L"", p[1], form);
    orvtest::Pump(300);
    std::wstring dir = orvtest::BuildPath(L"artifacts");
    CreateDirectoryW(dir.c_str(), nullptr);
    EXPECT_TRUE(desktop::SaveBitmap(desktop::Screenshot(form.hWnd()), dir + L"\\form1.bmp"));
    EXPECT_EQ(2, SendMessageW(Seam::List1(form), LB_GETCOUNT, 0, 0));
    // Each button's caption fits inside the button's edges, wrapped onto lines where it must.
    for (ControlId id : {form1::kCmdAdd, form1::kCmdClipboard, form1::kCmdSave, form1::kCmdHelp}) {
        HWND b = Seam::Control(form, id);
        EXPECT_TRUE(GetWindowLongW(b, GWL_STYLE) & BS_MULTILINE);
        RECT r{};
        GetClientRect(b, &r);
        InflateRect(&r, -3, -3);
        RECT needed = WrappedText(b, orvtest::WindowText(b), r.right - r.left);
        EXPECT_LE(needed.right - needed.left, r.right - r.left) << "caption of control " << id;
        EXPECT_LE(needed.bottom - needed.top, r.bottom - r.top) << "caption of control " << id;
    }
}

}  // namespace
