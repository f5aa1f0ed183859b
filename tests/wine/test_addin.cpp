// The connect class Addin, created in this program and connected by the mail-client stand-in:
// what each connect mode does, the exact calls that install the two controls, the failures
// that reach the host, and that every host reference goes at disconnection and shutdown.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Addin.h"
#include "Global.h"
#include "dispatch.h"
#include "form1.h"
#include "seam.h"
#include "server.h"
#include "sim_client.h"
#include "wine_test.h"
#include "winhelp_catcher.h"

namespace {

using orvtest::Contains;
using orvtest::Seam;
using Microsoft::WRL::ComPtr;

const wchar_t kDescription[] = L"Orvalis Outlook DL Utility";
const wchar_t kProgId[] = L"Orvalis.UnitUnderTest";

// The registry's entry for the installed add-in is listed under another description, so
// DisconnectSelf can only find the object a test lists itself.
std::wstring Scenario(const std::wstring& host) {
    return L"{\"host\":{" + host + (host.empty() ? L"" : L",") +
           L"\"addins\":[{\"progId\":\"ORVALISutility.Addin\",\"description\":\"Registered entry\"}]}}";
}

const std::wstring kMenuBar = LR"({"name":"Menu Bar","menuBar":true,"controls":[{"caption":"&Tools","type":10,"controls":[{"caption":"&Options..."}]}]})";

std::vector<std::wstring> LogLines(const std::wstring& containing) {
    std::vector<std::wstring> lines;
    for (auto& line : simclient::SplitLines(simclient::Log()))
        if (line.find(containing) != std::wstring::npos) lines.push_back(line);
    return lines;
}

// Adds and property puts: what the add-in changed in the host.
std::vector<std::wstring> Changes() {
    auto lines = LogLines(L"");
    std::vector<std::wstring> changes;
    for (auto& l : lines)
        if (l.find(L".Add(") != std::wstring::npos || l.find(L") = ") != std::wstring::npos) changes.push_back(l);
    return changes;
}

const std::vector<std::wstring> kButtonPuts(const std::wstring& control) {
    return {control + L".Caption() = BSTR \"Orvalis\"",
            control + L".Enabled() = BOOL True",
            control + L".Style() = I4 3",
            control + L".TooltipText() = BSTR \"Orvalis DL Utility\"",
            control + L".HelpFile() = BSTR \"orvalis.hlp\"",
            control + L".HelpContextId() = I4 1100",
            control + L".FaceId() = I4 5",
            control + L".OnAction() = BSTR \"!<OrvalisUtility.Addin>\""};
}

const std::vector<std::wstring> kItemPuts(const std::wstring& control) {
    return {control + L".Caption() = BSTR \"&Orvalis Utility\"",
            control + L".Enabled() = BOOL True",
            control + L".HelpContextId() = I4 1100",
            control + L".HelpFile() = BSTR \"orvalis.hlp\"",
            control + L".OnAction() = BSTR \"!<OrvalisUtility.Addin>\""};
}

std::vector<std::wstring> Join(std::initializer_list<std::vector<std::wstring>> parts) {
    std::vector<std::wstring> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

class AddinTest : public testing::Test {
protected:
    void SetUp() override { Load(L""); }
    void TearDown() override {
        if (Global::TheForm1().IsLoaded()) {
            try {
                Global::TheForm1().Unload();
            } catch (const orv::Error&) {
            }
        }
        addin_.Reset();
        Global::EmptyHostApp();
        simclient::LoadScenario(L"{\"host\":{}}");
        for (const wchar_t* kind : {L"Explorer", L"CommandBars", L"CommandBar", L"Controls", L"Control", L"COMAddIn"})
            EXPECT_EQ(0, simclient::LiveObjects(kind)) << kind << "\n" << simclient::LiveReport();
        EXPECT_EQ(0, server::ModuleLocks()) << "an Addin object outlived the test";
    }
    void Load(const std::wstring& host) {
        addin_.Reset();
        simclient::LoadScenario(Scenario(host));
        ASSERT_EQ(S_OK, Addin::Create(IID_IDTExtensibility2, reinterpret_cast<void**>(addin_.ReleaseAndGetAddressOf())));
        simclient::ClearLog();
    }
    // The host connects the object in this mode; returns OnConnection's result.
    HRESULT Connect(long mode) { return simclient::HostAddAddIn(addin_.Get(), kDescription, kProgId, mode); }
    Addin& Object() { return *static_cast<Addin*>(addin_.Get()); }

    orvtest::DialogWatcher dialogs_;
    orvtest::WinHelpCatcher help_;
    ComPtr<IDTExtensibility2> addin_;
    SAFEARRAY* custom_ = nullptr;
};

TEST_F(AddinTest, ModeZeroShowsTheWindowAndEveryOtherModeInstalls) {
    const struct {
        long mode;
        bool installs;
    } rows[] = {{0, false}, {1, true}, {2, true}, {3, true}, {7, true}};
    for (const auto& row : rows) {
        Load(L"");
        auto sentinel = orv::CreateObject(L"Outlook.Application", IID_IDispatch);
        Global::SetHostApp(orv::QueryAs<IDispatch>(sentinel.Get(), IID_IDispatch).Get());
        size_t helpBefore = help_.Requests().size();

        ASSERT_EQ(S_OK, Connect(row.mode)) << row.mode;
        EXPECT_TRUE(Global::TheForm1().IsLoaded()) << row.mode;
        EXPECT_EQ(!row.installs, IsWindowVisible(Global::TheForm1().hWnd()) != FALSE) << row.mode;
        ASSERT_EQ(helpBefore + (row.installs ? 1 : 0), help_.Requests().size()) << row.mode;
        if (row.installs) {
            const auto& r = help_.Requests().back();
            EXPECT_EQ(8u, r.command) << "HELP_CONTEXTPOPUP";
            EXPECT_EQ(1200, r.data);
            EXPECT_EQ("orvalis.hlp", r.file);
        }
        EXPECT_EQ(row.installs ? 4 : 0, Seam::HeldReferences(Object())) << row.mode;
        EXPECT_EQ(row.installs ? 2u : 0u, LogLines(L".Add(").size()) << row.mode;
        if (!row.installs) {
            EXPECT_EQ(sentinel.Get(), Global::hostApp()) << "hostApp untouched";
        }
        EXPECT_EQ(S_OK, addin_->OnDisconnection(ext_dm_UserClosed, &custom_));
        Global::TheForm1().Unload();
    }
}

TEST_F(AddinTest, InstallAddsTheButtonAndTheItemWithTheirPropertiesInOrder) {
    ASSERT_EQ(S_OK, Connect(1));
    // Default layout: Control[10] is "&Tools"; new controls are numbered from 23.
    EXPECT_EQ(Join({{L"Controls[Standard].Add(I4 1)"}, kButtonPuts(L"Control[23]"),
                    {L"Controls[10].Add(Type:=I4 1)"}, kItemPuts(L"Control[24]")}),
              Changes());
    EXPECT_TRUE(Contains(simclient::HostLayout(), L"  &Tools\n    &Address Book...\n    &Options...\n    &Orvalis Utility\n"))
        << simclient::HostLayout();
    EXPECT_TRUE(Contains(simclient::HostLayout(), L"  Find\n  Orvalis\nAdvanced")) << simclient::HostLayout();
    EXPECT_EQ(1, simclient::LiveObjects(L"CommandBars"));
    EXPECT_EQ(1, simclient::LiveObjects(L"CommandBar"));
    EXPECT_EQ(2, simclient::LiveObjects(L"Control"));
    EXPECT_EQ(S_OK, addin_->OnDisconnection(ext_dm_HostShutdown, &custom_));
}

TEST_F(AddinTest, ButtonPresenceDecidesWhatIsInstalled) {
    // Layouts are numbered depth first: "&Tools" is Control[1], "&Options..." Control[2].
    const struct {
        const wchar_t* label;
        std::wstring bars;  // after the menu bar
        std::vector<std::wstring> changes;
        int held;
        std::wstring toolbarButton;  // the control myToolbarButton holds
    } rows[] = {
        {L"installed", LR"({"name":"Standard","controls":[{"caption":"New"},{"caption":"Orvalis"}]})", {}, 0, L""},
        {L"other case", LR"({"name":"Standard","controls":[{"caption":"orvalis"}]})",
         Join({{L"Controls[Standard].Add(I4 1)"}, kButtonPuts(L"Control[4]"), {L"Controls[1].Add(Type:=I4 1)"},
               kItemPuts(L"Control[5]")}),
         4, L"Control[4]"},
        {L"no Standard bar", LR"({"name":"Standard "},{"name":"Extra","controls":[{"caption":"Orvalis"}]})",
         Join({{L"Controls[1].Add(Type:=I4 1)"}, kItemPuts(L"Control[4]")}), 3, L""},
        {L"two Standard bars", LR"({"name":"Standard"},{"name":"Standard"})",
         Join({{L"Controls[Standard].Add(I4 1)"}, kButtonPuts(L"Control[3]"), {L"Controls[Standard#2].Add(I4 1)"},
               kButtonPuts(L"Control[4]"), {L"Controls[1].Add(Type:=I4 1)"}, kItemPuts(L"Control[5]")}),
         4, L"Control[4]"},
    };
    for (const auto& row : rows) {
        Load(L"\"bars\":[" + kMenuBar + L"," + row.bars + L"]");
        ASSERT_EQ(S_OK, Connect(1)) << row.label;
        EXPECT_EQ(row.changes, Changes()) << row.label;
        EXPECT_EQ(row.held, Seam::HeldReferences(Object())) << row.label;
        if (row.toolbarButton.empty()) {
            EXPECT_EQ(nullptr, Seam::ToolbarButton(Object())) << row.label;
        } else {
            ASSERT_NE(nullptr, Seam::ToolbarButton(Object())) << row.label;
            simclient::ClearLog();
            orv::Call(Seam::ToolbarButton(Object()), L"Caption");
            EXPECT_EQ(std::vector<std::wstring>{row.toolbarButton + L".Caption()"}, LogLines(L"")) << row.label;
        }
        EXPECT_EQ(S_OK, addin_->OnDisconnection(ext_dm_HostShutdown, &custom_));
    }
}

TEST_F(AddinTest, TheLaterOfTwoToolsControlsGetsTheItem) {
    Load(LR"("bars":[{"name":"Menu Bar","menuBar":true,"controls":[{"caption":"&Tools","type":10},
        {"caption":"&Tools ","type":10},{"caption":"&Tools","type":10},{"caption":"&tools","type":10}]}])");
    ASSERT_EQ(S_OK, Connect(1));
    EXPECT_EQ(Join({{L"Controls[3].Add(Type:=I4 1)"}, kItemPuts(L"Control[5]")}), Changes());
}

