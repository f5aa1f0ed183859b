// The client as a ribbon host (2010 and later): it asks each connected add-in for the customUI
// document of the explorer's ribbon, shows the buttons of a document it accepts, and runs a
// button's onAction callback by name through the add-in's IDispatch.
#include "bstr.h"
#include "client.h"
#include "error.h"
#include "host_objects.h"
#include "ribbon.h"
#include "sim_state.h"

namespace sim::outlook {

namespace {

// The locale the host names and calls callbacks in.
constexpr LCID kCallbackLocale = LOCALE_USER_DEFAULT;

ComPtr<IRibbonExtensibility> RibbonExtensibility(const AddIn& a, IUnknown* object) {
    ComPtr<IRibbonExtensibility> ext;
    LogLine(Target(a) + L".QueryInterface(IRibbonExtensibility)");
    SetErrorInfo(0, nullptr);
    HRESULT hr = object->QueryInterface(__uuidof(IRibbonExtensibility), reinterpret_cast<void**>(ext.GetAddressOf()));
    if (FAILED(hr) || !ext) {
        ReportFailure(a, L"QueryInterface", FAILED(hr) ? hr : E_NOINTERFACE);
        return nullptr;
    }
    return ext;
}

// GetCustomUI through the vtable: the document, or Failure with the add-in's HRESULT.
std::wstring CallGetCustomUI(const AddIn& a, IRibbonExtensibility* ext, const std::wstring& ribbonId) {
    LogLine(Target(a) + L".GetCustomUI(\"" + ribbonId + L"\")");
    SetErrorInfo(0, nullptr);
    orv::Bstr id(ribbonId);
    BSTR xml = nullptr;
    HRESULT hr = ext->GetCustomUI(id.get(), &xml);
    orv::Bstr answer;
    *answer.put() = xml;
    if (FAILED(hr)) {
        ReportFailure(a, L"GetCustomUI", hr);
        Fail(hr, Target(a) + L".GetCustomUI(\"" + ribbonId + L"\") failed");
    }
    if (LogResults()) LogLine(L"<- " + Target(a) + L".GetCustomUI BSTR");
    return answer.str();
}

std::wstring Count(size_t n, const wchar_t* one, const wchar_t* many) {
    return std::to_wstring(n) + L" " + (n == 1 ? one : many);
}

// What the host makes of an answer: "" (no customisation) or a document it shows, or refuses
// as the real client does (its ribbon is then not shown). Each outcome is one log line.
std::vector<RibbonButton> Judge(const AddIn& a, const std::wstring& ribbonId, const std::wstring& xml) {
    const std::wstring what = L"Host: the ribbon of " + Target(a) + L" for \"" + ribbonId + L"\"";
    if (xml.empty()) {
        LogLine(what + L" is empty: no customisation");
        return {};
    }
    try {
        CustomUI ui = ParseCustomUI(xml);
        std::wstring ids;
        for (const RibbonButton& b : ui.buttons) ids += (ids.empty() ? L"" : L", ") + b.Attribute(L"id", b.Attribute(L"idMso", b.Attribute(L"idQ")));
        LogLine(what + L": " + Count(ui.tabs, L"tab", L"tabs") + L", " + Count(ui.groups, L"group", L"groups") + L", " +
                Count(ui.buttons.size(), L"button", L"buttons") + (ids.empty() ? L"" : L" (" + ids + L")"));
        return std::move(ui.buttons);
    } catch (const CustomUIRefusal& r) {
        LogLine(what + L" is refused: " + r.Text());
        return {};
    }
}

// The shown button with this id, and the add-in it belongs to (the first in the list when two
// add-ins' documents use one id).
std::pair<AddInPtr, const RibbonButton*> FindButton(const std::wstring& buttonId) {
    for (const auto& a : TheHost().addIns) {
        if (!a->connected || !a->object) continue;
        for (const RibbonButton& b : a->ribbon)
            if (b.Id() == buttonId) return {a, &b};
    }
    return {nullptr, nullptr};
}

bool IsFalse(const std::wstring& value) { return value == L"false" || value == L"0"; }

// The description and code of a failed Invoke, from its exception info when it gives one.
HRESULT InvokeFailure(HRESULT hr, EXCEPINFO& excep, std::wstring& description) {
    if (hr == DISP_E_EXCEPTION) {
        if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
        if (excep.bstrDescription) description = excep.bstrDescription;
        if (FAILED(excep.scode)) hr = excep.scode;
    }
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
    return hr;
}

void RunCallback(const AddInPtr& a, const RibbonButton& button, const std::wstring& action) {
    ComPtr<IUnknown> object = a->object;  // the add-in may switch itself off inside the callback
    ComPtr<IDispatch> dispatch;
    if (FAILED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()))) || !dispatch) {
        LogLine(Target(*a) + L": no IDispatch for the callback \"" + action + L"\"");
        Fail(E_NOINTERFACE, Target(*a) + L" has no IDispatch to call " + action + L" on");
    }

    LogLine(Target(*a) + L".GetIDsOfNames(\"" + action + L"\")");
    SetErrorInfo(0, nullptr);
    std::wstring name = action;
    LPOLESTR names[] = {name.data()};
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, kCallbackLocale, &dispid);
    if (FAILED(hr)) {
        ReportFailure(*a, L"GetIDsOfNames", hr);
        Fail(hr, Target(*a) + L" does not know the callback \"" + action + L"\" (" + HexCode(hr) + L")");
    }

    ComPtr<IDispatch> control = NewRibbonControl(button.Id(), button.Attribute(L"tag"));
    LogLine(Target(*a) + L".Invoke(" + std::to_wstring(dispid) + L" \"" + action + L"\", DISPATCH_METHOD, RibbonControl[" +
            button.Id() + L"])");
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_DISPATCH;
    arg.pdispVal = control.Get();  // the host keeps its reference; the callback borrows it
    DISPPARAMS params{&arg, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO excep{};
    UINT argErr = 0;
    SetErrorInfo(0, nullptr);
    hr = dispatch->Invoke(dispid, IID_NULL, kCallbackLocale, DISPATCH_METHOD, &params, &result, &excep, &argErr);
    if (FAILED(hr)) {
        VariantClear(&result);
        std::wstring description;
        hr = InvokeFailure(hr, excep, description);
        LogLine(Target(*a) + L".Invoke failed " + HexCode(hr) + L" \"" + description + L"\"");
        Fail(hr, Target(*a) + L"'s callback \"" + action + L"\" failed" + (description.empty() ? L"" : L": " + description));
    }
    if (LogResults()) LogLine(L"<- " + Target(*a) + L".Invoke " + TypeName(result));
    VariantClear(&result);
}

}  // namespace

