// The mail-client stand-in as a ribbon host (its 2010 version and later): which clients ask a
// connect object for its ribbon and when, what the host makes of the customUI document, how a
// click reaches the add-in's callback and what the callback's IRibbonControl answers.
#include <gtest/gtest.h>

#include <functional>

#include "dispatch.h"
#include "ribbon.h"
#include "sim_client.h"
#include "bstr.h"
#include "clipboard_files.h"
#include "test_host_addin.h"
#include "wine_test.h"

namespace {

using orvtest::Contains;
using Microsoft::WRL::ComPtr;
using orv::Variant;

const CLSID kRibbonClsid = {0x6C0E3A51, 0x2B7D, 0x4E1A, {0x9F, 0x30, 0x11, 0x5A, 0x7E, 0x42, 0xC8, 0x10}};
const wchar_t kProgId[] = L"OrvalisTest.RibbonAddIn";
const wchar_t kAddIn[] = L"AddIn[OrvalisTest.RibbonAddIn]";

const wchar_t kDocument[] = LR"(<customUI xmlns="http://schemas.microsoft.com/office/2009/07/customui">
  <ribbon><tabs><tab idMso="TabMail">
    <group id="TestGroup" label="Test Group">
      <button id="TestButton" label="Test" size="large" screentip="Test tip" supertip="Runs the test."
              imageMso="AddressBook" onAction="OnTestClick" tag="the tag"/>
      <button id="Plain" label="Plain" onAction="onTESTclick"/>
      <button id="Off" label="Off" enabled="false" onAction="OnTestClick"/>
      <button id="Idle" label="Idle"/>
      <button id="Stranger" label="Stranger" onAction="NoSuchCallback"/>
    </group></tab></tabs></ribbon></customUI>)";

using hosttest::TestAddIn;

// The test's ribbon add-in: the document above for the explorer's ribbon, and the callback
// OnTestClick, which runs onClick (when given) with the control the host passed.
TestAddIn* MakeRibbonAddIn(std::function<void(IDispatch* control)> onClick = nullptr) {
    auto* a = new TestAddIn;
    a->offersRibbon = true;
    a->document = kDocument;
    a->Answer(L"OnTestClick", [onClick](IDispatch* control, const std::vector<Variant>&) {
        if (onClick) onClick(control);
        return Variant();
    });
    return a;
}

std::wstring Scenario(const wchar_t* version, const wchar_t* hostExtra = L"") {
    std::wstring outlook = version ? LR"("outlook":{"version":")" + std::wstring(version) + LR"("},)" : L"";
    return L"{" + outlook + LR"("host":{"addinsKey":"Software\\OrvalisTest\\Outlook\\Addins")" + hostExtra + L"}}";
}

std::vector<std::wstring> ButtonIds() {
    std::vector<std::wstring> ids;
    for (const auto& b : simclient::HostRibbon()) ids.push_back(b.Attribute(L"id"));
    return ids;
}

class HostRibbon : public ::testing::Test {
protected:
    void TearDown() override {
        addIn_.Reset();
        simclient::LoadScenario(LR"({"host":{}})");
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
        EXPECT_EQ(0, TestAddIn::alive);
    }
    // A 2016 client with the test's add-in connected at start-up (mode 1), the log cleared.
    void Connect(const wchar_t* version = L"16.0.0.0") {
        simclient::LoadScenario(Scenario(version));
        addIn_ = MakeRibbonAddIn([this](IDispatch* control) {
            if (onClick_) onClick_(control);
        });
        addIn_->Release();  // mingw's ComPtr took a reference of its own
        if (setUp_) setUp_(*addIn_.Get());
        ASSERT_EQ(S_OK, simclient::HostAddAddIn(addIn_.Get(), L"Ribbon Test", kProgId, 1));
    }
    ComPtr<TestAddIn> addIn_;
    std::function<void(TestAddIn&)> setUp_;
    std::function<void(IDispatch* control)> onClick_;
};

