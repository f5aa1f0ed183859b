// The ribbon host's checkBoxes and dropDowns: what it reads of them, when it asks their state
// callbacks (the ribbon's first showing, and again after the add-in invalidated them through
// the IRibbonUI its onLoad got), what a tick or a choice calls, with the client's arguments in
// the client's order, and what the control shows when a callback fails or answers wrongly.
#include <gtest/gtest.h>

#include "bstr.h"
#include "dispatch.h"
#include "ribbon.h"
#include "sim_client.h"
#include "test_host_addin.h"
#include "wine_test.h"

namespace {

using hosttest::TestAddIn;
using Microsoft::WRL::ComPtr;
using orv::Variant;
using orvtest::Contains;

const wchar_t kProgId[] = L"OrvalisTest.OptionsAddIn";
const std::wstring kAddIn = L"AddIn[OrvalisTest.OptionsAddIn]";

const wchar_t kDocument[] = LR"(<customUI xmlns="http://schemas.microsoft.com/office/2009/07/customui" onLoad="OnLoad">
  <ribbon><tabs><tab idMso="TabMail">
    <group id="Options" label="Options">
      <checkBox id="Nested" label="Lists in lists" getPressed="GetPressed" onAction="OnCheck" tag="nested"/>
      <checkBox id="Plain" label="Plain" onAction="OnCheck"/>
      <dropDown id="Format" label="Format" getSelectedItemIndex="GetIndex" onAction="OnSelect">
        <item id="AddressName" label="address name"/>
        <item id="Mailman" label="Name &lt;address&gt;"/>
        <item id="Csv" label="CSV"/>
        <button id="More" label="More..."/>
      </dropDown>
      <dropDown id="Empty" label="Empty" onAction="OnSelect"/>
    </group></tab></tabs></ribbon></customUI>)";

// One callback as the add-in saw it: its name, the control's id and the arguments after it.
struct Heard {
    std::wstring callback;
    std::wstring control;
    std::vector<std::wstring> args;  // as the stand-ins' log describes values: BOOL True, BSTR "Csv", I4 2
    bool operator==(const Heard& o) const { return callback == o.callback && control == o.control && args == o.args; }
};

void PrintTo(const Heard& h, std::ostream* os) {
    *os << ::testing::PrintToString(h.callback) << "(" << ::testing::PrintToString(h.control);
    for (const auto& a : h.args) *os << ", " << ::testing::PrintToString(a);
    *os << ")";
}

class HostRibbonControls : public ::testing::Test {
protected:
    void TearDown() override {
        ribbonUI_.Reset();
        addIn_.Reset();
        simclient::LoadScenario(LR"({"host":{}})");
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
        EXPECT_EQ(0, TestAddIn::alive);
    }

    // A 2016 client with the test's add-in connected at start-up (mode 1).
    void Connect(const std::wstring& document = kDocument, const std::wstring& faults = L"") {
        simclient::LoadScenario(LR"({"outlook":{"version":"16.0.0.0"},"host":{"addinsKey":"Software\\OrvalisTest\\Outlook\\Addins"})" +
                                (faults.empty() ? L"" : L",\"faults\":" + faults) + L"}");
        addIn_ = hosttest::NewTestAddIn();
        addIn_->offersRibbon = true;
        addIn_->document = document;
        addIn_->Answer(L"OnLoad", [this](IDispatch* ribbon, const std::vector<Variant>&) {
            Note(L"OnLoad", ribbon, {});
            ribbonUI_ = ribbon;
            return Variant();
        });
        for (const wchar_t* name : {L"GetPressed", L"GetIndex", L"OnCheck", L"OnSelect"})
            addIn_->Answer(name, [this, name](IDispatch* control, const std::vector<Variant>& args) {
                Note(name, control, args);
                if (during_) during_(name);
                return std::wstring(name) == L"GetPressed" ? pressed_ : std::wstring(name) == L"GetIndex" ? index_ : Variant();
            });
        simclient::ClearLog();
        ASSERT_EQ(S_OK, simclient::HostAddAddIn(addIn_.Get(), L"Options Test", kProgId, 1));
    }

