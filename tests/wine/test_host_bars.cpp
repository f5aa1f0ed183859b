// The mail-client stand-in's command bars, explorer and state file.
#include <gtest/gtest.h>

#include "dispatch.h"
#include "sim_client.h"
#include "test_host_addin.h"
#include "clipboard_files.h"
#include "wine_test.h"

namespace {

using orvtest::Contains;
using Microsoft::WRL::ComPtr;
using orv::Variant;

// An optional argument left out, as a caller passes it by position.
Variant Missing() {
    Variant v;
    VARIANT* p = v.put();
    p->vt = VT_ERROR;
    p->scode = DISP_E_PARAMNOTFOUND;
    return v;
}

const IID IID__CommandBarButton = {0x000C030E, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// A menu bar with Tools, and a "Standard" bar holding A and B.
const wchar_t kSmallLayout[] = LR"({"host":{"bars":[
    {"name":"Menu Bar","menuBar":true,"controls":[{"caption":"&Tools","type":10,"controls":[{"caption":"&Options..."}]}]},
    {"name":"Standard","controls":[{"caption":"A"},{"caption":"B"}]}]}})";

std::wstring StatePath() { return orvtest::ScratchDir(L"host_bars") + L"\\state.json"; }

class HostBars : public ::testing::Test {
protected:
    void SetUp() override { Load(kSmallLayout); }
    void TearDown() override {
        SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", nullptr);
        app_.Reset();
        simclient::LoadScenario(LR"({"host":{}})");
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
    }
    void Load(const wchar_t* scenario) {
        app_.Reset();
        simclient::LoadScenario(scenario);
        app_ = hosttest::CreateApplication();
        simclient::ClearLog();
    }
    ComPtr<IDispatch> Bars() { return orv::GetObj(orv::GetObj(app_.Get(), L"ActiveExplorer").Get(), L"CommandBars"); }
    ComPtr<IDispatch> Controls(const wchar_t* bar) {
        return orv::GetObj(orv::GetObj(Bars().Get(), L"Item", {bar}).Get(), L"Controls");
    }
    ComPtr<IDispatch> app_;
};

TEST_F(HostBars, DefaultLayoutHasAMenuBarWithToolsAndTwoToolbars) {
    Load(LR"({"host":{}})");
    EXPECT_EQ(L"Menu Bar (menu bar)\n  &File\n    &Open\n    &Print...\n    E&xit\n  &Edit\n    &Copy\n    &Paste\n"
              L"  &View\n    &Folder List\n  &Tools\n    &Address Book...\n    &Options...\n  &Help\n    &About\n"
              L"Standard\n  &New\n  &Print\n  &Delete\n  &Reply\n  Find\n"
              L"Advanced\n  &Back\n  &Forward\n  Up One Level\n",
              simclient::HostLayout());
    auto bars = Bars();
    EXPECT_EQ(3, orv::ToLong(orv::Call(bars.Get(), L"Count")));
    EXPECT_EQ(L"Menu Bar", orv::GetString(orv::GetObj(bars.Get(), L"ActiveMenuBar").Get(), L"Name"));
    std::wstring names;
    orv::ForEach(bars.Get(), [&](const Variant& bar) {
        names += orv::GetString(orv::AsObject(bar).Get(), L"Name") + L";";
        return true;
    });
    EXPECT_EQ(L"Menu Bar;Standard;Advanced;", names);
    int16_t two = 2;
    EXPECT_EQ(L"Standard", orv::GetString(orv::GetObj(bars.Get(), L"Item", {Variant::RefI2(&two)}).Get(), L"Name"));
    // The Tools pop-up's items are reached by name through the pop-up's own Controls.
    auto menu = orv::GetObj(orv::GetObj(bars.Get(), L"ActiveMenuBar").Get(), L"Controls");
    auto tools = orv::GetObj(menu.Get(), L"Item", {Variant::I2(4)});
    EXPECT_EQ(L"&Tools", orv::GetString(tools.Get(), L"Caption"));
    EXPECT_EQ(2, orv::ToLong(orv::Call(orv::GetObj(tools.Get(), L"Controls").Get(), L"Count")));
    auto options = orv::GetObj(orv::GetObj(tools.Get(), L"Controls").Get(), L"Item", {Variant::I4(2)});
    EXPECT_EQ(L"&Options...", orv::GetString(options.Get(), L"Caption"));
    // Controls(k), late-bound, is Controls.Item(k).
    int16_t k = 2;
    EXPECT_EQ(L"&Options...", orv::GetString(orv::GetObj(tools.Get(), L"Controls", {Variant::RefI2(&k)}).Get(), L"Caption"));
    EXPECT_EQ(L"&Address Book...",
              orv::GetString(orv::GetObj(tools.Get(), L"Controls", {L"&Address Book..."}).Get(), L"Caption"));
    k = 3;
    try {
        orv::Call(tools.Get(), L"Controls", {Variant::RefI2(&k)});
        ADD_FAILURE() << "there is no third item";
    } catch (const orv::Error& e) {
        EXPECT_EQ(DISP_E_BADINDEX, e.hr());
    }
}