TEST_F(HostRibbon, OnlyClientsFrom2010OnAskForTheExplorersRibbonOnceAfterOnConnection) {
    const std::wstring asks = std::wstring(kAddIn) + L".QueryInterface(IRibbonExtensibility)\n" + kAddIn +
                              L".GetCustomUI(\"Microsoft.Outlook.Explorer\")\nHost: the ribbon of " + kAddIn +
                              L" for \"Microsoft.Outlook.Explorer\": 1 tab, 1 group, 5 buttons (TestButton, Plain, Off, "
                              L"Idle, Stranger)\n";
    struct Row {
        const wchar_t* version;  // nullptr: the scenario gives none
        const wchar_t* answered;
        bool ribbon;
    } rows[] = {
        {nullptr, L"9.0.0.0", false},       {L"11.0.0.8312", L"11.0.0.8312", false},
        {L"12.0.0.6423", L"12.0.0.6423", false}, {L"14.0.0.4760", L"14.0.0.4760", true},
        {L"15", L"15", true},                {L"16.0.0.17328", L"16.0.0.17328", true},
    };
    for (const Row& r : rows) {
        const std::wstring label = r.answered;
        simclient::LoadScenario(Scenario(r.version));
        TestAddIn* made = nullptr;
        {
            hosttest::RegisteredClass cls(kRibbonClsid, kProgId, [&] { return made = MakeRibbonAddIn(); });
            hosttest::AddInEntry entry(kProgId, 3, L"Ribbon Test");
            simclient::ClearLog();
            simclient::HostStartup();
            ASSERT_TRUE(made) << label;
            ComPtr<TestAddIn> hold(made);
            std::vector<std::wstring> calls{L"OnConnection(1)", L"OnStartupComplete"};
            if (r.ribbon) calls.insert(calls.begin() + 1, L"GetCustomUI(Microsoft.Outlook.Explorer)");
            EXPECT_EQ(calls, made->calls) << label;
            EXPECT_EQ(L"Host.Startup()\n" + std::wstring(kAddIn) + L".Create()\n" + kAddIn + L".OnConnection(mode 1)\n" +
                          (r.ribbon ? asks : L"") + kAddIn + L".OnStartupComplete()\n",
                      simclient::Log())
                << label;
            EXPECT_EQ(r.ribbon ? 5u : 0u, simclient::HostRibbon().size()) << label;
            EXPECT_EQ(r.answered, orv::GetString(hosttest::CreateApplication().Get(), L"Version")) << label;

            simclient::HostShutdown();
            EXPECT_EQ(r.ribbon ? 5u : 4u, made->calls.size()) << label << ": nothing asked at shutdown";
            EXPECT_TRUE(simclient::HostRibbon().empty()) << label;
        }
        EXPECT_EQ(0, TestAddIn::alive) << label;
    }
}

TEST_F(HostRibbon, EachConnectionAsksOnceWhileAnExplorerIsOpenAndTheButtonsGoWithIt) {
    // Without an explorer the host asks when the first one opens.
    simclient::LoadScenario(Scenario(L"16.0.0.0", LR"(,"explorer":false)"));
    std::vector<ComPtr<TestAddIn>> made;
    hosttest::RegisteredClass cls(kRibbonClsid, kProgId, [&] {
        made.emplace_back(MakeRibbonAddIn());
        return made.back().Get();
    });
    hosttest::AddInEntry entry(kProgId, 3, L"Ribbon Test");
    simclient::HostStartup();
    ASSERT_EQ(1u, made.size());
    EXPECT_EQ((std::vector<std::wstring>{L"OnConnection(1)", L"OnStartupComplete"}), made[0]->calls);

    auto app = hosttest::CreateApplication();
    auto inbox = orv::GetObj(orv::GetObj(app.Get(), L"GetNamespace", {L"MAPI"}).Get(), L"GetDefaultFolder", {Variant::I4(6)});
    orv::Call(inbox.Get(), L"Display");
    orv::Call(inbox.Get(), L"Display");  // already open: nothing more
    EXPECT_EQ((std::vector<std::wstring>{L"OnConnection(1)", L"OnStartupComplete", L"GetCustomUI(Microsoft.Outlook.Explorer)"}),
              made[0]->calls);
    EXPECT_EQ(5u, ButtonIds().size());

    // Switched off, the add-in takes its buttons along; switched on again, it is asked anew.
    auto self = orv::GetObj(orv::GetObj(app.Get(), L"COMAddIns").Get(), L"Item", {kProgId});
    orv::Put(self.Get(), L"Connect", Variant::Bool(false));
    EXPECT_TRUE(ButtonIds().empty());
    EXPECT_EQ(E_INVALIDARG, orvtest::FailureOf([] { simclient::HostRibbonClick(L"TestButton"); }));
    orv::Put(self.Get(), L"Connect", Variant::Bool(true));
    ASSERT_EQ(2u, made.size());
    EXPECT_EQ((std::vector<std::wstring>{L"OnConnection(0)", L"GetCustomUI(Microsoft.Outlook.Explorer)"}), made[1]->calls);
    EXPECT_EQ(5u, ButtonIds().size());
    self.Reset();
    inbox.Reset();
    app.Reset();
    simclient::HostShutdown();
    made.clear();
}

