// The IRibbonUI the host hands an add-in's onLoad callback: the add-in's own handle on the
// ribbon the host shows for it. Invalidate and InvalidateControl mark its controls out of date;
// the host asks their callbacks again the next time it shows them, never inside the call.
#include "dual_object.h"
#include "ribbon.h"
#include "sim_state.h"

namespace sim::outlook {

namespace {

// The DISPIDs follow the declaration order, as published: Invalidate 1 ... ActivateTabQ 6.
constexpr DISPID kInvalidate = 1;
constexpr DISPID kInvalidateControl = 2;
constexpr DISPID kInvalidateControlMso = 3;
constexpr DISPID kActivateTab = 4;
constexpr DISPID kActivateTabMso = 5;
constexpr DISPID kActivateTabQ = 6;

std::wstring TextArg(const CallArgs& args, size_t i, const wchar_t* name) {
    if (!args.Has(i)) Fail(DISP_E_PARAMNOTFOUND, std::wstring(L"The argument ") + name + L" is missing");
    return orv::ToString(*args.At(i));
}

class RibbonUI final : public DualObject<IRibbonUI> {
public:
    explicit RibbonUI(const AddInPtr& addIn)
        : DualObject(L"RibbonUI", addIn->progId), addIn_(addIn), generation_(addIn->ribbon.generation) {
        Member(L"Invalidate", {}, [this](const CallArgs&) {
            MarkStale(nullptr);
            return Variant();
        });
        Member(L"InvalidateControl", {L"ControlID"}, [this](const CallArgs& a) {
            const std::wstring id = TextArg(a, 0, L"ControlID");
            MarkStale(&id);
            return Variant();
        });
        // The stand-in's built-in controls have no callbacks of an add-in's to ask again.
        Member(L"InvalidateControlMso", {L"ControlID"}, [](const CallArgs& a) {
            TextArg(a, 0, L"ControlID");
            return Variant();
        });
        Member(L"ActivateTab", {L"ControlID"}, [this](const CallArgs& a) {
            CheckTab(TextArg(a, 0, L"ControlID"));
            return Variant();
        });
        Member(L"ActivateTabMso", {L"ControlID"}, [](const CallArgs& a) {
            TextArg(a, 0, L"ControlID");
            return Variant();
        });
        Member(L"ActivateTabQ", {L"ControlID", L"Namespace"}, [](const CallArgs& a) {
            TextArg(a, 0, L"ControlID");
            TextArg(a, 1, L"Namespace");
            return Variant();
        });
    }

    HRESULT STDMETHODCALLTYPE Invalidate() override { return Call(kInvalidate, {}); }
    HRESULT STDMETHODCALLTYPE InvalidateControl(BSTR id) override { return Call(kInvalidateControl, {id}); }
    HRESULT STDMETHODCALLTYPE InvalidateControlMso(BSTR id) override { return Call(kInvalidateControlMso, {id}); }
    HRESULT STDMETHODCALLTYPE ActivateTab(BSTR id) override { return Call(kActivateTab, {id}); }
    HRESULT STDMETHODCALLTYPE ActivateTabMso(BSTR id) override { return Call(kActivateTabMso, {id}); }
    HRESULT STDMETHODCALLTYPE ActivateTabQ(BSTR id, BSTR ns) override { return Call(kActivateTabQ, {id, ns}); }

private:
    ~RibbonUI() override = default;

    // The method by DISPID with string arguments in their order (DISPPARAMS holds them last first).
    HRESULT Call(DISPID id, std::vector<BSTR> texts) {
        std::vector<VARIANT> args(texts.size());
        for (size_t i = 0; i < texts.size(); ++i) {
            args[texts.size() - 1 - i].vt = VT_BSTR;
            args[texts.size() - 1 - i].bstrVal = texts[i];  // borrowed from the caller
        }
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        return FromVtable(id, DISPATCH_METHOD, params, nullptr);
    }

    // The ribbon this object was handed out for, or null (logged) once it is no longer shown:
    // the add-in was switched off, or the host restarted.
    ShownRibbon* Ribbon() {
        ShownRibbon* ribbon = LiveRibbon(addIn_, generation_);
        if (!ribbon) LogLine(L"Host: the ribbon of AddIn[" + id() + L"] is no longer shown");
        return ribbon;
    }

    // Marks every control, or the one with that id, to be asked again. An id that none of the
    // add-in's controls has fails as the client's does (E_INVALIDARG).
    void MarkStale(const std::wstring* controlId) {
        ShownRibbon* ribbon = Ribbon();
        if (!ribbon) return;
        bool found = false;
        for (ShownControl& c : ribbon->controls) {
            if (controlId && c.control.Id() != *controlId) continue;
            c.stale = true;
            found = true;
        }
        if (controlId && !found) Fail(E_INVALIDARG, L"The ribbon of AddIn[" + id() + L"] has no control \"" + *controlId + L"\"");
    }

    // The stand-in shows one tab at a time anyway; it only checks that the add-in's document
    // has a tab of that id.
    void CheckTab(const std::wstring& tabId) {
        ShownRibbon* ribbon = Ribbon();
        if (!ribbon) return;
        for (const ShownControl& c : ribbon->controls)
            if (c.control.tabBy == L"id" && c.control.tab == tabId) return;
        Fail(E_INVALIDARG, L"The ribbon of AddIn[" + id() + L"] has no tab \"" + tabId + L"\"");
    }

    std::weak_ptr<AddIn> addIn_;
    unsigned generation_;
};

}  // namespace

ComPtr<IDispatch> NewRibbonUI(const AddInPtr& addIn) { return RibbonUI::Handed(new RibbonUI(addIn)); }

}  // namespace sim::outlook