TEST_F(HostBars, AddTakesEveryArgumentOptionallyByPositionOrByName) {
    struct Row {
        const char* label;
        orv::Args args;
        const wchar_t* standard;  // captions on the bar afterwards
        const wchar_t* type;
        const wchar_t* temporary;
        const wchar_t* builtInId;
        const wchar_t* parameter;
    } rows[] = {
        {"no arguments", {}, L"A B new", L"1", L"False", L"1", L""},
        {"Type 10 by position", {Variant::I4(10)}, L"A B new", L"10", L"False", L"1", L""},
        {"Type by name as I2", {orv::Named(L"Type", Variant::I2(1))}, L"A B new", L"1", L"False", L"1", L""},
        {"Id and Parameter by position", {Variant::I4(1), Variant::I4(3), L"p"}, L"A B new", L"1", L"False", L"3", L"p"},
        {"Before by position, the rest left out",
         {Variant::I4(1), Missing(), Missing(), Variant::I4(1)}, L"new A B", L"1", L"False", L"1", L""},
        {"Before by name", {orv::Named(L"Before", Variant::I4(2))}, L"A new B", L"1", L"False", L"1", L""},
        {"Before one past the end", {orv::Named(L"Before", Variant::I4(3))}, L"A B new", L"1", L"False", L"1", L""},
        {"Temporary by name", {orv::Named(L"Temporary", Variant::Bool(true))}, L"A B new", L"1", L"True", L"1", L""},
        {"all five by position",
         {Variant::I2(1), Variant::I2(1), L"", Variant::I2(2), Variant::Bool(false)}, L"A new B", L"1", L"False", L"1", L""},
    };
    for (const Row& r : rows) {
        Load(kSmallLayout);
        auto added = orv::GetObj(Controls(L"Standard").Get(), L"Add", r.args);
        orv::Put(added.Get(), L"Caption", Variant::Str(L"new"));
        std::wstring standard;
        orv::ForEach(Controls(L"Standard").Get(), [&](const Variant& c) {
            standard += (standard.empty() ? L"" : L" ") + orv::GetString(orv::AsObject(c).Get(), L"Caption");
            return true;
        });
        EXPECT_EQ(r.standard, standard) << r.label;
        auto props = simclient::HostControl(L"Standard/new");
        EXPECT_EQ(r.type, props[L"Type"]) << r.label;
        EXPECT_EQ(r.temporary, props[L"Temporary"]) << r.label;
        EXPECT_EQ(r.builtInId, props[L"BuiltInId"]) << r.label;
        EXPECT_EQ(r.parameter, props[L"Parameter"]) << r.label;
        // Only a button answers to the button interface.
        ComPtr<IDispatch> button;
        HRESULT hr = added->QueryInterface(IID__CommandBarButton, reinterpret_cast<void**>(button.GetAddressOf()));
        EXPECT_EQ(props[L"Type"] == L"1" ? S_OK : E_NOINTERFACE, hr) << r.label;
    }
}