// What the host makes of an add-in's answer: the buttons of a document it accepts, nothing
// for an empty one, and for every other one a refusal saying why. The connection stands.
TEST_F(HostRibbon, DocumentsAreReadWithAnXmlParserAndRefusedWithTheirReason) {
    const std::wstring ns = L"xmlns=\"http://schemas.microsoft.com/office/2009/07/customui\"";
    auto inGroup = [&](const std::wstring& controls) {
        return L"<customUI " + ns + L"><ribbon><tabs><tab idMso=\"TabMail\"><group id=\"G\">" + controls +
               L"</group></tab></tabs></ribbon></customUI>";
    };
    struct Row {
        const char* label;
        std::wstring document;
        std::wstring outcome;  // after "Host: the ribbon of AddIn[...] for "Microsoft.Outlook.Explorer""
        size_t shown = 0;      // the controls the host shows of it
    } rows[] = {
        {"prefixed, declared UTF-8, a menu's buttons not shown",
         L"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<!-- ours -->\r\n"
         L"<mso:customUI xmlns:mso=\"http://schemas.microsoft.com/office/2009/07/customui\"><mso:ribbon><mso:tabs>"
         L"<mso:tab id=\"Own\" label=\"Own\"><mso:group id=\"G\"><mso:button id=\"B\" label=\"B\"/><mso:menu id=\"M\">"
         L"<mso:button id=\"Inner\"/></mso:menu></mso:group></mso:tab></mso:tabs></mso:ribbon></mso:customUI>",
         L": 1 tab, 1 group, 1 button (B)", 1},
        {"no ribbon in it", L"<customUI " + ns + L"/>", L": 0 tabs, 0 groups, 0 buttons"},
        {"empty", L"", L" is empty: no customisation"},
        {"cut short", L"<customUI " + ns + L"><ribbon><tabs>", L" is refused: line 1, column 81: the document ends inside <tabs>"},
        {"end tag mismatch", L"<customUI " + ns + L"><ribbon></tabs></customUI>",
         L" is refused: line 1, column 87: an end tag does not match its start tag (0xC00CEE3B)"},
        {"attribute twice", inGroup(L"<button id=\"B\" label=\"a\" label=\"b\"/>"),
         L" is refused: line 1, column 122: <button> has the attribute label twice"},
        {"undeclared prefix", inGroup(L"<x:button id=\"B\"/>"),
         L" is refused: line 1, column 122: the prefix of <x:button> is not declared"},
        {"control character", inGroup(L"<button id=\"B\" label=\"a\x01\"/>"),
         L" is refused: line 1, column 144: the character U+0001 is not allowed in XML"},
        {"a DTD", L"<!DOCTYPE customUI []><customUI " + ns + L"/>",
         L" is refused: line 1, column 1: a document type declaration (DTD) is not allowed (0xC00CEE4F)"},
        {"two roots", L"<customUI " + ns + L"/><customUI " + ns + L"/>",
         L" is refused: line 1, column 73: a syntax error (text outside the root element, or a second root) (0xC00CEE2D)"},
        {"the 2007 namespace", L"<customUI xmlns=\"http://schemas.microsoft.com/office/2006/01/customui\"/>",
         L" is refused: line 1, column 2: the document's namespace is http://schemas.microsoft.com/office/2006/01/customui, "
         L"not http://schemas.microsoft.com/office/2009/07/customui"},
        {"no namespace", L"<customUI/>",
         L" is refused: line 1, column 2: the document is of no namespace, not http://schemas.microsoft.com/office/2009/07/customui"},
        {"root not customUI", L"<ribbon " + ns + L"/>", L" is refused: line 1, column 2: the root element is <ribbon>, not <customUI>"},
        {"foreign element", inGroup(L"<x:button xmlns:x=\"urn:other\" id=\"B\"/>"),
         L" is refused: line 1, column 122: <x:button> is not of the customUI namespace"},
        {"button without id", inGroup(L"<button label=\"B\"/>"),
         L" is refused: line 1, column 122: <button> needs exactly one of id, idMso and idQ"},
        {"id twice", inGroup(L"<button id=\"G\"/>"), L" is refused: line 1, column 122: the id \"G\" is given twice"},
        {"size neither normal nor large", inGroup(L"<button id=\"B\" size=\"huge\"/>"),
         L" is refused: line 1, column 122: <button> size: \"huge\" is neither normal nor large"},
        {"attribute in the wrong case", inGroup(L"<button id=\"B\" onaction=\"Go\"/>"),
         L" is refused: line 1, column 122: <button> has no attribute onaction"},
        {"empty onAction", inGroup(L"<button id=\"B\" onAction=\"\"/>"),
         L" is refused: line 1, column 122: <button> onAction: the value is empty"},
        {"label and getLabel", inGroup(L"<button id=\"B\" label=\"a\" getLabel=\"GetLabel\"/>"),
         L" is refused: line 1, column 122: <button> has both label and getLabel"},
        {"button outside a group", L"<customUI " + ns + L"><ribbon><tabs><button id=\"B\"/></tabs></ribbon></customUI>",
         L" is refused: line 1, column 87: <button> cannot stand in <tabs>"},
        {"text in a group", inGroup(L"Orvalis"), L" is refused: line 1, column 128: <group> holds text"},
        // checkBoxes, dropDowns and their items
        {"every attribute of the schema's", inGroup(L"<checkBox id=\"C\" label=\"c\" enabled=\"1\" visible=\"true\" keytip=\"K\" "
                                                    L"screentip=\"s\" supertip=\"t\" description=\"d\" tag=\"x\" getPressed=\"P\" "
                                                    L"onAction=\"A\"/><dropDown id=\"D\" getLabel=\"L\" imageMso=\"Help\" "
                                                    L"showLabel=\"0\" showImage=\"false\" showItemLabel=\"true\" showItemImage=\"0\" "
                                                    L"sizeString=\"WWWW\" getItemCount=\"N\" getSelectedItemID=\"S\" onAction=\"A\">"
                                                    L"<item id=\"I\" label=\"i\" imageMso=\"Help\" screentip=\"s\" supertip=\"t\"/>"
                                                    L"</dropDown>"),
         L": 1 tab, 1 group, 0 buttons, 1 checkBox, 1 dropDown (C, D)", 2},
        {"a checkBox outside a group", L"<customUI " + ns + L"><ribbon><tabs><tab idMso=\"TabMail\"><checkBox id=\"C\"/></tab></tabs></ribbon></customUI>",
         L" is refused: line 1, column 108: <checkBox> cannot stand in <tab>"},
        {"an item outside a dropDown", inGroup(L"<item id=\"I\"/>"), L" is refused: line 1, column 122: <item> cannot stand in <group>"},
        {"an item without an id", inGroup(L"<dropDown id=\"D\"><item label=\"i\"/></dropDown>"),
         L" is refused: line 1, column 139: <item> needs an id"},
        {"an item after the dropDown's buttons", inGroup(L"<dropDown id=\"D\"><button id=\"B\"/><item id=\"I\"/></dropDown>"),
         L" is refused: line 1, column 155: <item> cannot follow a <button> in <dropDown>"},
        {"an item id used twice", inGroup(L"<dropDown id=\"D\"><item id=\"D\"/></dropDown>"),
         L" is refused: line 1, column 139: the id \"D\" is given twice"},
        {"a size on a checkBox", inGroup(L"<checkBox id=\"C\" size=\"large\"/>"),
         L" is refused: line 1, column 122: <checkBox> has no attribute size"},
        {"a Boolean that isn't one", inGroup(L"<dropDown id=\"D\" showItemLabel=\"yes\"/>"),
         L" is refused: line 1, column 122: <dropDown> showItemLabel: \"yes\" is not true or false"},
        {"an empty getPressed", inGroup(L"<checkBox id=\"C\" getPressed=\"\"/>"),
         L" is refused: line 1, column 122: <checkBox> getPressed: the value is empty"},
        {"text in an item", inGroup(L"<dropDown id=\"D\"><item id=\"I\">CSV</item></dropDown>"),
         L" is refused: line 1, column 154: <item> holds text"},
        {"a checkBox without an id", inGroup(L"<checkBox label=\"C\"/>"),
         L" is refused: line 1, column 122: <checkBox> needs exactly one of id, idMso and idQ"},
    };
    for (const Row& r : rows) {
        setUp_ = [&](TestAddIn& a) { a.document = r.document; };
        simclient::ClearLog();
        Connect();
        const std::wstring line = std::wstring(L"Host: the ribbon of ") + kAddIn + L" for \"Microsoft.Outlook.Explorer\"" + r.outcome + L"\n";
        EXPECT_TRUE(Contains(simclient::Log(), line)) << r.label << "\n" << simclient::Log();
        EXPECT_EQ(r.shown, simclient::HostRibbonControls().size()) << r.label;
        EXPECT_TRUE(simclient::HostAddIns().back().connected) << r.label;
        simclient::HostShutdown();
        addIn_.Reset();
    }
}