    void Note(const wchar_t* name, IDispatch* control, const std::vector<Variant>& args) {
        Heard h{name, L"", {}};
        if (std::wstring(name) == L"OnLoad") {
            ComPtr<IRibbonUI> ui;
            h.control = control && SUCCEEDED(control->QueryInterface(__uuidof(IRibbonUI), reinterpret_cast<void**>(ui.GetAddressOf())))
                            ? L"IRibbonUI"
                            : L"?";
        } else {
            h.control = control ? orv::GetString(control, L"Id") : L"?";
        }
        for (const Variant& a : args) h.args.push_back(Describe(a));
        heard_.push_back(h);
    }

    static std::wstring Describe(const Variant& v) {
        switch (v.vt()) {
            case VT_BOOL: return orv::ToBool(v) ? L"BOOL True" : L"BOOL False";
            case VT_BSTR: return L"BSTR \"" + orv::ToString(v) + L"\"";
            case VT_I4: return L"I4 " + std::to_wstring(orv::ToLong(v));
            default: return L"VT " + std::to_wstring(v.vt());
        }
    }

    // What one control shows now, as "Nested=1", "Format=2 Csv".
    static std::wstring Shown(const std::wstring& id) {
        const simclient::RibbonControl c = simclient::HostRibbonControl(id);
        if (c.kind == L"checkBox") return id + L"=" + (c.pressed ? L"1" : L"0");
        return id + L"=" + std::to_wstring(c.selected) + L" " + c.SelectedItem();
    }
    static std::wstring ShownAll() { return Shown(L"Nested") + L" " + Shown(L"Plain") + L" " + Shown(L"Format") + L" " + Shown(L"Empty"); }

    ComPtr<TestAddIn> addIn_;
    ComPtr<IDispatch> ribbonUI_;  // what OnLoad got
    std::vector<Heard> heard_;
    Variant pressed_ = Variant::Bool(true);  // what GetPressed answers
    Variant index_ = Variant::I4(2);         // what GetIndex answers
    std::function<void(const std::wstring& callback)> during_;  // runs inside every callback but OnLoad
};