TEST_F(HostBars, AddRefusesPositionsOutsideTheBarAndUnknownTypes) {
    struct Row {
        const char* label;
        orv::Args args;
    } rows[] = {
        {"Before 0", {orv::Named(L"Before", Variant::I4(0))}},
        {"Before two past the end", {orv::Named(L"Before", Variant::I4(4))}},
        {"Type 3 (a drop-down)", {Variant::I4(3)}},
    };
    for (const Row& r : rows) {
        try {
            orv::Call(Controls(L"Standard").Get(), L"Add", r.args);
            ADD_FAILURE() << r.label << " should fail";
        } catch (const orv::Error& e) {
            EXPECT_EQ(E_INVALIDARG, e.hr()) << r.label;
        }
    }
    EXPECT_EQ(L"A", simclient::HostControl(L"Standard/#1")[L"Caption"]);
    EXPECT_EQ(L"B", simclient::HostControl(L"Standard/#2")[L"Caption"]);
    EXPECT_TRUE(simclient::HostControl(L"Standard/#3").empty());
}

TEST_F(HostBars, PropertyPutsAreLoggedInTheirOrderAndButtonsAloneHaveStyleAndFace) {
    auto button = orv::GetObj(Controls(L"Standard").Get(), L"Add", {Variant::I4(1)});
    std::wstring id = simclient::HostControl(L"Standard/#3")[L"Id"];
    simclient::ClearLog();
    orv::Put(button.Get(), L"Caption", Variant::Str(L"Orvalis"));
    orv::Put(button.Get(), L"Enabled", Variant::Bool(true));
    orv::Put(button.Get(), L"Style", Variant::I4(3));
    orv::Put(button.Get(), L"HelpContextId", Variant::I4(1100));
    orv::Put(button.Get(), L"FaceId", Variant::I4(5));
    orv::Put(button.Get(), L"OnAction", Variant::Str(L"!<X.Y>"));
    std::wstring c = L"Control[" + id + L"].";
    EXPECT_EQ(c + L"Caption() = BSTR \"Orvalis\"\n" + c + L"Enabled() = BOOL True\n" + c + L"Style() = I4 3\n" + c +
                  L"HelpContextId() = I4 1100\n" + c + L"FaceId() = I4 5\n" + c + L"OnAction() = BSTR \"!<X.Y>\"\n",
              simclient::Log());
    auto props = simclient::HostControl(L"Standard/Orvalis");
    EXPECT_EQ(L"3", props[L"Style"]);
    EXPECT_EQ(L"5", props[L"FaceId"]);
    EXPECT_EQ(L"1100", props[L"HelpContextId"]);

    auto popup = orv::GetObj(Controls(L"Standard").Get(), L"Add", {Variant::I4(10)});
    for (const wchar_t* member : {L"Style", L"FaceId"}) {
        try {
            orv::Put(popup.Get(), member, Variant::I4(1));
            ADD_FAILURE() << "a pop-up has no " << member;
        } catch (const orv::Error& e) {
            EXPECT_EQ(orv::RuntimeError(orv::kNoSuchMember), e.hr());
        }
    }
    try {
        orv::Call(button.Get(), L"Controls");
        ADD_FAILURE() << "a button has no Controls";
    } catch (const orv::Error& e) {
        EXPECT_EQ(orv::RuntimeError(orv::kNoSuchMember), e.hr());
    }
}

