// The list's two options on the ribbon of a client from 2010 on, through the mail-client
// stand-in: what the controls show at start-up from the user's registry key (and from values
// that are absent, unknown or of another type), what a tick and a choice write there and the
// next start-up shows, the window's output in the chosen form, a client up to 2007 that never
// sees any of it, and the callbacks' answers to wrong arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bstr.h"
#include "clipboard_files.h"
#include "dispatch.h"
#include "form1_layout.h"
#include "handles.h"
#include "sim_client.h"
#include "wine_test.h"

namespace {

using Microsoft::WRL::ComPtr;
using orv::Variant;

const wchar_t kProgId[] = L"ORVALISutility.Addin";
const wchar_t kOptionsKey[] = L"Software\\Orvalis\\Options";
const wchar_t kNested[] = L"OrvalisExpandNested";
const wchar_t kFormat[] = L"OrvalisListFormat";

std::wstring Scenario(const std::wstring& version) {
    return L"{\"outlook\":{\"version\":\"" + version + L"\"},\"host\":{},"
           L"\"cdo\":{\"directory\":[{\"id\":\"bob\",\"name\":\"Lee, Bob\",\"type\":\"SMTP\",\"address\":\"bob@example.com\"}],"
           L"\"picks\":[[\"bob\"],[\"bob\"]]}}";
}

void ForgetOptions() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Orvalis"); }

void SetDword(const wchar_t* name, DWORD value) {
    orv::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kOptionsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr));
    RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void SetString(const wchar_t* name, const std::wstring& value) {
    orv::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kOptionsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr));
    RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// "REG_DWORD 1", "REG_SZ csv", or "absent".
std::wstring Stored(const wchar_t* name) {
    orv::RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kOptionsKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return L"absent";
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return L"absent";
    std::vector<BYTE> data(size + sizeof(wchar_t));
    RegQueryValueExW(key.get(), name, nullptr, &type, data.data(), &size);
    if (type == REG_DWORD) return L"REG_DWORD " + std::to_wstring(*reinterpret_cast<DWORD*>(data.data()));
    if (type == REG_SZ) return L"REG_SZ " + std::wstring(reinterpret_cast<wchar_t*>(data.data()));
    return L"type " + std::to_wstring(type);
}

// What the ribbon shows: "ticked/2" for a ticked checkBox and the third item chosen.
std::wstring Shown() {
    return std::wstring(simclient::HostRibbonControl(kNested).pressed ? L"ticked" : L"unticked") + L"/" +
           std::to_wstring(simclient::HostRibbonControl(kFormat).selected);
}

HWND Window() { return FindWindowW(form1::kWindowClass, form1::kCaption); }

class AddinOptions : public testing::Test {
protected:
    void SetUp() override { ForgetOptions(); }
    void TearDown() override {
        simclient::HostShutdown();
        simclient::LoadScenario(L"{\"host\":{}}");
        ForgetOptions();
        EXPECT_EQ(nullptr, Window());
    }
    void Start(const std::wstring& version = L"16.0.0.0") {
        simclient::LoadScenario(Scenario(version));
        simclient::ClearLog();
        simclient::HostStartup();
    }
    orvtest::DialogWatcher dialogs_;
};

