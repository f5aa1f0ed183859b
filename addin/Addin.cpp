#include "Addin.h"

#include <cstdint>
#include <new>
#include <string>

#include "Global.h"
#include "custom_ui.h"
#include "dispatch.h"
#include "form1.h"
#include "help.h"
#include "host_contract.h"
#include "host_ui.h"
#include "module.h"
#include "registration.h"
#include "server.h"

namespace {

using Microsoft::WRL::ComPtr;
using orvalis::HostUi;

// Our build of the designer library travels with the add-in; a test program that links
// this code directly finds it through the registration instead.
HRESULT LoadDesignerLibrary(ITypeLib** out) noexcept {
    try {
        const std::wstring path = registration::DesignerLibraryPath(orv::ModulePath(orv::ThisModule()));
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
    // Names are looked up without regard to case, as automation does.
    if (count > 0 && names[0] &&
        CompareStringOrdinal(names[0], -1, orvalis::kRibbonButtonCallback, -1, TRUE) == CSTR_EQUAL) {
        ids[0] = orvalis::kRibbonButtonCallbackId;
        // The callback has no named arguments.
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
    if (id == orvalis::kRibbonButtonCallbackId) return OnRibbonButton(flags, params, result, excep, argErr);
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
        hostUi_ = orvalis::HostUiOf(Application);
        Global::SetHostUi(hostUi_);
        if (hostUi_ == HostUi::Ribbon) {
            ConnectToRibbon(Application);
            return;
        }
        if (ConnectMode == ext_cm_AfterStartup) {
            ShowBuilder(Application);
            return;
        }
        Install(Application);
    });
}

HRESULT Addin::OnDisconnection(ext_DisconnectMode, SAFEARRAY**) {
    return Operation([&] {
        if (hostUi_ == HostUi::Ribbon) return LeaveRibbon();
        ReleaseHostReferences();
    });
}

HRESULT Addin::OnAddInsUpdate(SAFEARRAY**) {
    return Operation([] {});
}

HRESULT Addin::OnStartupComplete(SAFEARRAY**) {
    return Operation([&] {
        // On the ribbon the add-in stays connected: its button goes with the connection.
        if (hostUi_ == HostUi::Ribbon) return;
        Global::DisconnectSelf();
    });
}

HRESULT Addin::OnBeginShutdown(SAFEARRAY**) {
    return Operation([&] {
        if (hostUi_ == HostUi::Ribbon) return LeaveRibbon();
        // The unload step disconnects the add-in, so the host may call OnDisconnection
        // before Unload returns; emptying what is already empty does nothing. The help's
        // windows go with the window's.
        Global::TheForm1().Unload();
        ReleaseHostReferences();
    });
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

void Addin::ConnectToRibbon(IDispatch* application) {
    Global::SetHostApp(orv::QueryAs<IDispatch>(application, contract::IID__Application).Get());
}

HRESULT Addin::OnRibbonButton(WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept {
    const HRESULT hr = orvalis::CheckRibbonCallbackArgs(flags, params, argErr);
    if (FAILED(hr)) return hr;
    if (result) VariantInit(result);
    ComPtr<Addin> self(this);  // as for every operation: the host may let go of us meanwhile
    // Loaded (with the address book) at the first click and after every close; brought to
    // the front while it is shown. A load that fails has told the user in its box already.
    return orv::GuardInvoke([&] { ShowBuilder(Global::hostApp()); }, excep);
}

// The window goes (its unload step lets the add-in stay connected, which it no longer is
// anyway), and with it the session and the help's windows; the last selection goes too, and
// hostApp.
void Addin::LeaveRibbon() {
    Global::TheForm1().UnloadAndForget();
    ReleaseHostReferences();
}

void Addin::ReleaseHostReferences() noexcept {
    Global::EmptyHostApp();
    myCommandBars.Reset();
    myMenuBar.Reset();
    myMenuItem.Reset();
    myToolbarButton.Reset();
}