TEST_F(HostBars, DeletingWhileEnumeratingReachesEveryMatchAndDeletedControlsFail) {
    Load(LR"({"host":{"bars":[{"name":"Menu Bar","menuBar":true},{"name":"Standard","controls":[
        {"caption":"Orvalis"},{"caption":"Orvalis"},{"caption":"X"},{"caption":"Orvalis"}]}]}})");
    ComPtr<IDispatch> last;
    orv::ForEach(Controls(L"Standard").Get(), [&](const Variant& item) {
        auto c = orv::AsObject(item);
        if (orv::GetString(c.Get(), L"Caption") == L"Orvalis") {
            orv::Call(c.Get(), L"Delete");
            last = c;
        }
        return true;
    });
    EXPECT_EQ(L"Menu Bar (menu bar)\nStandard\n  X\n", simclient::HostLayout());
    try {
        orv::GetString(last.Get(), L"Caption");
        ADD_FAILURE() << "a deleted control should fail";
    } catch (const orv::Error& e) {
        EXPECT_EQ(E_FAIL, e.hr());
    }
}

TEST_F(HostBars, StateFileKeepsPermanentControlsAcrossARestart) {
    std::wstring state = StatePath();
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", state.c_str());
    Load(LR"({"host":{}})");
    auto button = orv::GetObj(Controls(L"Standard").Get(), L"Add", {Variant::I4(1)});
    orv::Put(button.Get(), L"Caption", Variant::Str(L"Orvalis"));
    orv::Put(button.Get(), L"Style", Variant::I4(3));
    orv::Put(button.Get(), L"TooltipText", Variant::Str(L"Orvalis DL Utility"));
    orv::Put(button.Get(), L"HelpFile", Variant::Str(L"orvalis.hlp"));
    orv::Put(button.Get(), L"HelpContextId", Variant::I4(1100));
    orv::Put(button.Get(), L"FaceId", Variant::I4(5));
    orv::Put(button.Get(), L"OnAction", Variant::Str(L"!<OrvalisUtility.Addin>"));
    auto menu = orv::GetObj(orv::GetObj(Bars().Get(), L"ActiveMenuBar").Get(), L"Controls");
    auto tools = orv::GetObj(menu.Get(), L"Item", {L"&Tools"});
    auto item = orv::GetObj(orv::GetObj(tools.Get(), L"Controls").Get(), L"Add", {orv::Named(L"Type", Variant::I4(1))});
    orv::Put(item.Get(), L"Caption", Variant::Str(L"&Orvalis Utility"));
    auto temp = orv::GetObj(Controls(L"Standard").Get(), L"Add", {Variant::I4(1), orv::Named(L"Temporary", Variant::Bool(true))});
    orv::Put(temp.Get(), L"Caption", Variant::Str(L"Temp"));
    // Gone for this session only: back after the restart.
    orv::Call(orv::GetObj(Controls(L"Standard").Get(), L"Item", {L"&Print"}).Get(), L"Delete", {Variant::Bool(true)});
    // Gone for good.
    orv::Call(orv::GetObj(Controls(L"Standard").Get(), L"Item", {L"Find"}).Get(), L"Delete");

    auto before = simclient::HostControl(L"Standard/Orvalis");
    auto itemBefore = simclient::HostControl(L"Menu Bar/&Tools/&Orvalis Utility");
    EXPECT_TRUE(Contains(simclient::HostLayout(), L"Standard\n  &New\n  &Delete\n  &Reply\n  Orvalis\n  Temp (temporary)\nAdvanced\n"))
        << simclient::HostLayout();
    EXPECT_FALSE(Contains(orvtest::FileText(state), L"Temp")) << orvtest::FileText(state);

    button.Reset(); menu.Reset(); tools.Reset(); item.Reset(); temp.Reset(); app_.Reset();
    simclient::HostReset();
    app_ = hosttest::CreateApplication();
    EXPECT_EQ(before, simclient::HostControl(L"Standard/Orvalis"));
    EXPECT_EQ(itemBefore, simclient::HostControl(L"Menu Bar/&Tools/&Orvalis Utility"));
    EXPECT_EQ(L"1100", before[L"HelpContextId"]);
    EXPECT_EQ(L"!<OrvalisUtility.Addin>", before[L"OnAction"]);
    std::wstring layout = simclient::HostLayout();
    EXPECT_TRUE(Contains(layout, L"Standard\n  &New\n  &Print\n  &Delete\n  &Reply\n  Orvalis\nAdvanced\n")) << layout;
    EXPECT_TRUE(Contains(layout, L"  &Tools\n    &Address Book...\n    &Options...\n    &Orvalis Utility\n")) << layout;
    // New controls carry on after the highest kept number (the temporary one's is free again).
    auto next = orv::GetObj(Controls(L"Standard").Get(), L"Add");
    EXPECT_EQ(std::stol(itemBefore[L"Id"]) + 1, std::stol(simclient::HostControl(L"Standard/#6")[L"Id"]));
}