// What an add-in sees of a click: one GetIDsOfNames for the onAction name, one Invoke with the
// IRibbonControl, and the control's Id, Context and Tag by vtable and by name alike.
TEST_F(HostRibbon, AClickCallsTheCallbackByNameWithTheButtonsControl) {
    struct Seen {
        std::wstring id, tag, idByName, tagByName, contextCaption;
        bool sameObject = false;
    } seen;
    onClick_ = [&](IDispatch* control) {
        // A C++ add-in may take the argument for the interface without asking.
        auto* direct = static_cast<IRibbonControl*>(control);
        orv::Bstr id, tag;
        ComPtr<IDispatch> context;
        EXPECT_EQ(S_OK, direct->get_Id(id.put()));
        EXPECT_EQ(S_OK, direct->get_Tag(tag.put()));
        EXPECT_EQ(S_OK, direct->get_Context(context.GetAddressOf()));
        seen.id = id.str();
        seen.tag = tag.str();
        seen.contextCaption = orv::GetString(context.Get(), L"Caption");
        seen.idByName = orv::GetString(control, L"Id");
        seen.tagByName = orv::GetString(control, L"Tag");
        ComPtr<IRibbonControl> asked;
        ComPtr<IUnknown> a1, a2;
        control->QueryInterface(__uuidof(IRibbonControl), reinterpret_cast<void**>(asked.GetAddressOf()));
        control->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(a1.GetAddressOf()));
        if (asked) asked->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(a2.GetAddressOf()));
        seen.sameObject = asked && a1 && a1 == a2;
        EXPECT_EQ(1, simclient::LiveObjects(L"RibbonControl"));
    };
    Connect();
    struct Row {
        const wchar_t* button;
        const wchar_t* action;  // as the document writes it
        const wchar_t* tag;
    } rows[] = {{L"TestButton", L"OnTestClick", L"the tag"}, {L"Plain", L"onTESTclick", L""}};
    for (const Row& r : rows) {
        addIn_->calls.clear();
        simclient::ClearLog();
        simclient::HostRibbonClick(r.button);
        const std::wstring control = L"RibbonControl[" + std::wstring(r.button) + L"]";
        EXPECT_EQ((std::vector<std::wstring>{L"GetIDsOfNames(" + std::wstring(r.action) + L", 1 name, lcid 1024, IID_NULL)",
                                             L"Invoke(1001, flags 1, 1 argument, 0 named, vt 9, result)"}),
                  addIn_->calls)
            << r.button;
        EXPECT_EQ(L"Host.RibbonClick(\"" + std::wstring(r.button) + L"\")\n" + kAddIn + L".GetIDsOfNames(\"" + r.action +
                      L"\")\n" + kAddIn + L".Invoke(1001 \"" + r.action + L"\", DISPATCH_METHOD, " + control + L")\n" + control +
                      L".Id()\n" + control + L".Tag()\n" + control + L".Context()\nExplorer.Caption()\n" + control + L".Id()\n" +
                      control + L".Tag()\n",
                  simclient::Log())
            << r.button;
        EXPECT_EQ(r.button, seen.id);
        EXPECT_EQ(r.button, seen.idByName);
        EXPECT_EQ(r.tag, seen.tag);
        EXPECT_EQ(r.tag, seen.tagByName);
        EXPECT_EQ(L"Inbox", seen.contextCaption);
        EXPECT_TRUE(seen.sameObject) << "one identity behind IDispatch and IRibbonControl";
        EXPECT_EQ(0, simclient::LiveObjects(L"RibbonControl")) << "the host let go after the call";
    }
    simclient::HostShutdown();
}

