#include "Addin.h"

#include <cstdint>
#include <new>
#include <string>

#include "Global.h"
#include "dispatch.h"
#include "host_place.h"
#include "module.h"
#include "registration.h"
#include "ribbon_document.h"
#include "server.h"

namespace {

using Microsoft::WRL::ComPtr;

// Our build of the designer library travels with the add-in; a test program that links
// this code directly finds it through the registration instead.
HRESULT LoadDesignerLibrary(ITypeLib** out) noexcept {
    try {
        const std::wstring path = registration::DesignerLibraryPath(orv::ModulePath(orv::ThisModule()));
        if (SUCCEEDED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, out))) return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;  // the path is all that can fail here, and only for want of memory
    }
    return LoadRegTypeLib(LIBID_AddInDesignerObjects, 1, 0, 0, out);
}

// The contract's vtable interface, whose description lets DispInvoke call our methods.
HRESULT LoadContractTypeInfo(ITypeInfo** out) noexcept {
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadDesignerLibrary(lib.GetAddressOf());
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> info;
    hr = lib->GetTypeInfoOfGuid(IID_IDTExtensibility2, info.GetAddressOf());
    if (FAILED(hr)) return hr;
    HREFTYPE vtable = 0;
    ComPtr<ITypeInfo> vtableInfo;
    if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable)) &&
        SUCCEEDED(info->GetRefTypeInfo(vtable, vtableInfo.GetAddressOf())))
        info = vtableInfo;
    *out = info.Detach();
    return S_OK;
}

}  // namespace

Addin::Addin() : place_(orvalis::NewCommandBarPlace()) { server::LockModule(); }

Addin::~Addin() { server::UnlockModule(); }

HRESULT Addin::Create(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    // Born with a count of 1, which the caller's interface takes over (mingw's ComPtr::Attach
    // adds a reference of its own, so it can't take over this one).
    Addin* object = nullptr;
    try {
        object = new Addin;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;  // the object or its first place: nothing else can fail here
    }
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

HRESULT Addin::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Addin || iid == IID_IDTExtensibility2) {
        *out = static_cast<IDTExtensibility2*>(this);
    } else if (iid == __uuidof(IRibbonExtensibility)) {
        *out = static_cast<IRibbonExtensibility*>(this);
    } else if (iid == IID_ISupportErrorInfo) {
        *out = static_cast<ISupportErrorInfo*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG Addin::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG Addin::Release() {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

HRESULT Addin::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT Addin::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return LoadContractTypeInfo(info);
}

HRESULT Addin::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    const DISPID callback = count > 0 ? orvalis::RibbonCallbackId(names[0]) : DISPID_UNKNOWN;
    if (callback != DISPID_UNKNOWN) {
        ids[0] = callback;
        // The callbacks have no named arguments.
        for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
    ComPtr<ITypeInfo> info;
    HRESULT hr = LoadContractTypeInfo(info.GetAddressOf());
    if (FAILED(hr)) return hr;
    return DispGetIDsOfNames(info.Get(), names, count, ids);
}

HRESULT Addin::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                      UINT* argErr) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (id >= orvalis::kRibbonButtonCallbackId) {
        const ComPtr<Addin> self(this);  // as for every operation: the host may let go of us meanwhile
        return orvalis::InvokeRibbonCallback(id, flags, params, result, excep, argErr);
    }
    ComPtr<ITypeInfo> info;
    HRESULT hr = LoadContractTypeInfo(info.GetAddressOf());
    if (FAILED(hr)) return hr;
    return DispInvoke(static_cast<IDTExtensibility2*>(this), info.Get(), id, flags, params, result, excep, argErr);
}

template <class F>
HRESULT Addin::Operation(F&& body) noexcept {
    // The host may release us inside the operation (a nested OnDisconnection during
    // DisconnectSelf); this reference keeps the object alive until the operation returns.
    ComPtr<Addin> self(this);
    return orv::Guard(body);
}

HRESULT Addin::OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode, IDispatch* AddInInst, SAFEARRAY**) {
    return Operation([&] {
        ComPtr<IDispatch> addInInst(AddInInst);  // held for the call, otherwise unused
        // The client doesn't change under a connect object: a second connection of the same
        // object keeps its place and what it holds.
        if (!placeChosen_) place_ = orvalis::PlaceFor(Application);
        placeChosen_ = true;
        Global::SetPlace(place_);
        Place()->Connect(Application, ConnectMode);
    });
}

HRESULT Addin::OnDisconnection(ext_DisconnectMode, SAFEARRAY**) {
    return Operation([&] { Place()->Disconnect(); });
}

HRESULT Addin::OnAddInsUpdate(SAFEARRAY**) {
    return Operation([] {});
}

HRESULT Addin::OnStartupComplete(SAFEARRAY**) {
    return Operation([&] { Place()->CompleteStartup(); });
}

HRESULT Addin::OnBeginShutdown(SAFEARRAY**) {
    return Operation([&] { Place()->BeginShutdown(); });
}

HRESULT Addin::GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) {
    if (!RibbonXml) return E_POINTER;
    *RibbonXml = nullptr;
    return Operation([&] { *RibbonXml = orvalis::CustomUIFor(RibbonID).release(); });
}

HRESULT Addin::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID_IDTExtensibility2 || iid == IID__Addin || iid == IID_IDispatch || iid == __uuidof(IRibbonExtensibility)
               ? S_OK
               : S_FALSE;
}