TEST_F(AddinTest, FailuresReachTheHostWithWhatWasDoneBeforeThem) {
    const struct {
        const wchar_t* label;
        std::wstring host;
        HRESULT hr;
        const wchar_t* description;
        size_t adds;    // controls added before the failure
        int held;
    } rows[] = {
        {L"no &Tools", LR"("bars":[{"name":"Menu Bar","menuBar":true,"controls":[{"caption":"Tools"}]},{"name":"Standard"}])",
         static_cast<HRESULT>(0x800A005B), L"Object variable or With block variable not set", 1, 3},
        {L"no active explorer", LR"("explorer":false)", static_cast<HRESULT>(0x800A005B),
         L"Object variable or With block variable not set", 0, 0},
        {L"more than 32767 bars", LR"("barCount":32768)", static_cast<HRESULT>(0x800A0006), L"Overflow", 0, 0},
    };
    for (const auto& row : rows) {
        Load(row.host);
        EXPECT_EQ(row.hr, Connect(1)) << row.label;
        // The host logs the failure with the description it read from our IErrorInfo.
        EXPECT_EQ(1u, LogLines(L"failed 0x").size()) << row.label;
        EXPECT_TRUE(Contains(simclient::Log(), std::wstring(L"\"") + row.description + L"\"")) << simclient::Log();
        EXPECT_EQ(row.adds, LogLines(L".Add(").size()) << row.label;
        EXPECT_EQ(row.held, Seam::HeldReferences(Object())) << row.label;
        EXPECT_NE(nullptr, Global::hostApp()) << "hostApp stays set: " << row.label;
        if (row.adds == 0) {
            EXPECT_EQ(std::vector<std::wstring>{}, LogLines(L"CommandBars.Item(")) << row.label;
        }
        EXPECT_EQ(S_OK, addin_->OnDisconnection(ext_dm_HostShutdown, &custom_));
    }
}