// A click that can't run says so to its caller, with the HRESULT of what failed, and the log
// says what the host did.
TEST_F(HostRibbon, ClicksThatFailAreLoggedAndReported) {
    struct Row {
        const char* label;
        const wchar_t* button;
        HRESULT actionResult;
        const wchar_t* actionFailure;
        HRESULT reported;
        std::wstring logged;  // after Host.RibbonClick("button")
    } rows[] = {
        {"unknown callback name", L"Stranger", S_OK, L"", DISP_E_UNKNOWNNAME,
         std::wstring(kAddIn) + L".GetIDsOfNames(\"NoSuchCallback\")\n" + kAddIn + L".GetIDsOfNames failed 0x80020006 \"\"\n"},
        {"callback fails with exception info", L"TestButton", E_ACCESSDENIED, L"The window cannot open", E_ACCESSDENIED,
         std::wstring(kAddIn) + L".GetIDsOfNames(\"OnTestClick\")\n" + kAddIn +
             L".Invoke(1001 \"OnTestClick\", DISPATCH_METHOD, RibbonControl[TestButton])\n" + kAddIn +
             L".Invoke failed 0x80070005 \"The window cannot open\"\n"},
        {"callback fails bare", L"TestButton", E_OUTOFMEMORY, L"", E_OUTOFMEMORY,
         std::wstring(kAddIn) + L".GetIDsOfNames(\"OnTestClick\")\n" + kAddIn +
             L".Invoke(1001 \"OnTestClick\", DISPATCH_METHOD, RibbonControl[TestButton])\n" + kAddIn +
             L".Invoke failed 0x8007000E \"\"\n"},
        {"disabled button", L"Off", S_OK, L"", E_ACCESSDENIED, L"Host: the ribbon button \"Off\" is disabled\n"},
        {"no onAction: nothing happens", L"Idle", S_OK, L"", S_OK, L"Host: the ribbon button \"Idle\" has no onAction\n"},
        {"no such button", L"Missing", S_OK, L"", E_INVALIDARG, L""},
    };
    Connect();
    for (const Row& r : rows) {
        addIn_->callbackResult = r.actionResult;
        addIn_->callbackFailure = r.actionFailure;
        simclient::ClearLog();
        std::wstring description;
        HRESULT hr = S_OK;
        try {
            simclient::HostRibbonClick(r.button);
        } catch (const orv::Error& e) {
            hr = e.hr();
            description = e.description();
        }
        EXPECT_EQ(r.reported, hr) << r.label;
        EXPECT_EQ(L"Host.RibbonClick(\"" + std::wstring(r.button) + L"\")\n" + r.logged, simclient::Log()) << r.label;
        if (*r.actionFailure) {
            EXPECT_TRUE(Contains(description, r.actionFailure)) << r.label << ": " << description;
        }
    }
    EXPECT_TRUE(simclient::HostAddIns().back().connected) << "a failed callback leaves the add-in connected";
    simclient::HostShutdown();
}

