#pragma once
// Late-bound calls through IDispatch: members by name, positional and named arguments.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "error.h"
#include "variant.h"

namespace orv {

using Microsoft::WRL::ComPtr;

// One argument of a call: positional when name is empty, otherwise named ("Type:=1").
struct Arg {
    Arg(Variant v) : value(std::move(v)) {}                              // NOLINT: implicit on purpose
    Arg(const wchar_t* s) : value(Variant::Str(s)) {}                    // NOLINT
    Arg(const std::wstring& s) : value(Variant::Str(s)) {}               // NOLINT
    Arg(std::wstring n, Variant v) : name(std::move(n)), value(std::move(v)) {}
    std::wstring name;
    Variant value;
};
inline Arg Named(std::wstring name, Variant v) { return Arg(std::move(name), std::move(v)); }

using Args = std::vector<Arg>;

// Invokes member by name with the given flags. A failed call throws Error with the
// description from the callee's EXCEPINFO (or IErrorInfo, or the system).
Variant Invoke(IDispatch* object, const wchar_t* member, WORD flags, const Args& args = {});

// Method call or property get (the usual late-bound read).
inline Variant Call(IDispatch* object, const wchar_t* member, const Args& args = {}) {
    return Invoke(object, member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}
// Property put (DISPATCH_PROPERTYPUT with DISPID_PROPERTYPUT).
void Put(IDispatch* object, const wchar_t* member, Variant value);

// The object a call returns; error 91 when it returns nothing or no object.
ComPtr<IDispatch> AsObject(const Variant& v);
// The same, but Nothing (an empty object reference) is an answer too: it gives nullptr.
ComPtr<IDispatch> AsObjectOrNothing(const Variant& v);
// True when the object knows the member by name; nothing is called.
bool HasMember(IDispatch* object, const wchar_t* member);
inline ComPtr<IDispatch> GetObj(IDispatch* object, const wchar_t* member, const Args& args = {}) {
    return AsObject(Call(object, member, args));
}
inline std::wstring GetString(IDispatch* object, const wchar_t* member, const Args& args = {}) {
    return ToString(Call(object, member, args));
}

// Walks a collection through its _NewEnum; f gets each item and returns false to stop.
void ForEach(IDispatch* collection, const std::function<bool(const Variant&)>& f);

// QueryInterface that throws (E_NOINTERFACE with a readable description) on failure.
template <class I>
ComPtr<I> QueryAs(IUnknown* object, REFIID iid) {
    if (!object) Raise(RuntimeError(kObjectNotSet));
    ComPtr<I> result;
    ThrowIfFailed(object->QueryInterface(iid, reinterpret_cast<void**>(result.GetAddressOf())), L"QueryInterface");
    return result;
}

// CoCreateInstance of an in-process or local server by class id or ProgID.
ComPtr<IUnknown> CreateObject(REFCLSID clsid, REFIID iid = IID_IUnknown);
ComPtr<IUnknown> CreateObject(const wchar_t* progId, REFIID iid = IID_IUnknown);

}  // namespace orv