// The user's removal of a control: bar (or the active menu bar for ""), then captions.
void RemoveControl(const wchar_t* bar, std::initializer_list<const wchar_t*> captions) {
    auto app = orv::CreateObject(L"Outlook.Application", IID_IDispatch);
    auto bars = orv::GetObj(orv::GetObj(static_cast<IDispatch*>(app.Get()), L"ActiveExplorer").Get(), L"CommandBars");
    auto control = *bar ? orv::GetObj(bars.Get(), L"Item", {bar}) : orv::GetObj(bars.Get(), L"ActiveMenuBar");
    for (const wchar_t* caption : captions) control = orv::GetObj(orv::GetObj(control.Get(), L"Controls").Get(), L"Item", {caption});
    orv::Call(control.Get(), L"Delete");
}

TEST_F(AddinTest, RepeatedStartupsInstallOnceAndNeverStackTheItem) {
    Load(LR"("bars":[{"name":"Menu Bar","menuBar":true,"controls":[{"caption":"&Tools","type":10}]},{"name":"Standard"}])");
    auto app = orv::CreateObject(L"Outlook.Application", IID_IDispatch);
    auto startup = [&] { return addin_->OnConnection(static_cast<IDispatch*>(app.Get()), ext_cm_Startup, nullptr, &custom_); };
    ASSERT_EQ(S_OK, startup());
    EXPECT_EQ(2u, LogLines(L".Add(").size());
    const struct {
        const wchar_t* label;
        const wchar_t* bar;  // where the user removed a control before this start-up
        std::initializer_list<const wchar_t*> captions;
        std::vector<std::wstring> adds;
        int held;
    } steps[] = {
        {L"both there", nullptr, {}, {}, 0},
        {L"button removed", L"Standard", {L"Orvalis"}, {L"Controls[Standard].Add(I4 1)"}, 3},
        {L"item removed: not restored", L"", {L"&Tools", L"&Orvalis Utility"}, {}, 0},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(S_OK, addin_->OnDisconnection(ext_dm_HostShutdown, &custom_));
        if (step.bar) RemoveControl(step.bar, step.captions);
        simclient::ClearLog();
        ASSERT_EQ(S_OK, startup()) << step.label;
        EXPECT_EQ(step.adds, LogLines(L".Add(")) << step.label;
        EXPECT_EQ(step.held, Seam::HeldReferences(Object())) << step.label;
    }
    EXPECT_TRUE(Contains(simclient::HostLayout(), L"Standard\n  Orvalis\n")) << simclient::HostLayout();
    EXPECT_TRUE(Contains(simclient::HostLayout(), L"  &Tools\n")) << simclient::HostLayout();
    EXPECT_FALSE(Contains(simclient::HostLayout(), L"&Orvalis Utility")) << simclient::HostLayout();
    EXPECT_EQ(S_OK, addin_->OnDisconnection(ext_dm_HostShutdown, &custom_));
}