TEST_F(HostRibbonControls, TheRibbonsFirstShowingCallsOnLoadThenEachStateCallbackOnce) {
    Connect();
    const std::wstring control = L", DISPATCH_METHOD, RibbonControl[";
    EXPECT_EQ(kAddIn + L".OnConnection(mode 1)\n" + kAddIn + L".QueryInterface(IRibbonExtensibility)\n" + kAddIn +
                  L".GetCustomUI(\"Microsoft.Outlook.Explorer\")\nHost: the ribbon of " + kAddIn +
                  L" for \"Microsoft.Outlook.Explorer\": 1 tab, 1 group, 0 buttons, 2 checkBoxes, 2 dropDowns (Nested, Plain, "
                  L"Format, Empty)\n" +
                  kAddIn + L".GetIDsOfNames(\"OnLoad\")\n" + kAddIn + L".Invoke(1001 \"OnLoad\", DISPATCH_METHOD, RibbonUI[" +
                  kProgId + L"])\n" + kAddIn + L".GetIDsOfNames(\"GetPressed\")\n" + kAddIn + L".Invoke(1002 \"GetPressed\"" +
                  control + L"Nested])\nRibbonControl[Nested].Id()\n" + kAddIn + L".GetIDsOfNames(\"GetIndex\")\n" + kAddIn +
                  L".Invoke(1003 \"GetIndex\"" + control + L"Format])\nRibbonControl[Format].Id()\n",
              simclient::Log());
    EXPECT_EQ((std::vector<Heard>{{L"OnLoad", L"IRibbonUI", {}}, {L"GetPressed", L"Nested", {}}, {L"GetIndex", L"Format", {}}}),
              heard_);
    // Each with the control alone, and a place for the answer.
    EXPECT_EQ(L"Invoke(1001, flags 1, 1 argument, 0 named, vt 9, result)", addIn_->calls[3]);
    EXPECT_EQ(L"Invoke(1002, flags 1, 1 argument, 0 named, vt 9, result)", addIn_->calls[5]);

    const auto controls = simclient::HostRibbonControls();
    ASSERT_EQ(4u, controls.size());
    EXPECT_EQ(L"checkBox checkBox dropDown dropDown", controls[0].kind + L" " + controls[1].kind + L" " + controls[2].kind + L" " + controls[3].kind);
    EXPECT_EQ(L"Lists in lists|nested|GetPressed|OnCheck|Options", controls[0].Attribute(L"label") + L"|" + controls[0].Attribute(L"tag") +
                                                                       L"|" + controls[0].Attribute(L"getPressed") + L"|" +
                                                                       controls[0].Attribute(L"onAction") + L"|" + controls[0].groupLabel);
    EXPECT_EQ((std::vector<std::pair<std::wstring, std::wstring>>{
                  {L"AddressName", L"address name"}, {L"Mailman", L"Name <address>"}, {L"Csv", L"CSV"}}),
              controls[2].items)
        << "the static items, without the dropDown's own button";
    EXPECT_TRUE(controls[3].items.empty());
    EXPECT_EQ(L"Nested=1 Plain=0 Format=2 Csv Empty=-1 ", ShownAll()) << "a control without its callback shows its default";
    EXPECT_TRUE(simclient::HostRibbon().empty()) << "the buttons' list holds buttons only";
    simclient::ClearLog();
    heard_.clear();
    ShownAll();
    EXPECT_EQ(L"", simclient::Log()) << "the answers are kept: showing again asks nothing";
    EXPECT_TRUE(heard_.empty());
    simclient::HostShutdown();
}

TEST_F(HostRibbonControls, ATickOrAChoiceCallsOnActionWithTheClientsArgumentsInOrder) {
    Connect();
    heard_.clear();
    addIn_->calls.clear();
    simclient::ClearLog();
    simclient::HostRibbonClick(L"Nested");
    EXPECT_EQ(L"Host.RibbonClick(\"Nested\")\n" + kAddIn + L".GetIDsOfNames(\"OnCheck\")\n" + kAddIn +
                  L".Invoke(1004 \"OnCheck\", DISPATCH_METHOD, RibbonControl[Nested], BOOL False)\nRibbonControl[Nested].Id()\n",
              simclient::Log());
    EXPECT_EQ(L"Invoke(1004, flags 1, 2 arguments, 0 named, vt 9 11, result)", addIn_->calls.back()) << "the control first, then pressed";
    simclient::HostRibbonClick(L"Nested");
    simclient::HostRibbonClick(L"Plain");
    simclient::ClearLog();
    simclient::HostRibbonSelect(L"Format", L"Mailman");
    EXPECT_EQ(L"Host.RibbonSelect(\"Format\", \"Mailman\")\n" + kAddIn + L".GetIDsOfNames(\"OnSelect\")\n" + kAddIn +
                  L".Invoke(1005 \"OnSelect\", DISPATCH_METHOD, RibbonControl[Format], BSTR \"Mailman\", I4 1)\n"
                  L"RibbonControl[Format].Id()\n",
              simclient::Log());
    EXPECT_EQ(L"Invoke(1005, flags 1, 3 arguments, 0 named, vt 9 8 3, result)", addIn_->calls.back());
    simclient::HostRibbonSelectIndex(L"Format", 0);
    simclient::HostRibbonSelectIndex(L"Format", 0);
    EXPECT_EQ((std::vector<Heard>{{L"OnCheck", L"Nested", {L"BOOL False"}},
                                  {L"OnCheck", L"Nested", {L"BOOL True"}},
                                  {L"OnCheck", L"Plain", {L"BOOL True"}},
                                  {L"OnSelect", L"Format", {L"BSTR \"Mailman\"", L"I4 1"}},
                                  {L"OnSelect", L"Format", {L"BSTR \"AddressName\"", L"I4 0"}},
                                  {L"OnSelect", L"Format", {L"BSTR \"AddressName\"", L"I4 0"}}}),
              heard_)
        << "every choice is reported, also of the item already chosen";
    EXPECT_EQ(L"Nested=1 Plain=1 Format=0 AddressName Empty=-1 ", ShownAll());

    struct Row {
        const char* label;
        std::function<void()> act;
        HRESULT hr;
    } rows[] = {
        {"a dropDown is chosen from, not clicked", [] { simclient::HostRibbonClick(L"Format"); }, E_INVALIDARG},
        {"a checkBox has no items", [] { simclient::HostRibbonSelect(L"Nested", L"Csv"); }, E_INVALIDARG},
        {"no such item", [] { simclient::HostRibbonSelect(L"Format", L"csv"); }, E_INVALIDARG},
        {"an index past the items", [] { simclient::HostRibbonSelectIndex(L"Format", 3); }, E_INVALIDARG},
        {"a negative index", [] { simclient::HostRibbonSelectIndex(L"Format", -1); }, E_INVALIDARG},
        {"a dropDown without items", [] { simclient::HostRibbonSelectIndex(L"Empty", 0); }, E_INVALIDARG},
        {"no such control", [] { simclient::HostRibbonSelect(L"Missing", L"Csv"); }, E_INVALIDARG},
        {"the dropDown's own button is not shown", [] { simclient::HostRibbonClick(L"More"); }, E_INVALIDARG},
    };
    heard_.clear();
    for (const Row& r : rows) EXPECT_EQ(r.hr, orvtest::FailureOf(r.act)) << r.label;
    EXPECT_TRUE(heard_.empty()) << "nothing reached the add-in";
    EXPECT_EQ(L"Nested=1 Plain=1 Format=0 AddressName Empty=-1 ", ShownAll()) << "and nothing changed";
    simclient::HostShutdown();
}