TEST_F(AddinOptions, TheControlsShowWhatTheUserLeftAndTheDefaultsForAnythingElse) {
    const struct {
        const char* label;
        void (*set)();
        const wchar_t* shown;
    } rows[] = {
        {"no key: off, address name", [] {}, L"unticked/0"},
        {"on, mailman", [] { SetDword(L"ExpandNested", 1); SetString(L"ListFormat", L"mailman"); }, L"ticked/1"},
        {"off, csv", [] { SetDword(L"ExpandNested", 0); SetString(L"ListFormat", L"csv"); }, L"unticked/2"},
        {"address-name by name", [] { SetString(L"ListFormat", L"address-name"); }, L"unticked/0"},
        {"a number that is neither 0 nor 1", [] { SetDword(L"ExpandNested", 2); }, L"unticked/0"},
        {"the flag as text", [] { SetString(L"ExpandNested", L"1"); }, L"unticked/0"},
        {"a name in other letter case", [] { SetString(L"ListFormat", L"CSV"); }, L"unticked/0"},
        {"an unknown name", [] { SetString(L"ListFormat", L"json"); }, L"unticked/0"},
        {"the format as a number", [] { SetDword(L"ListFormat", 2); }, L"unticked/0"},
        {"an overlong name", [] { SetString(L"ListFormat", std::wstring(300, L'c')); }, L"unticked/0"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        ForgetOptions();
        r.set();
        Start();
        EXPECT_EQ(r.shown, Shown());
        simclient::HostShutdown();
    }
}

TEST_F(AddinOptions, ATickAndAChoiceAreKeptForTheNextStartUp) {
    Start();
    simclient::HostRibbonClick(kNested);
    EXPECT_EQ(L"REG_DWORD 1", Stored(L"ExpandNested"));
    EXPECT_EQ(L"absent", Stored(L"ListFormat")) << "written when changed, and only then";
    simclient::HostRibbonSelect(kFormat, L"FormatCsv");
    EXPECT_EQ(L"REG_SZ csv", Stored(L"ListFormat"));
    simclient::HostRibbonSelectIndex(kFormat, 1);
    EXPECT_EQ(L"REG_SZ mailman", Stored(L"ListFormat"));
    simclient::HostShutdown();

    Start();
    EXPECT_EQ(L"ticked/1", Shown());
    simclient::HostRibbonClick(kNested);
    simclient::HostRibbonSelect(kFormat, L"FormatAddressName");
    EXPECT_EQ(L"REG_DWORD 0", Stored(L"ExpandNested"));
    EXPECT_EQ(L"REG_SZ address-name", Stored(L"ListFormat"));
}

// The window's Copy to Clipboard writes the chosen form; a change while the window is open
// counts at the next copy.
TEST_F(AddinOptions, TheWindowCopiesTheListInTheChosenForm) {
    Start();
    simclient::HostRibbonSelect(kFormat, L"FormatMailman");
    simclient::HostRibbonClick(L"OrvalisButton");
    ASSERT_NE(nullptr, Window());
    auto click = [](const wchar_t* caption) { SendMessageW(FindWindowExW(Window(), nullptr, L"Button", caption), BM_CLICK, 0, 0); };
    click(L"Create List");
    click(L"Copy to Clipboard");
    EXPECT_EQ(L"\"Lee, Bob\" <bob@example.com>\r\n", orvtest::ClipboardText());
    simclient::HostRibbonSelect(kFormat, L"FormatCsv");
    click(L"Copy to Clipboard");
    EXPECT_EQ(L"address,name\r\nbob@example.com,\"Lee, Bob\"\r\n", orvtest::ClipboardText());
    simclient::HostRibbonSelect(kFormat, L"FormatAddressName");
    click(L"Copy to Clipboard");
    EXPECT_EQ(L"bob@example.com Lee, Bob\r\n", orvtest::ClipboardText());
}

// Up to 2007 there is no ribbon: whatever the key holds, the list is written as it always was.
TEST_F(AddinOptions, AClientWithoutARibbonNeverSeesTheOptions) {
    SetDword(L"ExpandNested", 1);
    SetString(L"ListFormat", L"csv");
    Start(L"11.0.0.8312");
    simclient::HostClick(L"Standard/Orvalis");
    ASSERT_NE(nullptr, Window());
    SendMessageW(FindWindowExW(Window(), nullptr, L"Button", L"Create List"), BM_CLICK, 0, 0);
    SendMessageW(FindWindowExW(Window(), nullptr, L"Button", L"Copy to Clipboard"), BM_CLICK, 0, 0);
    EXPECT_EQ(L"bob@example.com Lee, Bob\r\n", orvtest::ClipboardText());
    for (const auto& line : simclient::SplitLines(simclient::Log()))
        EXPECT_EQ(std::wstring::npos, line.find(L"OrvalisExpandNested")) << "no option callback on this client";
}

TEST_F(AddinOptions, TheOptionsCallbacksRefuseWrongArgumentsCleanly) {
    simclient::LoadScenario(Scenario(L"16.0.0.0"));
    ComPtr<IDispatch> addin = orv::QueryAs<IDispatch>(orv::CreateObject(kProgId).Get(), IID_IDispatch);
    ComPtr<IDispatch> control = orv::QueryAs<IDispatch>(orv::CreateObject(L"Outlook.Application").Get(), IID_IDispatch);
    auto idOf = [&](const wchar_t* name) {
        DISPID id = DISPID_UNKNOWN;
        auto* n = const_cast<LPOLESTR>(name);
        EXPECT_EQ(S_OK, addin->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id)) << name;
        return id;
    };
    const DISPID pressed = idOf(L"GetOrvalisExpandNested"), nested = idOf(L"OnOrvalisExpandNested"),
                 index = idOf(L"GetOrvalisListFormat"), format = idOf(L"onorvalislistformat");
    const Variant object = Variant::Object(control.Get());
    // Arguments in the callback's own order; Invoke gets them last first.
    const struct {
        const char* label;
        DISPID id;
        std::vector<Variant> args;
        HRESULT hr;
        UINT argErr;
    } calls[] = {
        {"getPressed without the control", pressed, {}, DISP_E_BADPARAMCOUNT, 99},
        {"getPressed with a string", pressed, {Variant::Str(L"x")}, DISP_E_TYPEMISMATCH, 0},
        {"checkBox onAction without its state", nested, {object}, DISP_E_BADPARAMCOUNT, 99},
        {"checkBox onAction with a number for its state", nested, {object, Variant::I4(1)}, DISP_E_TYPEMISMATCH, 0},
        {"checkBox onAction with its arguments swapped", nested, {Variant::Bool(true), object}, DISP_E_TYPEMISMATCH, 1},
        {"getSelectedItemIndex with two", index, {object, object}, DISP_E_BADPARAMCOUNT, 99},
        {"dropDown onAction without the index", format, {object, Variant::Str(L"FormatCsv")}, DISP_E_BADPARAMCOUNT, 99},
        {"dropDown onAction with the index as text", format, {object, Variant::Str(L"FormatCsv"), Variant::Str(L"2")},
         DISP_E_TYPEMISMATCH, 0},
        {"dropDown onAction with an item of no document", format, {object, Variant::Str(L"FormatJson"), Variant::I4(7)},
         DISP_E_BADINDEX, 1},
    };
    for (const auto& c : calls) {
        std::vector<VARIANT> raw;
        for (auto it = c.args.rbegin(); it != c.args.rend(); ++it) raw.push_back(it->get());
        DISPPARAMS dp{raw.empty() ? nullptr : raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
        EXCEPINFO ei{};
        UINT argErr = 99;
        Variant result;
        EXPECT_EQ(c.hr, addin->Invoke(c.id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, result.put(), &ei, &argErr))
            << c.label;
        EXPECT_EQ(c.argErr, argErr) << c.label;
    }
    EXPECT_EQ(L"absent", Stored(L"ExpandNested")) << "no wrong call changed an option";
    EXPECT_EQ(L"absent", Stored(L"ListFormat"));

    // Right ones, by reference as a script would pass them: the choice is made and answered.
    auto invoke = [&](DISPID id, std::vector<VARIANT> args, VARIANT* result) {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPPARAMS dp{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        return addin->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, result, nullptr, nullptr);
    };
    orv::Bstr item(L"FormatMailman");
    BSTR itemText = item.get();
    LONG at = 1;
    VARIANT_BOOL on = VARIANT_TRUE;
    VARIANT byRefItem{}, byRefIndex{}, byRefState{};
    byRefItem.vt = VT_BYREF | VT_BSTR;
    byRefItem.pbstrVal = &itemText;
    byRefIndex.vt = VT_BYREF | VT_I4;
    byRefIndex.plVal = &at;
    byRefState.vt = VT_BYREF | VT_BOOL;
    byRefState.pboolVal = &on;
    EXPECT_EQ(S_OK, invoke(format, {object.get(), byRefItem, byRefIndex}, nullptr));
    EXPECT_EQ(S_OK, invoke(nested, {object.get(), byRefState}, nullptr));
    Variant answer;
    EXPECT_EQ(S_OK, invoke(index, {object.get()}, answer.put()));
    EXPECT_EQ(VT_I4, answer.vt());
    EXPECT_EQ(1, orv::ToLong(answer));
    EXPECT_EQ(S_OK, invoke(pressed, {object.get()}, answer.put()));
    EXPECT_EQ(VT_BOOL, answer.vt());
    EXPECT_TRUE(orv::ToBool(answer));
    EXPECT_EQ(L"REG_SZ mailman", Stored(L"ListFormat"));
    EXPECT_EQ(L"REG_DWORD 1", Stored(L"ExpandNested"));
    control.Reset();
    addin.Reset();
}

}  // namespace