TEST_F(AddinTest, DisconnectionAndShutdownLetGoOfEverything) {
    const struct {
        const wchar_t* label;
        std::function<HRESULT(IDTExtensibility2*, SAFEARRAY**)> call;
        bool unloads;
    } rows[] = {
        {L"OnDisconnection(host shutdown)", [](IDTExtensibility2* a, SAFEARRAY** c) { return a->OnDisconnection(ext_dm_HostShutdown, c); }, false},
        {L"OnDisconnection(user closed)", [](IDTExtensibility2* a, SAFEARRAY** c) { return a->OnDisconnection(ext_dm_UserClosed, c); }, false},
        {L"OnDisconnection(other mode)", [](IDTExtensibility2* a, SAFEARRAY** c) { return a->OnDisconnection(static_cast<ext_DisconnectMode>(9), c); }, false},
        {L"OnBeginShutdown", [](IDTExtensibility2* a, SAFEARRAY** c) { return a->OnBeginShutdown(c); }, true},
    };
    for (const auto& row : rows) {
        Load(L"");
        ASSERT_EQ(S_OK, Connect(1)) << row.label;
        ASSERT_EQ(4, Seam::HeldReferences(Object()));
        simclient::ClearLog();
        EXPECT_EQ(S_OK, addin_->OnAddInsUpdate(&custom_));
        EXPECT_EQ(4, Seam::HeldReferences(Object())) << "OnAddInsUpdate changes nothing";
        EXPECT_EQ(L"", simclient::Log());

        EXPECT_EQ(S_OK, row.call(addin_.Get(), &custom_)) << row.label;
        EXPECT_EQ(0, Seam::HeldReferences(Object())) << row.label;
        EXPECT_EQ(nullptr, Global::hostApp()) << row.label;
        for (const wchar_t* kind : {L"CommandBars", L"CommandBar", L"Control"})
            EXPECT_EQ(0, simclient::LiveObjects(kind)) << row.label << " " << kind;
        EXPECT_EQ(!row.unloads, Global::TheForm1().IsLoaded()) << row.label;
        EXPECT_EQ(row.unloads ? 1u : 0u, LogLines(L"Session.Logoff()").size()) << row.label;
        // The unload step's DisconnectSelf switched the add-in off, calling back into us.
        EXPECT_EQ(row.unloads ? 1u : 0u, LogLines(L"AddIn[Orvalis.UnitUnderTest].OnDisconnection(mode 1)").size()) << row.label;
    }
    simclient::ClearLog();
    EXPECT_EQ(S_OK, addin_->OnBeginShutdown(&custom_)) << "window not loaded";
    EXPECT_EQ(0u, LogLines(L"Session.Logoff()").size()) << "no unload step without a window";
}

