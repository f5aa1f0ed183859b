// The client as a ribbon host (2010 and later): it asks each connected add-in for the customUI
// document of the explorer's ribbon, shows the controls of a document it accepts (buttons,
// checkBoxes, dropDowns), asks their state callbacks when it shows them, and runs their
// onAction callbacks, all by name through the add-in's IDispatch.
#include <optional>

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

// "1 tab, 1 group, 1 button, 1 checkBox, 1 dropDown (B, C, D)": checkBoxes and dropDowns only
// where the document has them.
std::wstring Summary(const CustomUI& ui) {
    size_t buttons = 0, checkBoxes = 0, dropDowns = 0;
    std::wstring ids;
    for (const CustomControl& c : ui.controls) {
        buttons += c.IsButton();
        checkBoxes += c.IsCheckBox();
        dropDowns += c.IsDropDown();
        ids += (ids.empty() ? L"" : L", ") + c.Attribute(L"id", c.Attribute(L"idMso", c.Attribute(L"idQ")));
    }
    std::wstring text = Count(ui.tabs, L"tab", L"tabs") + L", " + Count(ui.groups, L"group", L"groups") + L", " +
                        Count(buttons, L"button", L"buttons");
    if (checkBoxes) text += L", " + Count(checkBoxes, L"checkBox", L"checkBoxes");
    if (dropDowns) text += L", " + Count(dropDowns, L"dropDown", L"dropDowns");
    return text + (ids.empty() ? L"" : L" (" + ids + L")");
}

// What the host makes of an answer: "" (no customisation) or a document it shows, or refuses
// as the real client does (its ribbon is then not shown). Each outcome is one log line.
std::optional<CustomUI> Judge(const AddIn& a, const std::wstring& ribbonId, const std::wstring& xml) {
    const std::wstring what = L"Host: the ribbon of " + Target(a) + L" for \"" + ribbonId + L"\"";
    if (xml.empty()) {
        LogLine(what + L" is empty: no customisation");
        return std::nullopt;
    }
    try {
        CustomUI ui = ParseCustomUI(xml);
        LogLine(what + L": " + Summary(ui));
        return ui;
    } catch (const CustomUIRefusal& r) {
        LogLine(what + L" is refused: " + r.Text());
        return std::nullopt;
    }
}

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

// Calls the add-in's callback by name, as the client does: QueryInterface for IDispatch (a C++
// add-in with several dual interfaces decides there which one answers), GetIDsOfNames, then
// Invoke with the first argument (the control, or for onLoad the ribbon; shownAs names it in
// the log) and the rest in the callback's order; DISPPARAMS holds them last first. Returns the
// answer; a failure is logged and thrown.
Variant CallBack(const AddInPtr& a, const std::wstring& callback, IDispatch* first, const std::wstring& shownAs,
                 const std::vector<Variant>& rest = {}) {
    ComPtr<IUnknown> object = a->object;  // the add-in may switch itself off inside the callback
    ComPtr<IDispatch> dispatch;
    if (!object || FAILED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()))) ||
        !dispatch) {
        LogLine(Target(*a) + L": no IDispatch for the callback \"" + callback + L"\"");
        Fail(E_NOINTERFACE, Target(*a) + L" has no IDispatch to call " + callback + L" on");
    }

    LogLine(Target(*a) + L".GetIDsOfNames(\"" + callback + L"\")");
    SetErrorInfo(0, nullptr);
    std::wstring name = callback;
    LPOLESTR names[] = {name.data()};
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, kCallbackLocale, &dispid);
    if (FAILED(hr)) {
        ReportFailure(*a, L"GetIDsOfNames", hr);
        Fail(hr, Target(*a) + L" does not know the callback \"" + callback + L"\" (" + HexCode(hr) + L")");
    }

    std::wstring line = Target(*a) + L".Invoke(" + std::to_wstring(dispid) + L" \"" + callback + L"\", DISPATCH_METHOD, " + shownAs;
    // The arguments are borrowed: the host keeps its references, the callback may take its own.
    std::vector<VARIANT> args(rest.size() + 1);
    args.back().vt = VT_DISPATCH;
    args.back().pdispVal = first;
    for (size_t i = 0; i < rest.size(); ++i) {
        args[rest.size() - 1 - i] = rest[i].get();
        line += L", " + Describe(rest[i].get());
    }
    LogLine(line + L")");
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    Variant result;
    EXCEPINFO excep{};
    UINT argErr = 0;
    SetErrorInfo(0, nullptr);
    hr = dispatch->Invoke(dispid, IID_NULL, kCallbackLocale, DISPATCH_METHOD, &params, result.put(), &excep, &argErr);
    if (FAILED(hr)) {
        std::wstring description;
        hr = InvokeFailure(hr, excep, description);
        LogLine(Target(*a) + L".Invoke failed " + HexCode(hr) + L" \"" + description + L"\"");
        Fail(hr, Target(*a) + L"'s callback \"" + callback + L"\" failed" + (description.empty() ? L"" : L": " + description));
    }
    if (LogResults()) LogLine(L"<- " + Target(*a) + L".Invoke " + TypeName(result.get()));
    return result;
}

