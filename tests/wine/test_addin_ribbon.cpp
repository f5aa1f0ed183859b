// The installed add-in in a mail client of 2010 or later, which has a ribbon instead of visible
// command bars: what start-up does (and doesn't), the ribbon document, the button's callback by
// name, the window it opens through either address book, a connection that lasts, and
// shutdown, disconnection and the client's fast exit. Clients up to 2007 keep the command bars.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bstr.h"
#include "clipboard_files.h"
#include "dispatch.h"
#include "form1_layout.h"
#include "ribbon.h"
#include "sim_client.h"
#include "utf8.h"
#include "wine_test.h"
#include "winhelp_catcher.h"
#include "without_cdo.h"
#include "without_help_file.h"

namespace {

using orvtest::Contains;
using orvtest::Count;
using Microsoft::WRL::ComPtr;
using orv::Variant;

const wchar_t kProgId[] = L"ORVALISutility.Addin";
const std::wstring kAddIn = L"AddIn[ORVALISutility.Addin].";
const wchar_t kButton[] = L"OrvalisButton";
const wchar_t kExplorer[] = L"Microsoft.Outlook.Explorer";

// A client of that version, with one person to pick.
std::wstring Scenario(const std::wstring& version) {
    return L"{\"outlook\":{\"version\":\"" + version + L"\"},\"host\":{},"
           L"\"cdo\":{\"directory\":[{\"id\":\"ann\",\"name\":\"Ann Lee\",\"type\":\"SMTP\",\"address\":\"ann@example.com\"}],"
           L"\"picks\":[[\"ann\"],[\"ann\"],[\"ann\"]]}}";
}

// The host's calls to the installed add-in, its switch-offs and its own notes, since the last look.
std::vector<std::wstring> AddinCalls(size_t* seen) {
    const std::vector<std::wstring> log = simclient::SplitLines(simclient::Log());
    std::vector<std::wstring> calls;
    for (size_t i = *seen; i < log.size(); ++i)
        if (log[i].rfind(kAddIn, 0) == 0 || log[i].rfind(L"COMAddIn[ORVALISutility.Addin].Connect", 0) == 0 ||
            log[i].rfind(L"Host: ", 0) == 0)
            calls.push_back(log[i]);
    *seen = log.size();
    return calls;
}

// Every log line since the last look that contains part.
std::vector<std::wstring> LinesWith(const std::wstring& part) {
    std::vector<std::wstring> found;
    for (const auto& line : simclient::SplitLines(simclient::Log()))
        if (Contains(line, part)) found.push_back(line);
    return found;
}

bool Connected() {
    for (const auto& a : simclient::HostAddIns())
        if (a.progId == kProgId) return a.connected;
    return false;
}

HWND Window() { return FindWindowW(form1::kWindowClass, form1::kCaption); }

const std::vector<std::wstring> kRibbonStartup = {
    kAddIn + L"Create()",
    kAddIn + L"OnConnection(mode 1)",
    kAddIn + L"QueryInterface(IRibbonExtensibility)",
    kAddIn + L"GetCustomUI(\"Microsoft.Outlook.Explorer\")",
    L"Host: the ribbon of AddIn[ORVALISutility.Addin] for \"Microsoft.Outlook.Explorer\": 1 tab, 1 group, 1 button, 1 checkBox, "
    L"1 dropDown (OrvalisButton, OrvalisExpandNested, OrvalisListFormat)",
    // The options' controls ask for their state as the ribbon is first shown.
    kAddIn + L"GetIDsOfNames(\"GetOrvalisExpandNested\")",
    kAddIn + L"Invoke(1002 \"GetOrvalisExpandNested\", DISPATCH_METHOD, RibbonControl[OrvalisExpandNested])",
    kAddIn + L"GetIDsOfNames(\"GetOrvalisListFormat\")",
    kAddIn + L"Invoke(1004 \"GetOrvalisListFormat\", DISPATCH_METHOD, RibbonControl[OrvalisListFormat])",
    kAddIn + L"OnStartupComplete()",
};

class AddinRibbon : public testing::Test {
protected:
    void TearDown() override {
        if (Connected()) simclient::HostShutdown();
        simclient::LoadScenario(L"{\"host\":{}}");
        EXPECT_EQ(nullptr, Window()) << "the window outlived the test";
        if (!createdApp_) {
            EXPECT_EQ(L"", simclient::LiveReport()) << "stand-in objects outlived the test";
        }
    }
    void Start(const std::wstring& version) {
        simclient::LoadScenario(Scenario(version));
        simclient::ClearLog();
        seen_ = 0;
        simclient::HostStartup();
    }
    orvtest::DialogWatcher dialogs_;
    orvtest::WinHelpCatcher help_;
    size_t seen_ = 0;
    bool createdApp_ = false;
};

// Every connect mode on this path does the same: keep the application, and nothing else.
TEST_F(AddinRibbon, From2010StartUpAsksNothingOfTheClientButItsVersion) {
    for (const wchar_t* version : {L"14.0.0.4760", L"15.0.0.4420", L"16.0.0.4266"}) {
        Start(version);
        EXPECT_EQ(kRibbonStartup, AddinCalls(&seen_)) << version;
        EXPECT_TRUE(Connected()) << version << ": the add-in stays connected";
        // The add-in's calls to the client: its version only. No command bars, no application
        // of its own, no window, no help.
        std::vector<std::wstring> asked;
        for (const auto& line : simclient::SplitLines(simclient::Log()))
            if (line.rfind(L"AddIn[", 0) != 0 && line.rfind(L"Host", 0) != 0) asked.push_back(line);
        EXPECT_EQ(std::vector<std::wstring>{L"Application.Version()"}, asked) << version;
        EXPECT_EQ(nullptr, Window()) << version << ": no window at start-up";
        EXPECT_TRUE(help_.Requests().empty()) << version << ": no help at start-up";
        EXPECT_FALSE(Contains(simclient::HostLayout(), L"Orvalis")) << version;
        simclient::HostShutdown();
        EXPECT_EQ((std::vector<std::wstring>{kAddIn + L"OnBeginShutdown()", kAddIn + L"OnDisconnection(mode 0)"}),
                  AddinCalls(&seen_))
            << version;
    }
}

TEST_F(AddinRibbon, OtherConnectModesOnTheRibbonPathDoTheSame) {
    for (long mode : {0L, 2L, 3L}) {
        simclient::LoadScenario(Scenario(L"16.0.0.0"));
        ComPtr<IUnknown> addin = orv::CreateObject(kProgId);
        simclient::ClearLog();
        ASSERT_EQ(S_OK, simclient::HostAddAddIn(addin.Get(), L"Orvalis Outlook DL Utility", kProgId, mode)) << mode;
        EXPECT_EQ(nullptr, Window()) << "mode " << mode << " shows no window";
        EXPECT_TRUE(help_.Requests().empty()) << mode;
        EXPECT_EQ(0u, LinesWith(L"CommandBars").size()) << mode;
        EXPECT_EQ(1u, LinesWith(L"GetCustomUI(\"Microsoft.Outlook.Explorer\")").size()) << mode;
        addin.Reset();
        simclient::HostShutdown();
    }
}

TEST_F(AddinRibbon, TheDocumentPutsOneButtonInAGroupOnTheHomeTab) {
    Start(L"16.0.0.0");
    // The host has read the document with an XML parser; this is what it found.
    const auto buttons = simclient::HostRibbon();
    ASSERT_EQ(1u, buttons.size());
    const auto& b = buttons[0];
    EXPECT_EQ(kProgId, b.progId);
    EXPECT_EQ(L"idMso", b.tabBy);
    EXPECT_EQ(L"TabMail", b.tab);
    EXPECT_EQ(L"id", b.groupBy);
    EXPECT_EQ(L"Orvalis", b.groupLabel);
    const std::map<std::wstring, std::wstring> expected = {
        {L"id", kButton},
        {L"label", L"Orvalis"},
        {L"size", L"large"},
        {L"screentip", L"Orvalis DL Utility"},
        {L"supertip", L"Builds a subscriber list for a mailing-list server from the people and distribution lists you "
                      L"pick in the address book."},
        {L"imageMso", L"AddressBook"},
        {L"onAction", L"OnOrvalisButton"},
    };
    EXPECT_EQ(expected, b.attributes);

    const std::wstring document = simclient::HostGetCustomUI(kProgId, kExplorer);
    EXPECT_TRUE(Contains(document, L"<customUI xmlns=\"http://schemas.microsoft.com/office/2009/07/customui\">")) << sim::Narrow(document);
    // The inspectors' ribbons stay as they are; so does an id that differs in case only.
    for (const wchar_t* other : {L"Microsoft.Outlook.Mail.Read", L"Microsoft.Outlook.Mail.Compose",
                                 L"Microsoft.Outlook.Appointment", L"microsoft.outlook.explorer", L""})
        EXPECT_EQ(L"", simclient::HostGetCustomUI(kProgId, other)) << sim::Narrow(other);
}

// A click reaches the callback by name; the window then opens, takes the client's trusted
// application to its address book, and closes without taking the add-in off the ribbon.
TEST_F(AddinRibbon, TheButtonOpensTheWindowAgainAndAgainAndTheAddInStaysConnected) {
    const struct {
        const char* label;
        bool cdo;
        const wchar_t* loaded;  // the load step's first call
        const wchar_t* unloaded;  // the unload step's only call ("" for none)
    } rows[] = {
        {"CDO", true, L"CreateInstance MAPI.Session", L"Session.Logoff()"},
        {"the client's own address book", false, L"Application.GetNamespace(BSTR \"MAPI\")", L""},
    };
    for (const auto& row : rows) {
        std::unique_ptr<orvtest::WithoutCdo> withoutCdo;
        if (!row.cdo) withoutCdo = std::make_unique<orvtest::WithoutCdo>();
        Start(L"16.0.0.0");
        AddinCalls(&seen_);
        simclient::ClearLog();
        seen_ = 0;

        simclient::HostRibbonClick(kButton);
        EXPECT_EQ((std::vector<std::wstring>{kAddIn + L"GetIDsOfNames(\"OnOrvalisButton\")",
                                             kAddIn + L"Invoke(1001 \"OnOrvalisButton\", DISPATCH_METHOD, RibbonControl[OrvalisButton])"}),
                  AddinCalls(&seen_))
            << row.label;
        ASSERT_NE(nullptr, Window()) << row.label;
        EXPECT_TRUE(IsWindowVisible(Window())) << row.label;
        EXPECT_EQ(1u, LinesWith(row.loaded).size()) << row.label << "\n" << simclient::Log();
        EXPECT_EQ(0u, LinesWith(L"CreateInstance Outlook.Application").size()) << row.label << ": no application of its own";

        // Shown: a second click brings it to the front and loads nothing.
        simclient::ClearLog();
        seen_ = 0;
        simclient::HostRibbonClick(kButton);
        EXPECT_EQ(0u, LinesWith(row.loaded).size()) << row.label;
        EXPECT_EQ(Window(), GetForegroundWindow()) << row.label;

        // Everything else of the window is as ever.
        SendMessageW(FindWindowExW(Window(), nullptr, L"Button", L"Create List"), BM_CLICK, 0, 0);
        HWND list = FindWindowExW(Window(), nullptr, L"ListBox", nullptr);
        ASSERT_EQ(1, SendMessageW(list, LB_GETCOUNT, 0, 0)) << row.label;

        simclient::ClearLog();
        seen_ = 0;
        SendMessageW(Window(), WM_CLOSE, 0, 0);
        EXPECT_EQ(nullptr, Window()) << row.label;
        EXPECT_EQ(std::vector<std::wstring>{}, AddinCalls(&seen_)) << row.label << ": closing the window keeps the connection";
        EXPECT_TRUE(Connected()) << row.label;
        EXPECT_EQ(0u, LinesWith(L"COMAddIns").size()) << row.label;
        if (*row.unloaded) {
            EXPECT_EQ(1u, LinesWith(row.unloaded).size()) << row.label;
        }

        simclient::HostRibbonClick(kButton);
        ASSERT_NE(nullptr, Window()) << row.label << ": a click after the close opens it again";
        EXPECT_TRUE(IsWindowVisible(Window())) << row.label;
        EXPECT_EQ(1u, LinesWith(row.loaded).size()) << row.label << ": loaded anew";

        simclient::ClearLog();
        seen_ = 0;
        simclient::HostShutdown();
        EXPECT_EQ((std::vector<std::wstring>{kAddIn + L"OnBeginShutdown()", kAddIn + L"OnDisconnection(mode 0)"}),
                  AddinCalls(&seen_))
            << row.label;
        EXPECT_EQ(nullptr, Window()) << row.label << ": shutdown closes the window";
        if (*row.unloaded) {
            EXPECT_EQ(1u, LinesWith(row.unloaded).size()) << row.label;
        }
        EXPECT_EQ(L"", simclient::LiveReport()) << row.label << ": nothing of the client or the address book is held";
    }
}

// The user unticking the add-in, or the reset program, switches it off: the window closes and
// every reference goes with it.
TEST_F(AddinRibbon, DisconnectionClosesTheWindowAndLetsGoOfEverything) {
    Start(L"16.0.0.0");
    simclient::HostRibbonClick(kButton);
    ASSERT_NE(nullptr, Window());
    SendMessageW(FindWindowExW(Window(), nullptr, L"Button", L"Create List"), BM_CLICK, 0, 0);
    simclient::ClearLog();
    seen_ = 0;
    ComPtr<IDispatch> app = orv::QueryAs<IDispatch>(orv::CreateObject(L"Outlook.Application").Get(), IID_IDispatch);
    orv::Put(orv::GetObj(orv::GetObj(app.Get(), L"COMAddIns").Get(), L"Item", {Variant::Str(kProgId)}).Get(), L"Connect",
             Variant::Bool(false));
    app.Reset();
    EXPECT_EQ((std::vector<std::wstring>{L"COMAddIn[ORVALISutility.Addin].Connect() = BOOL False", kAddIn + L"OnDisconnection(mode 1)"}),
              AddinCalls(&seen_));
    EXPECT_FALSE(Connected());
    EXPECT_EQ(nullptr, Window());
    EXPECT_EQ(1u, LinesWith(L"Session.Logoff()").size());
    EXPECT_EQ(0, simclient::LiveObjects(L"Recipients")) << "the last selection is let go too\n" << simclient::LiveReport();
    simclient::HostShutdown();
}

// Current clients may end without telling their add-ins: the process simply ends, with the
// window open, and nothing of the add-in stands in the way.
TEST_F(AddinRibbon, TheClientsFastExitWithTheWindowOpenEndsCleanly) {
    std::wstring dir = orvtest::ScratchDir(L"ribbon_fast_exit");
    std::wstring log = dir + L"\\log.txt", scenario = dir + L"\\scenario.json";
    orvtest::WriteBytes(scenario, sim::Narrow(Scenario(L"16.0.0.0")));
    SetEnvironmentVariableW(L"ORVALIS_SIM_LOG", log.c_str());
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", scenario.c_str());
    std::string output;
    const DWORD code = orvtest::RunProcess(L"\"" + orvtest::BuildPath(L"sim\\host\\OrvalisHost.exe") +
                                               L"\" startup ribbon-click OrvalisButton pump 300 fast-exit",
                                           output, 60000);
    SetEnvironmentVariableW(L"ORVALIS_SIM_LOG", nullptr);
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", nullptr);
    EXPECT_EQ(0u, code) << output;
    EXPECT_EQ("startup: ok\nribbon-click OrvalisButton: ok\npump 300: ok\nfast-exit: ending now\n", output);
    const std::wstring text = orvtest::FileText(log);
    EXPECT_TRUE(Contains(text, L"Session.Logon(")) << sim::Narrow(text);
    EXPECT_FALSE(Contains(text, L"OnBeginShutdown")) << sim::Narrow(text);
    EXPECT_TRUE(Contains(text, L"Host.FastExit()\n")) << sim::Narrow(text);
}

// The callback as any automation client may call it: by name in any case, and with wrong
// arguments, which fail cleanly; the contract's operations keep their names and ids.
TEST_F(AddinRibbon, TheCallbackAnswersItsNameAndRefusesWrongArguments) {
    simclient::LoadScenario(Scenario(L"16.0.0.0"));
    ComPtr<IDispatch> addin = orv::QueryAs<IDispatch>(orv::CreateObject(kProgId).Get(), IID_IDispatch);
    auto idOf = [&](const wchar_t* name, DISPID* id) {
        auto* n = const_cast<LPOLESTR>(name);
        return addin->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, id);
    };
    const struct {
        const wchar_t* name;
        HRESULT hr;
        DISPID id;
    } names[] = {
        {L"OnOrvalisButton", S_OK, 1001},      {L"onorvalisbutton", S_OK, 1001}, {L"OnConnection", S_OK, 1},
        {L"OnBeginShutdown", S_OK, 5},         {L"OnOrvalisButtons", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
        {L"GetCustomUI", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
    };
    for (const auto& row : names) {
        DISPID id = 12345;
        EXPECT_EQ(row.hr, idOf(row.name, &id)) << sim::Narrow(row.name);
        EXPECT_EQ(row.id, id) << sim::Narrow(row.name);
    }
    // With a named argument the callback's own id comes back, the argument's name doesn't.
    LPOLESTR twoNames[] = {const_cast<LPOLESTR>(L"OnOrvalisButton"), const_cast<LPOLESTR>(L"control")};
    DISPID twoIds[2] = {0, 0};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, addin->GetIDsOfNames(IID_NULL, twoNames, 2, LOCALE_USER_DEFAULT, twoIds));
    EXPECT_EQ(1001, twoIds[0]);
    EXPECT_EQ(DISPID_UNKNOWN, twoIds[1]);

    ComPtr<IDispatch> someObject = orv::QueryAs<IDispatch>(orv::CreateObject(L"Outlook.Application").Get(), IID_IDispatch);
    const struct {
        const char* label;
        WORD flags;
        std::vector<Variant> args;
        bool named;
        HRESULT hr;
        UINT argErr;
    } calls[] = {
        {"no argument", DISPATCH_METHOD, {}, false, DISP_E_BADPARAMCOUNT, 99},
        {"two arguments", DISPATCH_METHOD, {Variant::Object(someObject.Get()), Variant::Object(someObject.Get())}, false,
         DISP_E_BADPARAMCOUNT, 99},
        {"a string", DISPATCH_METHOD, {Variant::Str(L"OrvalisButton")}, false, DISP_E_TYPEMISMATCH, 0},
        {"Nothing", DISPATCH_METHOD, {Variant::Object(nullptr)}, false, DISP_E_TYPEMISMATCH, 0},
        {"a named argument", DISPATCH_METHOD, {Variant::Object(someObject.Get())}, true, DISP_E_NONAMEDARGS, 99},
        {"a property get", DISPATCH_PROPERTYGET, {Variant::Object(someObject.Get())}, false, DISP_E_MEMBERNOTFOUND, 99},
    };
    for (const auto& c : calls) {
        std::vector<VARIANT> raw;
        for (const auto& a : c.args) raw.push_back(a.get());
        DISPID named = 0;
        DISPPARAMS dp{raw.empty() ? nullptr : raw.data(), c.named ? &named : nullptr, static_cast<UINT>(raw.size()),
                      c.named ? 1u : 0u};
        EXCEPINFO ei{};
        UINT argErr = 99;
        Variant result;
        EXPECT_EQ(c.hr, addin->Invoke(1001, IID_NULL, LOCALE_USER_DEFAULT, c.flags, &dp, result.put(), &ei, &argErr)) << c.label;
        EXPECT_EQ(c.argErr, argErr) << c.label;
    }
    EXPECT_EQ(nullptr, Window()) << "no wrong call opened the window";
    someObject.Reset();
    addin.Reset();
}

// Last: the command-bar path makes an application object of its own that the library keeps,
// which the tests before it check the ribbon path never makes.
TEST_F(AddinRibbon, ClientsUpTo2007KeepTheCommandBars) {
    // Its help through WinHelp, as where the compiled help isn't beside the add-in.
    orvtest::WithoutHelpFile withoutHelpFile;
    ASSERT_TRUE(withoutHelpFile.ok()) << sim::Narrow(withoutHelpFile.error());
    size_t helpSeen = 0;
    for (const wchar_t* version : {L"9.0.0.2711", L"11.0.0.8312", L"12.0.0.6423", L"13"}) {
        Start(version);
        EXPECT_EQ((std::vector<std::wstring>{kAddIn + L"Create()", kAddIn + L"OnConnection(mode 1)", kAddIn + L"OnStartupComplete()",
                                             L"COMAddIn[ORVALISutility.Addin].Connect() = BOOL False",
                                             kAddIn + L"OnDisconnection(mode 1)"}),
                  AddinCalls(&seen_))
            << version;
        EXPECT_EQ(1u, LinesWith(L"Application.Version()").size()) << version << ": read once, at the connection";
        EXPECT_EQ(0u, LinesWith(L"IRibbonExtensibility").size()) << version;
        ASSERT_EQ(helpSeen + 1, help_.Requests().size()) << version;
        EXPECT_EQ(1200, help_.Requests()[helpSeen].data) << version;
        helpSeen = help_.Requests().size();
        const std::wstring layout = simclient::HostLayout();
        EXPECT_TRUE(Contains(layout, L"  Find\n  Orvalis\n")) << version << "\n" << layout;
        EXPECT_TRUE(Contains(layout, L"    &Options...\n    &Orvalis Utility\n")) << version << "\n" << layout;
        EXPECT_NE(nullptr, Window()) << version << ": loaded hidden at start-up";
        simclient::HostClick(L"Standard/Orvalis");
        EXPECT_TRUE(IsWindowVisible(Window())) << version;
        simclient::HostShutdown();
    }
    // DisconnectSelf's own application lives as long as the library: the one object left.
    EXPECT_EQ(1, simclient::LiveObjects(L"Application")) << simclient::LiveReport();
    createdApp_ = true;
}

}  // namespace