TEST_F(AddinTest, ObjectOutlivesTheHostsReleaseInsideItsOwnOperation) {
    // Switching itself off makes the host call OnDisconnection and drop its reference while the
    // operation is still running; afterwards nothing holds the object any more.
    const struct {
        const wchar_t* label;
        long mode;
        std::function<HRESULT(IDTExtensibility2*, SAFEARRAY**)> call;
    } rows[] = {
        {L"OnStartupComplete", 1, [](IDTExtensibility2* a, SAFEARRAY** c) { return a->OnStartupComplete(c); }},
        {L"OnBeginShutdown with the window open", 0, [](IDTExtensibility2* a, SAFEARRAY** c) { return a->OnBeginShutdown(c); }},
    };
    for (const auto& row : rows) {
        Load(L"");
        ASSERT_EQ(S_OK, Connect(row.mode)) << row.label;
        IDTExtensibility2* raw = addin_.Detach();
        raw->Release();  // only the host holds it now
        EXPECT_EQ(S_OK, row.call(raw, &custom_)) << row.label;
        EXPECT_EQ(1u, LogLines(L"AddIn[Orvalis.UnitUnderTest].OnDisconnection(mode 1)").size()) << simclient::Log();
        EXPECT_EQ(0, server::ModuleLocks()) << row.label;
        EXPECT_EQ(nullptr, Global::hostApp()) << row.label;
    }
}