std::wstring ControlName(const CustomControl& c) { return L"RibbonControl[" + c.Id() + L"]"; }

// A shown control of a connected add-in, by its place in that ribbon.
struct Place {
    AddInPtr addIn;
    size_t index;
    unsigned generation;
    // The control, while that ribbon is still shown (a callback may have taken it away).
    ShownControl* Now() const {
        if (!addIn->connected || addIn->ribbon.generation != generation || index >= addIn->ribbon.controls.size()) return nullptr;
        return &addIn->ribbon.controls[index];
    }
};

// The shown control with this id (the first add-in in the list when two documents use one id).
std::optional<Place> FindShown(const std::wstring& id) {
    for (const auto& a : TheHost().addIns) {
        if (!a->connected || !a->object) continue;
        for (size_t i = 0; i < a->ribbon.controls.size(); ++i)
            if (a->ribbon.controls[i].control.Id() == id) return Place{a, i, a->ribbon.generation};
    }
    return std::nullopt;
}

// What a control shows until a callback says otherwise: unticked, the first item.
void ShowDefault(ShownControl& shown) {
    shown.pressed = false;
    shown.selected = shown.control.items.empty() ? -1 : 0;
}

std::wstring DefaultText(const ShownControl& shown) {
    if (shown.control.IsCheckBox()) return L"unticked";
    if (shown.selected < 0) return L"no item";
    return L"item 0 (" + shown.control.items[0].id + L")";
}

// Takes the state callback's answer: a Boolean for getPressed, an item's index for
// getSelectedItemIndex. The documents give those types; the host takes no other, so that an
// answer of the wrong type shows as one. Logs why when it doesn't take the answer.
bool TakeState(ShownControl& shown, const std::wstring& callback, const Variant& answer) {
    const CustomControl& c = shown.control;
    const VARIANT& v = answer.get();
    std::wstring problem;
    if (c.IsCheckBox()) {
        if (v.vt == VT_BOOL) {
            shown.pressed = v.boolVal != VARIANT_FALSE;
            return true;
        }
        problem = L"not BOOL";
    } else if (v.vt != VT_I4) {
        problem = L"not I4";
    } else if (v.lVal < 0 || static_cast<size_t>(v.lVal) >= c.items.size()) {
        problem = L"not the index of one of its " + std::to_wstring(c.items.size()) + L" items";
    } else {
        shown.selected = v.lVal;
        return true;
    }
    LogLine(L"Host: \"" + callback + L"\" answered " + Describe(v) + L", " + problem);
    return false;
}

// Asks a stale control's state callback, as the host does when it shows the control, and keeps
// the answer; the control shows its default where the callback fails or answers wrongly
// (logged). A control without the callback keeps what it shows (its default, or what the user
// made it); controls of idMso or idQ are not the add-in's to answer for.
void AskState(const Place& place) {
    ShownControl* shown = place.Now();
    shown->stale = false;
    const CustomControl c = shown->control;
    const std::wstring callback = c.Attribute(c.IsCheckBox() ? L"getPressed" : L"getSelectedItemIndex");
    if (c.IsButton() || c.Id().empty() || callback.empty()) return;
    Variant answer;
    bool answered = false;
    try {
        ComPtr<IDispatch> control = NewRibbonControl(c.Id(), c.Attribute(L"tag"));
        answer = CallBack(place.addIn, callback, control.Get(), ControlName(c));
        answered = true;
    } catch (const Failure&) {
        // Logged; the control shows its default.
    }
    shown = place.Now();
    if (!shown) return;  // the ribbon went with its add-in meanwhile
    if (answered && TakeState(*shown, callback, answer)) return;
    ShowDefault(*shown);
    LogLine(L"Host: the " + c.kind + L" \"" + c.Id() + L"\" shows its default: " + DefaultText(*shown));
}

// Shows one add-in's ribbon: its stale controls are asked, in the document's order. A control
// the add-in invalidates meanwhile waits for the next showing, so no add-in can keep the host
// asking for ever.
void ShowRibbon(const AddInPtr& a) {
    std::vector<Place> stale;
    for (size_t i = 0; i < a->ribbon.controls.size(); ++i)
        if (a->ribbon.controls[i].stale) stale.push_back(Place{a, i, a->ribbon.generation});
    for (const Place& p : stale)
        if (p.Now()) AskState(p);
}

void CallOnLoad(const AddInPtr& a, const std::wstring& onLoad) {
    ComPtr<IDispatch> ribbon = NewRibbonUI(a);
    try {
        CallBack(a, onLoad, ribbon.Get(), L"RibbonUI[" + a->progId + L"]");
    } catch (const Failure&) {
        // Logged; the ribbon is shown all the same.
    }
}

