// The installed add-in through a whole run of the mail-client stand-in: the host creates it
// from its registry entry, and start-up, clicks, closing the window and shutdown each connect
// and disconnect it as the user would see them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "form1_layout.h"
#include "sim_client.h"
#include "wine_test.h"
#include "utf8.h"
#include "winhelp_catcher.h"
#include "without_help_file.h"

namespace {

// The host's calls to the installed add-in, and its switch-offs, in order since the last look.
std::vector<std::wstring> AddinCalls(size_t* seen) {
    const std::vector<std::wstring> log = simclient::SplitLines(simclient::Log());
    std::vector<std::wstring> calls;
    for (size_t index = *seen; index < log.size(); ++index) {
        const std::wstring& line = log[index];
        if (line.rfind(L"AddIn[ORVALISutility.Addin]", 0) == 0 || line.rfind(L"COMAddIn[ORVALISutility.Addin].Connect", 0) == 0 ||
            line.rfind(L"Host: ", 0) == 0)
            calls.push_back(line);
    }
    *seen = log.size();
    return calls;
}

bool Connected() {
    for (const auto& a : simclient::HostAddIns())
        if (a.progId == L"ORVALISutility.Addin") return a.connected;
    return false;
}

HWND Window() { return FindWindowW(form1::kWindowClass, form1::kCaption); }

void ExpectNoHostObjectsHeld(const char* when) {
    for (const wchar_t* kind : {L"Explorer", L"CommandBars", L"CommandBar", L"Controls", L"Control", L"COMAddIns", L"COMAddIn"})
        EXPECT_EQ(0, simclient::LiveObjects(kind)) << when << ": " << testing::PrintToString(kind) << "\n"
                                                   << simclient::LiveReport();
}

TEST(AddinLifecycle, StartupClickCloseClickAndShutdownWithTheWindowOpen) {
    orvtest::DialogWatcher dialogs;
    orvtest::WinHelpCatcher help;
    // Its help through WinHelp, as where the compiled help isn't beside the add-in.
    orvtest::WithoutHelpFile withoutHelpFile;
    ASSERT_TRUE(withoutHelpFile.ok()) << sim::Narrow(withoutHelpFile.error());
    simclient::LoadScenario(LR"({"host":{}})");
    simclient::ClearLog();
    size_t seen = 0;
    const std::wstring a = L"AddIn[ORVALISutility.Addin].";

    simclient::HostStartup();
    EXPECT_EQ((std::vector<std::wstring>{a + L"Create()", a + L"OnConnection(mode 1)", a + L"OnStartupComplete()",
                                         L"COMAddIn[ORVALISutility.Addin].Connect() = BOOL False",
                                         a + L"OnDisconnection(mode 1)"}),
              AddinCalls(&seen));
    EXPECT_FALSE(Connected());
    ASSERT_EQ(1u, help.Requests().size());
    EXPECT_EQ(8u, help.Requests()[0].command);
    EXPECT_EQ(1200, help.Requests()[0].data);
    std::wstring layout = simclient::HostLayout();
    EXPECT_NE(std::wstring::npos, layout.find(L"    &Options...\n    &Orvalis Utility\n")) << layout;
    EXPECT_NE(std::wstring::npos, layout.find(L"  Find\n  Orvalis\n")) << layout;
    ASSERT_NE(nullptr, Window()) << "loaded at start-up";
    EXPECT_FALSE(IsWindowVisible(Window())) << "hidden until a click";
    ExpectNoHostObjectsHeld("after start-up");

    // The button's action string spells the ProgID in another case; the host still finds us.
    simclient::HostClick(L"Standard/Orvalis");
    EXPECT_EQ((std::vector<std::wstring>{a + L"Create()", a + L"OnConnection(mode 0)"}), AddinCalls(&seen));
    EXPECT_TRUE(Connected());
    EXPECT_TRUE(IsWindowVisible(Window()));
    EXPECT_EQ(1u, help.Requests().size()) << "no help on a demand load";

    PostMessageW(Window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(orvtest::WaitFor([] { return Window() == nullptr; }));
    EXPECT_EQ((std::vector<std::wstring>{L"COMAddIn[ORVALISutility.Addin].Connect() = BOOL False", a + L"OnDisconnection(mode 1)"}),
              AddinCalls(&seen));
    EXPECT_FALSE(Connected());
    ExpectNoHostObjectsHeld("after closing the window");

    simclient::HostClick(L"Menu Bar/&Tools/&Orvalis Utility");
    EXPECT_EQ((std::vector<std::wstring>{a + L"Create()", a + L"OnConnection(mode 0)"}), AddinCalls(&seen));
    ASSERT_NE(nullptr, Window()) << "loaded anew";
    EXPECT_TRUE(IsWindowVisible(Window()));

    // Shutdown with the window open: its unload step switches the add-in off from inside
    // OnBeginShutdown, so the host has no OnDisconnection(0) left to send.
    simclient::HostShutdown();
    EXPECT_EQ((std::vector<std::wstring>{a + L"OnBeginShutdown()", L"COMAddIn[ORVALISutility.Addin].Connect() = BOOL False",
                                         a + L"OnDisconnection(mode 1)"}),
              AddinCalls(&seen));
    EXPECT_EQ(nullptr, Window());
    EXPECT_EQ(0, simclient::LiveObjects(L"Session")) << "the window's session went with it";
    ExpectNoHostObjectsHeld("after shutdown");
    EXPECT_EQ(std::wstring::npos, simclient::Log().find(L"failed")) << simclient::Log();
}

}  // namespace