void LoadExplorerRibbon(const AddInPtr& addIn) {
    if (!IsRibbonHost() || !TheHost().explorerOpen || addIn->ribbonAsked || !addIn->connected || !addIn->object) return;
    // Asked once per connection, whatever the outcome: the real client doesn't ask again.
    addIn->ribbonAsked = true;
    ComPtr<IUnknown> object = addIn->object;  // kept alive if the add-in disconnects itself
    try {
        ComPtr<IRibbonExtensibility> ext = RibbonExtensibility(*addIn, object.Get());
        if (!ext) return;
        std::vector<RibbonButton> buttons = Judge(*addIn, contract::kExplorerRibbonId,
                                                  CallGetCustomUI(*addIn, ext.Get(), contract::kExplorerRibbonId));
        // An add-in that disconnected itself inside GetCustomUI shows nothing.
        if (addIn->connected && addIn->object.Get() == object.Get()) addIn->ribbon = std::move(buttons);
    } catch (const Failure&) {
        // Logged: the add-in's ribbon is not shown, and the connection stands.
    } catch (...) {
        LogLine(L"Host: the ribbon of " + Target(*addIn) + L" could not be read");
    }
}

void LoadExplorerRibbons() {
    std::vector<AddInPtr> list = TheHost().addIns;
    for (const auto& a : list) LoadExplorerRibbon(a);
}

std::wstring AskCustomUI(const AddInPtr& addIn, const std::wstring& ribbonId) {
    if (!addIn->connected || !addIn->object) Fail(E_INVALIDARG, Target(*addIn) + L" is not connected");
    ComPtr<IUnknown> object = addIn->object;
    ComPtr<IRibbonExtensibility> ext = RibbonExtensibility(*addIn, object.Get());
    if (!ext) Fail(E_NOINTERFACE, Target(*addIn) + L" offers no IRibbonExtensibility");
    std::wstring xml = CallGetCustomUI(*addIn, ext.Get(), ribbonId);
    Judge(*addIn, ribbonId, xml);
    return xml;
}

void ClickRibbonButton(const std::wstring& buttonId) {
    auto [addIn, button] = FindButton(buttonId);
    if (!addIn) Fail(E_INVALIDARG, L"No ribbon button has the id \"" + buttonId + L"\"");
    // Copied: the callback may disconnect the add-in, which takes its ribbon away.
    const RibbonButton shown = *button;
    if (IsFalse(shown.Attribute(L"visible")) || IsFalse(shown.Attribute(L"enabled"))) {
        LogLine(L"Host: the ribbon button \"" + buttonId + L"\" is " + (IsFalse(shown.Attribute(L"visible")) ? L"hidden" : L"disabled"));
        Fail(E_ACCESSDENIED, L"The ribbon button \"" + buttonId + L"\" cannot be clicked");
    }
    const std::wstring action = shown.Attribute(L"onAction");
    if (action.empty()) {
        LogLine(L"Host: the ribbon button \"" + buttonId + L"\" has no onAction");
        return;
    }
    RunCallback(addIn, shown, action);
}

}  // namespace sim::outlook