// The control follows the automation rules (wrong calls fail cleanly), takes fault rules like
// every stand-in object, and lives as long as somebody holds it.
TEST_F(HostRibbon, RibbonControlFollowsAutomationRulesAndTakesFaultRules) {
    std::vector<std::pair<std::wstring, HRESULT>> results;
    auto note = [&](const wchar_t* what, HRESULT hr) { results.emplace_back(what, hr); };
    ComPtr<IDispatch> kept;
    onClick_ = [&](IDispatch* control) {
        kept = control;
        auto* direct = static_cast<IRibbonControl*>(control);
        note(L"get_Id(null)", direct->get_Id(nullptr));
        note(L"Id(1)", orvtest::FailureOf([&] { orv::Call(control, L"Id", {Variant::I4(1)}); }));
        // The raw answers, not the run-time error the client helpers make of them.
        Variant x = Variant::Str(L"x");
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS put{const_cast<VARIANT*>(&x.get()), &putId, 1, 1};
        note(L"Id = x", control->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr));
        std::wstring caption = L"Caption";
        LPOLESTR names[] = {caption.data()};
        DISPID dispid = 0;
        note(L"Caption", control->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid));
        DISPPARAMS none{};
        VARIANT v;
        VariantInit(&v);
        note(L"DISPID 2", control->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr));
        note(L"DISPID 2 is an object", v.vt == VT_DISPATCH && v.pdispVal ? S_OK : E_FAIL);
        VariantClear(&v);
        note(L"DISPID 4", control->Invoke(4, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr));
        simclient::LoadScenario(LR"({"outlook":{"version":"16.0.0.0"},"faults":[
            {"object":"RibbonControl","id":"TestButton","member":"Id","hresult":"0x80004005","description":"no id"},
            {"object":"RibbonControl","member":"Context","returns":"nothing"},
            {"object":"RibbonControl","member":"Tag","returns":"wrongType"}]})");
        orv::Bstr id, tag;
        ComPtr<IDispatch> context;
        note(L"get_Id failing", direct->get_Id(id.put()));
        IErrorInfo* info = nullptr;
        orv::Bstr description;
        if (GetErrorInfo(0, &info) == S_OK && info) {
            info->GetDescription(description.put());
            info->Release();
        }
        note((L"error info " + description.str()).c_str(), S_OK);
        note(L"get_Context Nothing", direct->get_Context(context.GetAddressOf()));
        note(context ? L"an object" : L"no object", S_OK);
        note(L"get_Tag wrong type", direct->get_Tag(tag.put()));
        note(L"Tag by name wrong type", orv::Call(control, L"Tag").vt() == (VT_ARRAY | VT_VARIANT) ? S_OK : E_FAIL);
    };
    Connect();
    simclient::HostRibbonClick(L"TestButton");
    EXPECT_EQ((std::vector<std::pair<std::wstring, HRESULT>>{
                  {L"get_Id(null)", E_POINTER}, {L"Id(1)", DISP_E_BADPARAMCOUNT}, {L"Id = x", DISP_E_MEMBERNOTFOUND},
                  {L"Caption", DISP_E_UNKNOWNNAME}, {L"DISPID 2", S_OK}, {L"DISPID 2 is an object", S_OK},
                  {L"DISPID 4", DISP_E_MEMBERNOTFOUND}, {L"get_Id failing", E_FAIL}, {L"error info no id", S_OK},
                  {L"get_Context Nothing", S_OK}, {L"no object", S_OK}, {L"get_Tag wrong type", DISP_E_TYPEMISMATCH},
                  {L"Tag by name wrong type", S_OK}}),
              results);
    EXPECT_EQ(1, simclient::LiveObjects(L"RibbonControl")) << "the add-in still holds it";
    kept.Reset();
    EXPECT_EQ(0, simclient::LiveObjects(L"RibbonControl"));
    simclient::HostShutdown();
}