TEST_F(HostBars, ExplorerOpensWhenAFolderIsDisplayed) {
    Load(LR"({"host":{"explorer":false}})");
    Variant none = orv::Call(app_.Get(), L"ActiveExplorer");
    EXPECT_EQ(VT_DISPATCH, none.vt());
    EXPECT_EQ(nullptr, none.get().pdispVal);
    auto ns = orv::GetObj(app_.Get(), L"GetNamespace", {L"MAPI"});
    auto inbox = orv::GetObj(ns.Get(), L"GetDefaultFolder", {Variant::I4(6)});
    EXPECT_EQ(L"Inbox", orv::GetString(inbox.Get(), L"Name"));
    orv::Call(inbox.Get(), L"Display");
    EXPECT_EQ(3, orv::ToLong(orv::Call(Bars().Get(), L"Count")));
    for (auto bad : {std::pair<const wchar_t*, int>{L"GetNamespace", 0}, {L"GetDefaultFolder", 99}}) {
        try {
            if (bad.second == 0) orv::Call(app_.Get(), bad.first, {L"OTHER"});
            else orv::Call(ns.Get(), bad.first, {Variant::I4(bad.second)});
            ADD_FAILURE() << "should fail";
        } catch (const orv::Error& e) {
            EXPECT_EQ(E_INVALIDARG, e.hr());
        }
    }
}

TEST_F(HostBars, BarCountCanBeMadeTooLargeForASixteenBitCount) {
    Load(LR"({"host":{"barCount":40000}})");
    Variant count = orv::Call(Bars().Get(), L"Count");
    EXPECT_EQ(40000, orv::ToLong(count));
    try {
        orv::ToCount16(count);
        ADD_FAILURE() << "40000 should not fit";
    } catch (const orv::Error& e) {
        EXPECT_EQ(orv::RuntimeError(orv::kOverflow), e.hr());
    }
}

TEST_F(HostBars, QuitShutsDownConnectedAddIns) {
    Load(LR"({"host":{"explorer":false}})");
    ComPtr<hosttest::TestAddIn> addIn(new hosttest::TestAddIn);
    addIn->Release();
    ASSERT_EQ(S_OK, simclient::HostAddAddIn(addIn.Get(), L"Test Add-in", L"Test.AddIn", 1));
    orv::Call(orv::GetObj(orv::GetObj(app_.Get(), L"GetNamespace", {L"MAPI"}).Get(), L"GetDefaultFolder", {Variant::I4(6)}).Get(),
              L"Display");
    orv::Call(app_.Get(), L"Quit");
    EXPECT_EQ((std::vector<std::wstring>{L"OnConnection(1)", L"OnBeginShutdown", L"OnDisconnection(0)"}), addIn->calls);
    EXPECT_EQ(1, addIn->refs());
    EXPECT_EQ(nullptr, orv::Call(app_.Get(), L"ActiveExplorer").get().pdispVal) << "the explorer closed";
}

}  // namespace
