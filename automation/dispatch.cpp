#include "dispatch.h"

#include "bstr.h"

namespace orv {

namespace {

[[noreturn]] void RaiseFromExcepInfo(HRESULT hr, EXCEPINFO& ei) {
    if (ei.pfnDeferredFillIn) ei.pfnDeferredFillIn(&ei);
    const Bstr description = Bstr::Attach(ei.bstrDescription), source = Bstr::Attach(ei.bstrSource),
               helpFile = Bstr::Attach(ei.bstrHelpFile);
    Raise(ei.scode ? ei.scode : (ei.wCode ? RuntimeError(ei.wCode) : hr), description.str());
}

std::vector<DISPID> LookUpNames(IDispatch* object, const wchar_t* member, const Args& args) {
    std::vector<std::wstring> names{member};
    for (const Arg& a : args)
        if (!a.name.empty()) names.push_back(a.name);
    std::vector<LPOLESTR> raw;
    for (auto& n : names) raw.push_back(const_cast<LPOLESTR>(n.c_str()));
    std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
    HRESULT hr = object->GetIDsOfNames(IID_NULL, raw.data(), static_cast<UINT>(raw.size()), LOCALE_USER_DEFAULT, ids.data());
    if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND)
        Raise(RuntimeError(kNoSuchMember), L"Object doesn't support this property or method: " + std::wstring(member));
    ThrowIfFailed(hr, member);
    return ids;
}

Variant InvokeIds(IDispatch* object, const wchar_t* member, const std::vector<DISPID>& ids, WORD flags,
                  const Args& args, const VARIANT* putValue) {
    // DISPPARAMS wants the arguments in reverse: named ones first, then the positional ones
    // from last to first; a put's value is the first named argument (DISPID_PROPERTYPUT).
    std::vector<VARIANT> vargs;
    std::vector<DISPID> namedIds;
    if (putValue) {
        vargs.push_back(*putValue);
        namedIds.push_back(DISPID_PROPERTYPUT);
    }
    size_t nameIndex = 1;
    for (const Arg& a : args)
        if (!a.name.empty()) {
            vargs.push_back(a.value.get());
            namedIds.push_back(ids[nameIndex++]);
        }
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        if (it->name.empty()) vargs.push_back(it->value.get());

    DISPPARAMS dp{};
    dp.rgvarg = vargs.empty() ? nullptr : vargs.data();
    dp.cArgs = static_cast<UINT>(vargs.size());
    dp.rgdispidNamedArgs = namedIds.empty() ? nullptr : namedIds.data();
    dp.cNamedArgs = static_cast<UINT>(namedIds.size());

    Variant result;
    EXCEPINFO ei{};
    UINT argErr = 0;
    HRESULT hr = object->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &dp,
                                putValue ? nullptr : result.put(), &ei, &argErr);
    if (hr == DISP_E_EXCEPTION) RaiseFromExcepInfo(hr, ei);
    if (hr == DISP_E_MEMBERNOTFOUND)
        Raise(RuntimeError(kNoSuchMember), L"Object doesn't support this property or method: " + std::wstring(member));
    ThrowIfFailed(hr, member);
    return result;
}

}  // namespace

Variant Invoke(IDispatch* object, const wchar_t* member, WORD flags, const Args& args) {
    if (!object) Raise(RuntimeError(kObjectNotSet));
    auto ids = LookUpNames(object, member, args);
    return InvokeIds(object, member, ids, flags, args, nullptr);
}

void Put(IDispatch* object, const wchar_t* member, Variant value) {
    if (!object) Raise(RuntimeError(kObjectNotSet));
    auto ids = LookUpNames(object, member, {});
    InvokeIds(object, member, ids, DISPATCH_PROPERTYPUT, {}, &value.get());
}

ComPtr<IDispatch> AsObjectOrNothing(const Variant& v) {
    const VARIANT& r = v.get();
    IUnknown* unk = nullptr;
    if (r.vt == VT_DISPATCH) unk = r.pdispVal;
    else if (r.vt == VT_UNKNOWN) unk = r.punkVal;
    else if (r.vt == (VT_BYREF | VT_DISPATCH)) unk = r.ppdispVal ? *r.ppdispVal : nullptr;
    else Raise(RuntimeError(kObjectNotSet));
    ComPtr<IDispatch> d;
    if (unk) ThrowIfFailed(unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(d.GetAddressOf())));
    return d;
}

ComPtr<IDispatch> AsObject(const Variant& v) {
    ComPtr<IDispatch> d = AsObjectOrNothing(v);
    if (!d) Raise(RuntimeError(kObjectNotSet));
    return d;
}

bool HasMember(IDispatch* object, const wchar_t* member) {
    if (!object) Raise(RuntimeError(kObjectNotSet));
    DISPID id = DISPID_UNKNOWN;
    auto* name = const_cast<LPOLESTR>(member);
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) return false;
    ThrowIfFailed(hr, member);
    return true;
}

void ForEach(IDispatch* collection, const std::function<bool(const Variant&)>& f) {
    if (!collection) Raise(RuntimeError(kObjectNotSet));
    DISPPARAMS none{};
    Variant enumVar;
    EXCEPINFO ei{};
    HRESULT hr = collection->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                                    DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, enumVar.put(), &ei, nullptr);
    if (hr == DISP_E_EXCEPTION) RaiseFromExcepInfo(hr, ei);
    ThrowIfFailed(hr, L"_NewEnum");
    IUnknown* unk = enumVar.vt() == VT_UNKNOWN ? enumVar.get().punkVal
                  : enumVar.vt() == VT_DISPATCH ? enumVar.get().pdispVal : nullptr;
    if (!unk) Raise(RuntimeError(kObjectNotSet));
    ComPtr<IEnumVARIANT> e;
    ThrowIfFailed(unk->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(e.GetAddressOf())), L"_NewEnum");
    for (;;) {
        Variant item;
        ULONG fetched = 0;
        hr = e->Next(1, item.put(), &fetched);
        ThrowIfFailed(hr, L"enumeration");
        if (hr != S_OK || fetched == 0) return;
        if (!f(item)) return;
    }
}

ComPtr<IUnknown> CreateObject(REFCLSID clsid, REFIID iid) {
    ComPtr<IUnknown> p;
    ThrowIfFailed(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, iid,
                                   reinterpret_cast<void**>(p.GetAddressOf())));
    return p;
}

ComPtr<IUnknown> CreateObject(const wchar_t* progId, REFIID iid) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) Raise(RuntimeError(429), L"ActiveX component can't create object: " + std::wstring(progId));
    return CreateObject(clsid, iid);
}

}  // namespace orv
