// The IRibbonControl the host hands a ribbon callback: which button was clicked (Id, Tag) and
// in which window (Context, the active explorer). It is a dual interface, so an add-in may read
// it by name or through the vtable; both ways go through the same logged, fault-injectable
// members.
#include "error.h"
#include "host_objects.h"
#include "ribbon.h"

namespace sim::outlook {

namespace {

// The members' DISPIDs follow the declaration order: Id 1, Context 2, Tag 3, as published.
constexpr DISPID kId = 1;
constexpr DISPID kContext = 2;
constexpr DISPID kTag = 3;

class RibbonControl final : public Object, public IRibbonControl {
public:
    RibbonControl(const std::wstring& id, std::wstring tag) : Object(L"RibbonControl", id), tag_(std::move(tag)) {
        Value(L"Id", [this] { return Variant::Str(this->id()); });
        Value(L"Context", [] { return NewExplorer(); });
        Value(L"Tag", [this] { return Variant::Str(tag_); });
    }

    // One object: IUnknown and IDispatch answer with the dispatch part, IRibbonControl with
    // its own vtable, whose IDispatch members are the same.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out && iid == __uuidof(IRibbonControl)) {
            *out = static_cast<IRibbonControl*>(this);
            AddRef();
            return S_OK;
        }
        return Object::QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Object::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Object::Release(); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return Object::GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT n, LCID lcid, ITypeInfo** info) override {
        return Object::GetTypeInfo(n, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        return Object::GetIDsOfNames(iid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argErr) override {
        return Object::Invoke(id, iid, lcid, flags, params, result, excep, argErr);
    }

    HRESULT STDMETHODCALLTYPE get_Id(BSTR* id) override { return ReadText(kId, id); }
    HRESULT STDMETHODCALLTYPE get_Context(IDispatch** context) override {
        if (!context) return E_POINTER;
        *context = nullptr;
        VARIANT v;
        HRESULT hr = Read(kContext, VT_DISPATCH, &v);
        if (SUCCEEDED(hr)) *context = v.pdispVal;  // the reference goes to the caller
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_Tag(BSTR* tag) override { return ReadText(kTag, tag); }

private:
    ~RibbonControl() override = default;

    HRESULT ReadText(DISPID id, BSTR* out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        VARIANT v;
        HRESULT hr = Read(id, VT_BSTR, &v);
        if (SUCCEEDED(hr)) *out = v.bstrVal;
        return hr;
    }

    // A property read through the vtable, as a get by DISPID: logged and open to fault rules
    // alike. A failure leaves its description in the error info; an answer of the wrong type
    // (a fault rule's) cannot pass a typed vtable slot and fails as a type mismatch.
    HRESULT Read(DISPID id, VARTYPE type, VARIANT* out) {
        VariantInit(out);
        DISPPARAMS none{};
        EXCEPINFO excep{};
        HRESULT hr = Object::Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, out, &excep, nullptr);
        if (hr == DISP_E_EXCEPTION) {
            hr = FAILED(excep.scode) ? excep.scode : E_FAIL;
            orv::ReportError(orv::Error(hr, excep.bstrDescription ? excep.bstrDescription : L""), __uuidof(IRibbonControl));
            SysFreeString(excep.bstrDescription);
            SysFreeString(excep.bstrSource);
            SysFreeString(excep.bstrHelpFile);
        }
        if (FAILED(hr)) return hr;
        if (out->vt != type && FAILED(VariantChangeType(out, out, 0, type))) {
            VariantClear(out);
            return DISP_E_TYPEMISMATCH;
        }
        return S_OK;
    }

    std::wstring tag_;
};

}  // namespace

ComPtr<IDispatch> NewRibbonControl(const std::wstring& id, const std::wstring& tag) {
    // The interface pointer a callback gets is the IRibbonControl one: an add-in that takes
    // the argument for an IRibbonControl without asking still finds its vtable.
    auto* control = new RibbonControl(id, tag);
    ComPtr<IDispatch> out(static_cast<IRibbonControl*>(control));
    control->Release();
    return out;
}

}  // namespace sim::outlook
