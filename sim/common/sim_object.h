#pragma once
// The base of every stand-in object: IDispatch by name with positional and named
// arguments, a call log, fault injection and a count of live objects.
#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "variant.h"

namespace sim {

using orv::Variant;

// The arguments of one call, resolved to the member's declared parameters.
class CallArgs {
public:
    CallArgs(const std::vector<std::wstring>& params, std::vector<const VARIANT*> byParam)
        : params_(params), byParam_(std::move(byParam)) {}
    // The argument for parameter i (by position or by name), dereferenced; nullptr when left out.
    const VARIANT* At(size_t i) const;
    const VARIANT* Named(const wchar_t* param) const;
    bool Has(size_t i) const { return At(i) != nullptr; }

private:
    const std::vector<std::wstring>& params_;
    std::vector<const VARIANT*> byParam_;
};

using Getter = std::function<Variant(const CallArgs&)>;
using Putter = std::function<void(const CallArgs&, const VARIANT& value)>;

class Object : public IDispatch {
public:
    // kind names the object in the log and in fault rules ("Session", "AddressEntry", ...);
    // id tells objects of one kind apart ("" when there is only one).
    Object(std::wstring kind, std::wstring id, std::vector<IID> interfaces = {});
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    const std::wstring& kind() const { return kind_; }
    const std::wstring& id() const { return id_; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argErr) override;

protected:
    virtual ~Object();
    // Declares a member. A getter answers DISPATCH_METHOD and DISPATCH_PROPERTYGET; a putter
    // answers DISPATCH_PROPERTYPUT. "_NewEnum" gets DISPID_NEWENUM, "Item" DISPID_VALUE.
    void Member(const std::wstring& name, std::vector<std::wstring> params, Getter get, Putter put = nullptr);
    // A read-only property without parameters.
    void Value(const std::wstring& name, std::function<Variant()> get);
    // A read-write property without parameters.
    void Field(const std::wstring& name, std::function<Variant()> get, std::function<void(const VARIANT&)> put);
    // Marks a declared member hidden, as a type library does with one kept for old callers: it
    // still works, and the log says " [hidden]" after each call to it.
    void Hidden(const std::wstring& name);
    // Marks declared members (those named; every one declared so far without names) as
    // round trips to the server: each call waits the scenario's call latency first.
    void WithLatency(std::initializer_list<const wchar_t*> names = {});

private:
    struct Entry {
        std::wstring name;
        DISPID id;
        std::vector<std::wstring> params;
        Getter get;
        Putter put;
        bool hidden = false;
        bool latent = false;
    };
    const Entry* Find(DISPID id) const;

    LONG refs_ = 1;
    std::wstring kind_;
    std::wstring id_;
    std::vector<IID> interfaces_;
    std::vector<Entry> members_;
};

// IUnknown for a small object of one interface (an enumerator, a class factory): born with a
// count of 1, deleted when the last reference goes.
template <class Interface>
class Unknown : public Interface {
public:
    Unknown(const Unknown&) = delete;
    Unknown& operator=(const Unknown&) = delete;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != __uuidof(Interface)) return E_NOINTERFACE;
        *out = static_cast<Interface*>(this);
        this->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

protected:
    Unknown() = default;
    virtual ~Unknown() = default;

private:
    LONG refs_ = 1;
};

// Thrown by a handler to fail the call with an HRESULT and a description.
struct Failure {
    HRESULT hr;
    std::wstring description;
};
[[noreturn]] inline void Fail(HRESULT hr, std::wstring description) { throw Failure{hr, std::move(description)}; }

// Wraps a new object (count 1) in a VARIANT holding VT_DISPATCH; the variant takes the reference.
Variant Hand(Object* fresh);

// An IEnumVARIANT over a snapshot of items.
Variant NewEnum(std::vector<Variant> items);

// Text of one VARIANT as the log writes it: "I4 1", "BSTR \"x\"", "BOOL False", "ERROR missing".
std::wstring Describe(const VARIANT& v);
// The type word of Describe ("I4", "BSTR", "DISPATCH"; "NOTHING" for an empty object), as the
// log gives an answer's type.
std::wstring TypeName(const VARIANT& v);

}  // namespace sim
