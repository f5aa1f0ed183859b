#include "Addin.h"

#include <cstdint>
#include <new>
#include <string>

#include "Global.h"
#include "dispatch.h"
#include "form1.h"
#include "help.h"
#include "host_contract.h"
#include "module.h"
#include "registration.h"
#include "server.h"

namespace {

using Microsoft::WRL::ComPtr;

// Our build of the designer library travels with the add-in; a test program that links
// this code directly finds it through the registration instead.
HRESULT LoadDesignerLibrary(ITypeLib** out) noexcept {
    try {
        const std::wstring path = registration::DesignerLibraryPath(registration::ModulePath(orv::ThisModule()));
        if (SUCCEEDED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, out))) return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
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

Addin::Addin() { server::LockModule(); }

Addin::~Addin() { server::UnlockModule(); }

HRESULT Addin::Create(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* object = new (std::nothrow) Addin;
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

HRESULT Addin::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Addin || iid == IID_IDTExtensibility2) {
        *out = static_cast<IDTExtensibility2*>(this);
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
    ComPtr<ITypeInfo> info;
    HRESULT hr = LoadContractTypeInfo(info.GetAddressOf());
    if (FAILED(hr)) return hr;
    return DispGetIDsOfNames(info.Get(), names, count, ids);
}

HRESULT Addin::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                      UINT* argErr) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
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
        if (ConnectMode == ext_cm_AfterStartup) {
            ShowBuilder(Application);
            return;
        }
        Install(Application);
    });
}

HRESULT Addin::OnDisconnection(ext_DisconnectMode, SAFEARRAY**) {
    return Operation([&] { ReleaseHostReferences(); });
}

HRESULT Addin::OnAddInsUpdate(SAFEARRAY**) {
    return Operation([] {});
}

HRESULT Addin::OnStartupComplete(SAFEARRAY**) {
    return Operation([] { Global::DisconnectSelf(); });
}

HRESULT Addin::OnBeginShutdown(SAFEARRAY**) {
    return Operation([&] {
        // The unload step disconnects the add-in, so the host may call OnDisconnection
        // before Unload returns; emptying what is already empty does nothing.
        Global::TheForm1().Unload();
        ReleaseHostReferences();
    });
}

HRESULT Addin::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID_IDTExtensibility2 || iid == IID__Addin || iid == IID_IDispatch ? S_OK : S_FALSE;
}

// Demand connection: the window, shown modeless; nothing else happens here.
void Addin::ShowBuilder(IDispatch* application) { Global::TheForm1().Show(application); }

// Start-up connection: the window loaded hidden, the help pop-up, hostApp, then the add-in's
// controls in the host's user interface.
void Addin::Install(IDispatch* application) {
    HWND hwnd = Global::TheForm1().hWnd(application);
    orvalis::ShowStartupHelp(hwnd);
    Global::SetHostApp(orv::QueryAs<IDispatch>(application, contract::IID__Application).Get());
    InstallCommandBarControls();
}

void Addin::ReleaseHostReferences() noexcept {
    Global::EmptyHostApp();
    myCommandBars.Reset();
    myMenuBar.Reset();
    myMenuItem.Reset();
    myToolbarButton.Reset();
}
