// The installed add-in's help: HTML Help where the compiled help is beside the library and
// hhctrl.ocx loads from the system folder (the start-up note as a text pop-up, the Help button
// at the contents, the controls naming the compiled help), WinHelp exactly as before where
// either is missing; a help call that fails fails nothing; the help windows close before the
// add-in lets go of hhctrl.ocx.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "clipboard_files.h"
#include "form1_layout.h"
#include "hhctrl_client.h"
#include "sim_client.h"
#include "utf8.h"
#include "wine_test.h"
#include "winhelp_catcher.h"
#include "without_help_file.h"

namespace {

using orvtest::Contains;

const wchar_t kStartupNote[] =
    L"Orvalis is ready. To build a subscriber list from names in the address book, click the Orvalis button on the "
    L"Standard toolbar, or choose Orvalis Utility on the Tools menu. To take them out of Outlook again, run Remove "
    L"Orvalis from Outlook from the Start menu.";
const std::wstring kWindow = L"HWND OrvalisForm1 \"Orvalis Address Book Utility\"";
const std::wstring kCloseAll = L"HtmlHelp.HtmlHelpW(HWND NULL, NULL, HH_CLOSE_ALL, 0)";

std::wstring Scenario(const std::wstring& version, const std::wstring& faults = L"") {
    return L"{\"outlook\":{\"version\":\"" + version + L"\"},\"host\":{}" + (faults.empty() ? L"" : L",\"faults\":" + faults) +
           L",\"cdo\":{\"directory\":[{\"id\":\"ann\",\"name\":\"Ann Lee\",\"type\":\"SMTP\",\"address\":\"ann@example.com\"}],"
           L"\"picks\":[[\"ann\"]]}}";
}

HWND Window() { return FindWindowW(form1::kWindowClass, form1::kCaption); }

void PressHelp() { SendMessageW(FindWindowExW(Window(), nullptr, L"Button", L"Help"), BM_CLICK, 0, 0); }

// The HtmlHelp lines of the log since the last look.
std::vector<std::wstring> NewHelpCalls(size_t* seen) {
    const auto all = simclient::HtmlHelpCalls();
    std::vector<std::wstring> fresh(all.begin() + static_cast<long>(std::min(*seen, all.size())), all.end());
    *seen = all.size();
    return fresh;
}

// The start-up pop-up's line: the note from the library's string table, its top centre a third
// of the way down the hidden window it stands over.
std::wstring StartupPopup(HWND form) {
    RECT r{};
    GetWindowRect(form, &r);
    const long x = r.left + (r.right - r.left) / 2, y = r.top + (r.bottom - r.top) / 3;
    return L"HtmlHelp.HtmlHelpW(" + kWindow + L", NULL, HH_DISPLAY_TEXT_POPUP, HH_POPUP{string=OrvalisAddin.dll#2 \"" +
           kStartupNote + L"\", pt=(" + std::to_wstring(x) + L"," + std::to_wstring(y) + L")})";
}

std::wstring ControlHelpFile(const std::wstring& path) { return simclient::HostControl(path)[L"HelpFile"]; }

class HtmlHelp : public testing::Test {
protected:
    void TearDown() override {
        simclient::HostShutdown();
        simclient::LoadScenario(L"{\"host\":{}}");
        EXPECT_EQ(nullptr, Window());
        EXPECT_TRUE(simclient::HelpWindows().empty()) << "a help window outlived the test";
        for (const auto& line : simclient::HtmlHelpCalls())
            EXPECT_FALSE(Contains(line, L"unloaded with")) << sim::Narrow(line);
        simclient::RestoreHtmlHelp();
    }
    orvtest::DialogWatcher dialogs_;
    orvtest::WinHelpCatcher winHelp_;
    size_t seen_ = 0;
};

// Start-up, a click, Help, closing the window, a click, Help, shutdown with the help open.
TEST_F(HtmlHelp, WithTheCompiledHelpEveryHelpGoesThroughHtmlHelp) {
    simclient::LoadScenario(Scenario(L"11.0.0.8312"));
    simclient::ClearLog();
    simclient::HostStartup();
    ASSERT_NE(nullptr, Window());
    EXPECT_EQ(std::vector<std::wstring>{StartupPopup(Window())}, NewHelpCalls(&seen_));
    const auto windows = simclient::HelpWindows();
    ASSERT_EQ(1u, windows.size());
    EXPECT_TRUE(windows[0].popup);
    EXPECT_EQ(kStartupNote, windows[0].text);
    EXPECT_EQ(Window(), windows[0].owner);
    for (const wchar_t* control : {L"Standard/Orvalis", L"Menu Bar/&Tools/&Orvalis Utility"}) {
        EXPECT_EQ(orvtest::CompiledHelpPath(), ControlHelpFile(control)) << sim::Narrow(control);
        EXPECT_EQ(L"1100", simclient::HostControl(control)[L"HelpContextId"]) << sim::Narrow(control);
    }
    EXPECT_EQ(1u, simclient::HelpWindows().size()) << "the pop-up outlasts the add-in's leaving after start-up";

    simclient::HostClick(L"Standard/Orvalis");
    ASSERT_TRUE(IsWindowVisible(Window()));
    PressHelp();
    EXPECT_EQ(std::vector<std::wstring>{L"HtmlHelp.HtmlHelpW(" + kWindow + L", \"" + orvtest::CompiledHelpPath() +
                                        L"\", HH_DISPLAY_TOC, NULL)"},
              NewHelpCalls(&seen_));
    SendMessageW(Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(std::vector<std::wstring>{kCloseAll}, NewHelpCalls(&seen_)) << "the help goes with the window";
    EXPECT_TRUE(simclient::HelpWindows().empty());

    simclient::HostClick(L"Standard/Orvalis");
    PressHelp();
    EXPECT_EQ(1u, NewHelpCalls(&seen_).size());
    EXPECT_EQ(1u, simclient::HelpWindows().size());
    simclient::HostShutdown();
    EXPECT_EQ(std::vector<std::wstring>{kCloseAll}, NewHelpCalls(&seen_)) << "and at shutdown";
    EXPECT_TRUE(winHelp_.Requests().empty()) << "no WinHelp call at all";
}

// Where HTML Help doesn't serve, the help is what it has always been: WinHelp, "orvalis.hlp".
TEST_F(HtmlHelp, WithoutTheCompiledHelpOrHhctrlTheHelpIsWinHelp) {
    const struct {
        const char* label;
        bool removeFile, removeControl, damageControl;
    } rows[] = {
        {"no compiled help beside the library", true, false, false},
        {"no hhctrl.ocx in the system folder", false, true, false},
        {"an hhctrl.ocx that doesn't load", false, false, true},
    };
    for (const auto& row : rows) {
        std::unique_ptr<orvtest::WithoutHelpFile> withoutFile;
        if (row.removeFile) withoutFile = std::make_unique<orvtest::WithoutHelpFile>();
        if (row.removeControl) simclient::RemoveHtmlHelp();
        if (row.damageControl) simclient::DamageHtmlHelp();
        simclient::LoadScenario(Scenario(L"11.0.0.8312"));
        simclient::ClearLog();
        const size_t before = winHelp_.Requests().size();
        simclient::HostStartup();
        ASSERT_EQ(before + 1, winHelp_.Requests().size()) << row.label;
        const auto& popup = winHelp_.Requests()[before];
        EXPECT_EQ(8u, popup.command) << row.label;
        EXPECT_EQ(1200, popup.data) << row.label;
        EXPECT_EQ("orvalis.hlp", popup.file) << row.label;
        EXPECT_EQ(L"orvalis.hlp", ControlHelpFile(L"Standard/Orvalis")) << row.label;
        EXPECT_EQ(L"orvalis.hlp", ControlHelpFile(L"Menu Bar/&Tools/&Orvalis Utility")) << row.label;
        simclient::HostClick(L"Standard/Orvalis");
        PressHelp();
        EXPECT_EQ(std::vector<std::wstring>{}, simclient::HtmlHelpCalls()) << row.label;
        EXPECT_TRUE(dialogs_.Seen().empty()) << row.label;
        simclient::HostShutdown();
        simclient::RestoreHtmlHelp();
    }
}

// A help call that fails is no failure of the start-up or of the button that made it.
TEST_F(HtmlHelp, HtmlHelpThatAnswersFailureFailsNothing) {
    simclient::LoadScenario(Scenario(L"11.0.0.8312", L"[{\"object\":\"HtmlHelp\",\"member\":\"HtmlHelpW\"}]"));
    simclient::ClearLog();
    simclient::HostStartup();
    EXPECT_FALSE(Contains(simclient::Log(), L"failed")) << sim::Narrow(simclient::Log());
    EXPECT_EQ(1u, NewHelpCalls(&seen_).size());
    EXPECT_FALSE(simclient::HostControl(L"Standard/Orvalis").empty()) << "the start-up went on to install the button";
    simclient::HostClick(L"Standard/Orvalis");
    PressHelp();
    EXPECT_EQ(1u, NewHelpCalls(&seen_).size());
    EXPECT_TRUE(dialogs_.Seen().empty()) << sim::Narrow(dialogs_.Seen().empty() ? L"" : dialogs_.Seen()[0]);
    EXPECT_TRUE(winHelp_.Requests().empty()) << "no second try through WinHelp";
    EXPECT_TRUE(simclient::HelpWindows().empty());
}

// On the ribbon there is no start-up pop-up; the Help button and the close are as above.
TEST_F(HtmlHelp, OnTheRibbonTheHelpButtonOpensTheContentsAndTheCloseClosesIt) {
    simclient::LoadScenario(Scenario(L"16.0.0.4266"));
    simclient::ClearLog();
    simclient::HostStartup();
    EXPECT_EQ(std::vector<std::wstring>{}, NewHelpCalls(&seen_)) << "no help at start-up";
    simclient::HostRibbonClick(L"OrvalisButton");
    PressHelp();
    EXPECT_EQ(std::vector<std::wstring>{L"HtmlHelp.HtmlHelpW(" + kWindow + L", \"" + orvtest::CompiledHelpPath() +
                                        L"\", HH_DISPLAY_TOC, NULL)"},
              NewHelpCalls(&seen_));
    SendMessageW(Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(std::vector<std::wstring>{kCloseAll}, NewHelpCalls(&seen_));
    simclient::HostRibbonClick(L"OrvalisButton");
    PressHelp();
    EXPECT_EQ(1u, NewHelpCalls(&seen_).size());
    simclient::HostShutdown();
    EXPECT_EQ(std::vector<std::wstring>{kCloseAll}, NewHelpCalls(&seen_)) << "the help goes at shutdown too";
    EXPECT_TRUE(winHelp_.Requests().empty());
}

}  // namespace