// The host calling in orders it shouldn't: each operation still succeeds, nothing escapes,
// and exactly the documented calls reach the host and CDO.
enum class Step {
    HostStartup,     // the host lists the object and connects it in mode 1
    HostDemand,      // the same in mode 0
    Startup,         // OnConnection(mode 1) straight from the host, without listing anew
    Demand,          // OnConnection(mode 0), likewise
    StartupComplete,
    Disconnect,
    Shutdown,
    HostLetsGo,      // only the host holds the object from here on
    CloseWindow,     // the user closes the list builder
};

enum class WindowState { NotLoaded, Hidden, Shown };

TEST_F(AddinTest, OddCallOrdersSucceedAndLetGoOfEverything) {
    const std::wstring a = L"AddIn[Orvalis.UnitUnderTest].", off = L"COMAddIn[Orvalis.UnitUnderTest].Connect() = BOOL False";
    const std::wstring logon = L"Session.Logon(ShowDialog:=BOOL False, NewSession:=BOOL False)", logoff = L"Session.Logoff()";
    const std::wstring button = L"Controls[Standard].Add(I4 1)", item = L"Controls[10].Add(Type:=I4 1)";
    const struct {
        const wchar_t* label;
        std::vector<Step> steps;
        std::vector<std::wstring> calls;  // the host's calls to us, and ours that change something
        size_t helps;
        int held;
        bool hostApp;
        WindowState window;
    } rows[] = {
        {L"a disconnection and a shutdown before any connection", {Step::Disconnect, Step::Shutdown}, {}, 0, 0, false,
         WindowState::NotLoaded},
        {L"two start-up connections: the second finds the button and keeps the fields",
         {Step::HostStartup, Step::Startup}, {a + L"OnConnection(mode 1)", logon, button, item}, 2, 4, true, WindowState::Hidden},
        {L"shutdown twice: the second has no window to unload",
         {Step::HostDemand, Step::Shutdown, Step::Shutdown},
         {a + L"OnConnection(mode 0)", logon, logoff, off, a + L"OnDisconnection(mode 1)"}, 0, 0, false, WindowState::NotLoaded},
        {L"a demand connection after shutdown loads the window anew",
         {Step::HostDemand, Step::Shutdown, Step::Demand},
         {a + L"OnConnection(mode 0)", logon, logoff, off, a + L"OnDisconnection(mode 1)", logon}, 0, 0, false, WindowState::Shown},
        {L"a start-up connection after shutdown installs nothing more",
         {Step::HostStartup, Step::StartupComplete, Step::Shutdown, Step::Startup},
         // The unload step's switch-off of an add-in that is off already: the host does nothing.
         {a + L"OnConnection(mode 1)", logon, button, item, off, a + L"OnDisconnection(mode 1)", logoff, off, logon}, 2, 0, true,
         WindowState::Hidden},
        {L"the host lets go of the object inside the window's unload",
         {Step::HostDemand, Step::HostLetsGo, Step::CloseWindow},
         {a + L"OnConnection(mode 0)", logon, logoff, off, a + L"OnDisconnection(mode 1)"}, 0, 0, false, WindowState::NotLoaded},
    };
    auto app = orv::CreateObject(L"Outlook.Application", IID_IDispatch);
    IDispatch* application = static_cast<IDispatch*>(app.Get());
    for (const auto& row : rows) {
        Load(L"");
        const size_t helpBefore = help_.Requests().size();
        IDTExtensibility2* object = addin_.Get();
        for (Step step : row.steps) {
            HRESULT hr = S_OK;
            switch (step) {
                case Step::HostStartup: hr = Connect(1); break;
                case Step::HostDemand: hr = Connect(0); break;
                case Step::Startup: hr = object->OnConnection(application, ext_cm_Startup, nullptr, &custom_); break;
                case Step::Demand: hr = object->OnConnection(application, ext_cm_AfterStartup, nullptr, &custom_); break;
                case Step::StartupComplete: hr = object->OnStartupComplete(&custom_); break;
                case Step::Disconnect: hr = object->OnDisconnection(ext_dm_HostShutdown, &custom_); break;
                case Step::Shutdown: hr = object->OnBeginShutdown(&custom_); break;
                case Step::HostLetsGo: addin_.Reset(); break;
                case Step::CloseWindow:
                    SendMessageW(Global::TheForm1().hWnd(), WM_CLOSE, 0, 0);
                    orvtest::Pump(50);
                    break;
            }
            EXPECT_EQ(S_OK, hr) << row.label << ", step " << static_cast<int>(step);
        }
        std::vector<std::wstring> calls;
        for (const auto& line : LogLines(L""))
            if (line.rfind(a, 0) == 0 || line == off || line == logon || line == logoff || line.find(L".Add(") != std::wstring::npos)
                calls.push_back(line);
        EXPECT_EQ(row.calls, calls) << row.label;
        EXPECT_EQ(std::vector<std::wstring>{}, LogLines(L" failed ")) << row.label;
        EXPECT_EQ(row.helps, help_.Requests().size() - helpBefore) << row.label;
        if (addin_) {
            EXPECT_EQ(row.held, Seam::HeldReferences(Object())) << row.label;
        } else {
            EXPECT_EQ(0, server::ModuleLocks()) << row.label << ": the object went when the host let go";
        }
        EXPECT_EQ(row.hostApp, Global::hostApp() != nullptr) << row.label;
        const WindowState window = !Global::TheForm1().IsLoaded()                         ? WindowState::NotLoaded
                                   : IsWindowVisible(Global::TheForm1().hWnd()) ? WindowState::Shown
                                                                                          : WindowState::Hidden;
        EXPECT_EQ(static_cast<int>(row.window), static_cast<int>(window)) << row.label;

        if (addin_) {
            EXPECT_EQ(S_OK, addin_->OnBeginShutdown(&custom_)) << row.label;
        }
        EXPECT_FALSE(Global::TheForm1().IsLoaded()) << row.label;
        for (const wchar_t* kind : {L"Explorer", L"CommandBars", L"CommandBar", L"Controls", L"Control", L"Session"})
            EXPECT_EQ(0, simclient::LiveObjects(kind)) << row.label << ": " << testing::PrintToString(kind) << "\n"
                                                       << simclient::LiveReport();
        Global::EmptyHostApp();
    }
    EXPECT_EQ(std::vector<std::wstring>{}, dialogs_.Seen()) << "no box on any of these";
}