TEST_F(HostRibbon, ExplorerCommandBarsWorkButAreLoggedAsHiddenFrom2010On) {
    struct Row {
        const wchar_t* version;
        const wchar_t* logged;
    } rows[] = {{L"9.0.0.0", L"Explorer.CommandBars()\n"},
                {L"12.0.0.6423", L"Explorer.CommandBars()\n"},
                {L"14.0.0.4760", L"Explorer.CommandBars() [hidden]\n"},
                {L"16.0.0.0", L"Explorer.CommandBars() [hidden]\n"}};
    for (const Row& r : rows) {
        simclient::LoadScenario(Scenario(r.version));
        auto explorer = orv::GetObj(hosttest::CreateApplication().Get(), L"ActiveExplorer");
        simclient::ClearLog();
        auto bars = orv::GetObj(explorer.Get(), L"CommandBars");
        EXPECT_EQ(3, orv::ToLong(orv::Call(bars.Get(), L"Count"))) << r.version;
        EXPECT_EQ(std::wstring(r.logged) + L"CommandBars.Count()\n", simclient::Log()) << r.version;
    }
}

// The host asks the same way for another ribbon (an inspector's) when a test wants to know what
// an add-in answers there.
TEST_F(HostRibbon, GetCustomUIForAnotherRibbonIsAskedOnDemand) {
    Connect();
    simclient::ClearLog();
    EXPECT_EQ(L"", simclient::HostGetCustomUI(L"orvalistest.ribbonaddin", L"Microsoft.Outlook.Mail.Read"));
    EXPECT_EQ(std::wstring(kAddIn) + L".QueryInterface(IRibbonExtensibility)\n" + kAddIn +
                  L".GetCustomUI(\"Microsoft.Outlook.Mail.Read\")\nHost: the ribbon of " + kAddIn +
                  L" for \"Microsoft.Outlook.Mail.Read\" is empty: no customisation\n",
              simclient::Log());
    EXPECT_EQ(kDocument, simclient::HostGetCustomUI(kProgId, contract::kExplorerRibbonId));
    EXPECT_EQ(5u, simclient::HostRibbon().size()) << "asking shows nothing more";
    EXPECT_EQ(E_INVALIDARG, orvtest::FailureOf([] { simclient::HostGetCustomUI(L"Nobody.There", L"Microsoft.Outlook.Mail.Read"); }));
    addIn_->offersRibbon = false;
    EXPECT_EQ(E_NOINTERFACE, orvtest::FailureOf([] { simclient::HostGetCustomUI(kProgId, L"Microsoft.Outlook.Mail.Read"); }));
    simclient::HostShutdown();
}

// An add-in without a ribbon, or whose GetCustomUI fails, stays connected without buttons.
TEST_F(HostRibbon, AnAddInWithoutARibbonStaysConnectedWithoutButtons) {
    struct Row {
        const char* label;
        bool offersRibbon;
        HRESULT getCustomUIResult;
        std::wstring logged;  // after OnConnection
    } rows[] = {
        {"no IRibbonExtensibility", false, S_OK,
         std::wstring(kAddIn) + L".QueryInterface(IRibbonExtensibility)\n" + kAddIn + L".QueryInterface failed 0x80004002 \"\"\n"},
        {"GetCustomUI fails", true, E_UNEXPECTED,
         std::wstring(kAddIn) + L".QueryInterface(IRibbonExtensibility)\n" + kAddIn +
             L".GetCustomUI(\"Microsoft.Outlook.Explorer\")\n" + kAddIn + L".GetCustomUI failed 0x8000FFFF \"\"\n"},
    };
    for (const Row& r : rows) {
        setUp_ = [&](TestAddIn& a) {
            a.offersRibbon = r.offersRibbon;
            a.getCustomUIResult = r.getCustomUIResult;
        };
        simclient::ClearLog();
        Connect();
        EXPECT_EQ(std::wstring(kAddIn) + L".OnConnection(mode 1)\n" + r.logged, simclient::Log()) << r.label;
        EXPECT_TRUE(simclient::HostRibbon().empty()) << r.label;
        EXPECT_TRUE(simclient::HostAddIns().back().connected) << r.label;
        simclient::HostShutdown();
        addIn_.Reset();
    }
}