TEST_F(HostRibbonControls, ACallbackThatFailsOrAnswersWronglyLeavesTheDefaultShownAndLogged) {
    const std::wstring nested = L"Host: the checkBox \"Nested\" shows its default: unticked\n";
    const std::wstring format = L"Host: the dropDown \"Format\" shows its default: item 0 (AddressName)\n";
    struct Row {
        const char* label;
        Variant pressed, index;
        const wchar_t* failing;  // the callback that fails, "" for none
        std::wstring logged;     // the lines after the Invoke lines, in order
        const wchar_t* shown;
    } rows[] = {
        {"right types", Variant::Bool(true), Variant::I4(1), L"", L"", L"Nested=1 Format=1 Mailman"},
        {"numbers and text", Variant::I4(1), Variant::Str(L"2"), L"",
         L"Host: \"GetPressed\" answered I4 1, not BOOL\n" + nested + L"Host: \"GetIndex\" answered BSTR \"2\", not I4\n" + format,
         L"Nested=0 Format=0 AddressName"},
        {"nothing", Variant(), Variant::I2(1), L"",
         L"Host: \"GetPressed\" answered EMPTY, not BOOL\n" + nested + L"Host: \"GetIndex\" answered I2 1, not I4\n" + format,
         L"Nested=0 Format=0 AddressName"},
        {"no such item", Variant::Bool(false), Variant::I4(3), L"",
         L"Host: \"GetIndex\" answered I4 3, not the index of one of its 3 items\n" + format, L"Nested=0 Format=0 AddressName"},
        {"a negative index", Variant::Bool(true), Variant::I4(-1), L"",
         L"Host: \"GetIndex\" answered I4 -1, not the index of one of its 3 items\n" + format, L"Nested=1 Format=0 AddressName"},
        {"GetPressed fails", Variant::Bool(true), Variant::I4(2), L"GetPressed",
         kAddIn + L".Invoke failed 0x80004005 \"No options\"\n" + nested, L"Nested=0 Format=2 Csv"},
        {"GetIndex fails", Variant::Bool(true), Variant::I4(2), L"GetIndex",
         kAddIn + L".Invoke failed 0x80004005 \"No options\"\n" + format, L"Nested=1 Format=0 AddressName"},
    };
    for (const Row& r : rows) {
        pressed_ = r.pressed;
        index_ = r.index;
        Connect();
        addIn_->failCallback = r.failing;
        addIn_->callbackResult = *r.failing ? E_FAIL : S_OK;
        addIn_->callbackFailure = L"No options";
        // Asked again, now with the failure of this row.
        orv::Call(ribbonUI_.Get(), L"Invalidate");
        simclient::ClearLog();
        const std::wstring shown = Shown(L"Nested") + L" " + Shown(L"Format");
        std::wstring after;
        for (const auto& line : simclient::SplitLines(simclient::Log()))
            if (line.find(L".Invoke(") == std::wstring::npos && line.find(L".GetIDsOfNames(") == std::wstring::npos &&
                line.find(L"RibbonControl[") != 0)
                after += line + L"\n";
        EXPECT_EQ(r.logged, after) << r.label;
        EXPECT_EQ(r.shown, shown) << r.label;
        EXPECT_TRUE(simclient::HostAddIns().back().connected) << r.label;
        simclient::HostShutdown();
        ribbonUI_.Reset();
        addIn_.Reset();
    }
}

