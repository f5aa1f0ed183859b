// The IRibbonControl the host hands a ribbon callback: which control it is about (Id, Tag) and
// in which window (Context, the active explorer).
#include "dual_object.h"
#include "error.h"
#include "ribbon.h"

namespace sim::outlook {

namespace {

// The members' DISPIDs follow the declaration order: Id 1, Context 2, Tag 3, as published.
constexpr DISPID kId = 1;
constexpr DISPID kContext = 2;
constexpr DISPID kTag = 3;

class RibbonControl final : public DualObject<IRibbonControl> {
public:
    RibbonControl(const std::wstring& id, std::wstring tag) : DualObject(L"RibbonControl", id), tag_(std::move(tag)) {
        Value(L"Id", [this] { return Variant::Str(this->id()); });
        Value(L"Context", [] { return NewExplorer(); });
        Value(L"Tag", [this] { return Variant::Str(tag_); });
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

    // A property read through the vtable, as a get by DISPID. An answer of the wrong type (a
    // fault rule's) cannot pass a typed vtable slot and fails as a type mismatch.
    HRESULT Read(DISPID id, VARTYPE type, VARIANT* out) {
        VariantInit(out);
        DISPPARAMS none{};
        HRESULT hr = FromVtable(id, DISPATCH_PROPERTYGET, none, out);
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

HRESULT InvokeFromVtable(Object& object, DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, REFIID iid) {
    EXCEPINFO excep{};
    HRESULT hr = object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep, nullptr);
    if (hr != DISP_E_EXCEPTION) return hr;
    hr = FAILED(excep.scode) ? excep.scode : E_FAIL;
    orv::ReportError(orv::Error(hr, excep.bstrDescription ? excep.bstrDescription : L""), iid);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
    return hr;
}

ComPtr<IDispatch> NewRibbonControl(const std::wstring& id, const std::wstring& tag) {
    return RibbonControl::Handed(new RibbonControl(id, tag));
}

}  // namespace sim::outlook
