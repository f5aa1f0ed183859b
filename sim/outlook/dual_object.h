#pragma once
// A stand-in object behind a dual interface of the client's (IRibbonControl, IRibbonUI): one
// object whose IUnknown and IDispatch answer with the dispatch part and whose Interface has its
// own vtable, with the same IDispatch members. An add-in may call it by name or through the
// vtable; both ways go through the same logged, fault-injectable members.
#include "host_objects.h"

namespace sim::outlook {

template <class Interface>
class DualObject : public Object, public Interface {
public:
    using Object::Object;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out && iid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
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

    // The pointer to hand out is the Interface one: an add-in that takes an argument for the
    // interface without asking still finds its vtable. Takes over the new object's reference.
    static ComPtr<IDispatch> Handed(DualObject* fresh) {
        ComPtr<IDispatch> out(static_cast<Interface*>(fresh));
        fresh->Release();
        return out;
    }

protected:
    ~DualObject() override = default;

    // A call through the vtable, run as the call by DISPID is.
    HRESULT FromVtable(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result) {
        return InvokeFromVtable(*this, id, flags, params, result, __uuidof(Interface));
    }
};

}  // namespace sim::outlook