TEST_F(HostRibbon, VersionInTheScenarioIsCheckedWithItsPlace) {
    struct Row {
        const wchar_t* version;  // as JSON
        const wchar_t* problem;  // "" when it loads
    } rows[] = {
        {L"\"16\"", L""},
        {L"\"14.0.0.4760\"", L""},
        {L"16", L"outlook.version: expected a string, not a number"},
        {L"\"sixteen\"", L"outlook.version: \"sixteen\" is not a version number (as \"16.0.0.0\")"},
        {L"\"16.\"", L"outlook.version: \"16.\" is not a version number (as \"16.0.0.0\")"},
        {L"\"0.1\"", L"outlook.version: \"0.1\" is not a version number (as \"16.0.0.0\")"},
        {L"\"16.0.0.0.1\"", L"outlook.version: \"16.0.0.0.1\" is not a version number (as \"16.0.0.0\")"},
    };
    for (const Row& r : rows) {
        std::wstring problem;
        try {
            simclient::LoadScenario(LR"({"outlook":{"version":)" + std::wstring(r.version) + L"}}");
        } catch (const orv::Error& e) {
            problem = e.description();
        }
        EXPECT_EQ(r.problem, problem) << r.version;
    }
    EXPECT_EQ(E_INVALIDARG, orvtest::FailureOf([] { simclient::HostSetVersion(L"16.x"); }));
}

// OrvalisHost.exe in a process of its own: the ribbon steps, and the fast shutdown that ends
// the process without a word to the add-ins.
TEST_F(HostRibbon, HostProgramListsClicksAndEndsFast) {
    std::wstring dir = orvtest::ScratchDir(L"host_ribbon");
    std::wstring log = dir + L"\\log.txt", state = dir + L"\\state.json", scenario = dir + L"\\scenario.json",
                 script = dir + L"\\steps.txt";
    orvtest::WriteBytes(scenario, R"({"outlook":{"version":"16.0.0.0"},"host":{"addinsKey":"Software\\OrvalisTest\\Outlook\\Addins"}})");
    orvtest::WriteBytes(script, "startup\nribbon-select  Format   2\nshutdown\n");
    SetEnvironmentVariableW(L"ORVALIS_SIM_LOG", log.c_str());
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", state.c_str());
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", scenario.c_str());
    std::wstring exe = L"\"" + orvtest::BuildPath(L"sim\\host\\OrvalisHost.exe") + L"\" ";
    struct Row {
        const char* label;
        std::wstring args;
        DWORD exitCode;
        const char* output;
        const wchar_t* logged;
    } rows[] = {
        {"ribbon steps", L"startup ribbon ribbon-click Missing shutdown", 1,
         "startup: ok\nribbon: no ribbon controls\nribbon-click Missing: failed 0x80070057 No ribbon control has the id \"Missing\"\n",
         L"Host.Startup()\nHost.RibbonClick(\"Missing\")\n"},
        {"a choice by item id", L"startup ribbon-select Format Csv", 1,
         "startup: ok\nribbon-select Format Csv: failed 0x80070057 No ribbon control has the id \"Format\"\n",
         L"Host.Startup()\nHost.RibbonSelect(\"Format\", \"Csv\")\n"},
        {"a choice by index, in a script", L"script \"" + script + L"\"", 1,
         "startup: ok\nribbon-select Format 2: failed 0x80070057 No ribbon control has the id \"Format\"\n",
         L"Host.Startup()\nHost.RibbonSelect(\"Format\", 2)\n"},
        {"fast exit", L"startup fast-exit shutdown", 0, "startup: ok\nfast-exit: ending now\n",
         L"Host.Startup()\nHost.FastExit()\n"},
    };
    for (const Row& r : rows) {
        DeleteFileW(log.c_str());
        DeleteFileW(state.c_str());
        std::string output;
        EXPECT_EQ(r.exitCode, orvtest::RunProcess(exe + r.args, output, 60000)) << r.label;
        EXPECT_EQ(r.output, output) << r.label;
        EXPECT_EQ(r.logged, orvtest::FileText(log)) << r.label;
    }
    EXPECT_TRUE(Contains(orvtest::FileText(state), L"\"bars\"")) << "the fast exit saved the host's state";
    SetEnvironmentVariableW(L"ORVALIS_SIM_LOG", nullptr);
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", nullptr);
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", nullptr);
}

}  // namespace