bool IsFalse(const std::wstring& value) { return value == L"false" || value == L"0"; }

// The shown control with this id that the user can reach now: the ribbons are shown afresh
// first (the user acts on what they show). Fails E_INVALIDARG when there is none,
// E_ACCESSDENIED for a disabled or hidden one (getEnabled and getVisible are not asked: such a
// control counts as enabled and shown).
Place Reachable(const std::wstring& id) {
    ShowRibbons();
    std::optional<Place> place = FindShown(id);
    if (!place) Fail(E_INVALIDARG, L"No ribbon control has the id \"" + id + L"\"");
    const CustomControl& c = place->Now()->control;
    const bool hidden = IsFalse(c.Attribute(L"visible"));
    if (hidden || IsFalse(c.Attribute(L"enabled"))) {
        LogLine(L"Host: the ribbon " + c.kind + L" \"" + id + L"\" is " + (hidden ? L"hidden" : L"disabled"));
        Fail(E_ACCESSDENIED, L"The ribbon " + c.kind + L" \"" + id + L"\" cannot be used");
    }
    return *place;
}

// The control's onAction with the arguments after the control; nothing without one.
void RunAction(const Place& place, const CustomControl& c, const std::vector<Variant>& rest) {
    const std::wstring action = c.Attribute(L"onAction");
    if (action.empty()) {
        LogLine(L"Host: the ribbon " + c.kind + L" \"" + c.Id() + L"\" has no onAction");
        return;
    }
    ComPtr<IDispatch> control = NewRibbonControl(c.Id(), c.Attribute(L"tag"));
    CallBack(place.addIn, action, control.Get(), ControlName(c), rest);
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
        std::optional<CustomUI> ui =
            Judge(*addIn, contract::kExplorerRibbonId, CallGetCustomUI(*addIn, ext.Get(), contract::kExplorerRibbonId));
        // An add-in that disconnected itself inside GetCustomUI shows nothing.
        if (!ui || !addIn->connected || addIn->object.Get() != object.Get()) return;
        addIn->ribbon.clear();
        for (CustomControl& c : ui->controls) {
            addIn->ribbon.controls.push_back(ShownControl{std::move(c)});
            ShowDefault(addIn->ribbon.controls.back());
        }
        if (!ui->onLoad.empty()) CallOnLoad(addIn, ui->onLoad);
        // The explorer shows its Home tab at once, so the controls' state is asked now.
        if (addIn->connected) ShowRibbon(addIn);
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

void ShowRibbons() {
    std::vector<AddInPtr> list = TheHost().addIns;
    for (const auto& a : list)
        if (a->connected) ShowRibbon(a);
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

void ClickRibbonControl(const std::wstring& id) {
    const Place place = Reachable(id);
    // Copied: the callback may disconnect the add-in, which takes its ribbon away.
    ShownControl* shown = place.Now();
    const CustomControl c = shown->control;
    if (c.IsDropDown()) {
        LogLine(L"Host: the ribbon dropDown \"" + id + L"\" is chosen from, not clicked");
        Fail(E_INVALIDARG, L"The ribbon dropDown \"" + id + L"\" is chosen from (RibbonSelect), not clicked");
    }
    if (c.IsButton()) return RunAction(place, c, {});
    // A click ticks an unticked checkBox and unticks a ticked one; the ribbon shows the new state
    // at once, whatever the callback then does.
    shown->pressed = !shown->pressed;
    RunAction(place, c, {Variant::Bool(shown->pressed)});
}

void SelectRibbonItem(const std::wstring& id, const std::wstring* itemId, long index) {
    const Place place = Reachable(id);
    ShownControl* shown = place.Now();
    const CustomControl c = shown->control;
    if (!c.IsDropDown()) Fail(E_INVALIDARG, L"The ribbon control \"" + id + L"\" is a " + c.kind + L", not a dropDown");
    const long count = static_cast<long>(c.items.size());
    if (itemId) {
        index = -1;
        for (long i = 0; i < count && index < 0; ++i)
            if (c.items[i].id == *itemId) index = i;
        if (index < 0) Fail(E_INVALIDARG, L"The dropDown \"" + id + L"\" has no item \"" + *itemId + L"\"");
    } else if (index < 0 || index >= count) {
        Fail(E_INVALIDARG, L"The dropDown \"" + id + L"\" has no item at index " + std::to_wstring(index) + L" (it has " +
                               std::to_wstring(count) + L")");
    }
    // Chosen even when it was already: the client reports every choice.
    shown->selected = index;
    RunAction(place, c, {Variant::Str(c.items[index].id), Variant::I4(index)});
}

ShownRibbon* LiveRibbon(const std::weak_ptr<AddIn>& addIn, unsigned generation) {
    AddInPtr a = addIn.lock();
    if (!a || !a->connected || a->ribbon.generation != generation) return nullptr;
    return &a->ribbon;
}

}  // namespace sim::outlook