TEST_F(HostRibbonControls, ACallbackTheAddInDoesNotKnowLeavesTheDefault) {
    std::wstring document = kDocument;
    document.replace(document.find(L"GetPressed"), 10, L"NoSuchName");
    Connect(document);
    EXPECT_TRUE(Contains(simclient::Log(), kAddIn + L".GetIDsOfNames(\"NoSuchName\")\n" + kAddIn +
                                               L".GetIDsOfNames failed 0x80020006 \"\"\nHost: the checkBox \"Nested\" shows "
                                               L"its default: unticked\n"))
        << simclient::Log();
    EXPECT_EQ(L"Nested=0", Shown(L"Nested"));
    simclient::HostRibbonClick(L"Nested");
    EXPECT_EQ(L"Nested=1", Shown(L"Nested")) << "the user can still tick it";
    simclient::HostShutdown();
}

TEST_F(HostRibbonControls, InvalidatedControlsAreAskedAgainWhenTheHostNextShowsThemNeverInsideTheCall) {
    Connect();
    ComPtr<IRibbonUI> ui;
    ASSERT_EQ(S_OK, ribbonUI_->QueryInterface(__uuidof(IRibbonUI), reinterpret_cast<void**>(ui.GetAddressOf())));
    heard_.clear();
    simclient::ClearLog();
    index_ = Variant::I4(1);
    orv::Bstr format(L"Format");
    EXPECT_EQ(S_OK, ui->InvalidateControl(format.get()));
    EXPECT_EQ(L"RibbonUI[" + std::wstring(kProgId) + L"].InvalidateControl(BSTR \"Format\")\n", simclient::Log());
    EXPECT_TRUE(heard_.empty()) << "nothing is asked inside InvalidateControl";
    EXPECT_EQ(L"Nested=1 Plain=0 Format=1 Mailman Empty=-1 ", ShownAll());
    EXPECT_EQ((std::vector<Heard>{{L"GetIndex", L"Format", {}}}), heard_) << "only the invalidated control";

    // Invalidate by name marks every control; a click shows the ribbon before it acts.
    heard_.clear();
    pressed_ = Variant::Bool(false);
    orv::Call(ribbonUI_.Get(), L"Invalidate");
    EXPECT_TRUE(heard_.empty());
    simclient::HostRibbonClick(L"Nested");
    EXPECT_EQ((std::vector<Heard>{{L"GetPressed", L"Nested", {}}, {L"GetIndex", L"Format", {}}, {L"OnCheck", L"Nested", {L"BOOL True"}}}),
              heard_)
        << "the user ticks what the ribbon shows: unticked, as GetPressed now says";

    // An add-in that invalidates inside its callback is asked once per showing, never in a loop.
    heard_.clear();
    during_ = [&](const std::wstring& callback) {
        if (callback == L"GetPressed") ui->Invalidate();
    };
    ui->Invalidate();
    simclient::HostRibbonControls();
    simclient::HostRibbonControls();
    EXPECT_EQ((std::vector<Heard>{{L"GetPressed", L"Nested", {}}, {L"GetIndex", L"Format", {}}, {L"GetPressed", L"Nested", {}}}),
              heard_)
        << "the first showing asks both; the controls invalidated meanwhile wait for the second";
    during_ = nullptr;

    struct Row {
        const char* label;
        std::function<HRESULT()> call;
        HRESULT hr;
    } rows[] = {
        {"InvalidateControl of no control", [&] { return ui->InvalidateControl(orv::Bstr(L"Nothing").get()); }, E_INVALIDARG},
        {"InvalidateControl by name without its argument", [&] { return orvtest::FailureOf([&] { orv::Call(ribbonUI_.Get(), L"InvalidateControl"); }); },
         DISP_E_PARAMNOTFOUND},
        {"InvalidateControlMso", [&] { return ui->InvalidateControlMso(orv::Bstr(L"AddressBook").get()); }, S_OK},
        {"ActivateTab of no tab of the document", [&] { return ui->ActivateTab(orv::Bstr(L"TabMail").get()); }, E_INVALIDARG},
        {"ActivateTabMso", [&] { return ui->ActivateTabMso(orv::Bstr(L"TabMail").get()); }, S_OK},
        {"ActivateTabQ", [&] { return ui->ActivateTabQ(orv::Bstr(L"x:Tab").get(), orv::Bstr(L"urn:x").get()); }, S_OK},
    };
    for (const Row& r : rows) EXPECT_EQ(r.hr, r.call()) << r.label;

    // Once the add-in is off, its ribbon is gone: the old IRibbonUI changes nothing.
    auto app = hosttest::CreateApplication();
    auto self = orv::GetObj(orv::GetObj(app.Get(), L"COMAddIns").Get(), L"Item", {kProgId});
    orv::Put(self.Get(), L"Connect", Variant::Bool(false));
    simclient::ClearLog();
    EXPECT_EQ(S_OK, ui->Invalidate());
    EXPECT_EQ(L"RibbonUI[" + std::wstring(kProgId) + L"].Invalidate()\nHost: the ribbon of AddIn[" + kProgId + L"] is no longer shown\n",
              simclient::Log());
    EXPECT_TRUE(simclient::HostRibbonControls().empty());
    EXPECT_EQ(1, simclient::LiveObjects(L"RibbonUI")) << "the add-in still holds it";
    self.Reset();
    app.Reset();
    ui.Reset();
    simclient::HostShutdown();
}

TEST_F(HostRibbonControls, TheRibbonUITakesFaultRulesAndReportsThemThroughTheVtable) {
    Connect(kDocument, LR"([{"object":"RibbonUI","member":"Invalidate","hresult":"0x8000FFFF","description":"Ribbon busy"}])");
    ComPtr<IRibbonUI> ui;
    ASSERT_EQ(S_OK, ribbonUI_->QueryInterface(__uuidof(IRibbonUI), reinterpret_cast<void**>(ui.GetAddressOf())));
    EXPECT_EQ(E_UNEXPECTED, ui->Invalidate());
    IErrorInfo* info = nullptr;
    orv::Bstr description;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        info->GetDescription(description.put());
        info->Release();
    }
    EXPECT_EQ(L"Ribbon busy", description.str());
    EXPECT_EQ(E_UNEXPECTED, orvtest::FailureOf([&] { orv::Call(ribbonUI_.Get(), L"Invalidate"); }));
    ui.Reset();
    simclient::HostShutdown();
}

}  // namespace