TEST_F(AddinTest, CallsByNameReachTheOperationsAndErrorsAreReported) {
    ASSERT_EQ(S_OK, Connect(1));
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"OnDisconnection"), const_cast<LPOLESTR>(L"RemoveMode")};
    DISPID ids[2] = {};
    ASSERT_EQ(S_OK, addin_->GetIDsOfNames(IID_NULL, names, 2, 0, ids));
    SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    VARIANT args[2];
    args[0].vt = VT_ARRAY | VT_VARIANT | VT_BYREF;  // custom, last argument first
    args[0].pparray = &custom;
    args[1].vt = VT_I4;
    args[1].lVal = ext_dm_UserClosed;
    DISPPARAMS params{args, nullptr, 2, 0};
    EXCEPINFO excep{};
    EXPECT_EQ(S_OK, addin_->Invoke(ids[0], IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &excep, nullptr));
    EXPECT_EQ(0, Seam::HeldReferences(Object()));
    EXPECT_EQ(nullptr, Global::hostApp());
    SafeArrayDestroy(custom);

    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(S_OK, addin_.As(&support));
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_IDTExtensibility2));
    ComPtr<IDispatch> asAddin;
    EXPECT_EQ(S_OK, addin_->QueryInterface(IID__Addin, reinterpret_cast<void**>(asAddin.GetAddressOf())));
    UINT count = 0;
    EXPECT_EQ(S_OK, asAddin->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
}

}  // namespace
