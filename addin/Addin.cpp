#include "Addin.h"

#include <cstdint>
#include <new>
#include <string>

#include "Global.h"
#include "dispatch.h"
#include "module.h"
#include "form1.h"
#include "help_contexts.h"
#include "host_contract.h"
#include "registration.h"
#include "resource.h"
#include "server.h"
#include "version.h"

namespace {

using Microsoft::WRL::ComPtr;
using orv::Variant;

using namespace contract;

const wchar_t kHelpFile[] = L"" ORVALIS_HELP_FILE;

constexpr int32_t kControlButton = 1;         // msoControlButton
constexpr int32_t kIconAndCaption = 3;        // msoButtonIconAndCaption
constexpr int32_t kButtonFace = 5;
constexpr int32_t kControlsHelpContext = IDH_LIST_BUILDER;
constexpr DWORD kStartupHelpContext = IDH_STARTUP_NOTE;

// The command bars of the host's active explorer, fetched afresh on every use.
ComPtr<IDispatch> CommandBarsOf(IDispatch* app) {
    return orv::GetObj(orv::GetObj(app, L"ActiveExplorer").Get(), L"CommandBars");
}

// True when some control of the collection is captioned exactly caption.
bool HoldsCaption(IDispatch* controls, const std::wstring& caption) {
    bool found = false;
    orv::ForEach(controls, [&](const Variant& item) {
        found = orv::GetString(orv::AsObject(item).Get(), L"Caption") == caption;
        return !found;
    });
    return found;
}

// Our build of the designer library travels with the add-in; a test program that links
// this code directly finds it through the registration instead.
HRESULT LoadDesignerLibrary(ITypeLib** out) noexcept {
    try {
        std::wstring path = registration::ModulePath(orv::ThisModule()) + L"\\" + std::to_wstring(IDR_TYPELIB_DESIGNER);
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

int Addin::HeldReferences() const {
    return (myCommandBars ? 1 : 0) + (myMenuBar ? 1 : 0) + (myMenuItem ? 1 : 0) + (myToolbarButton ? 1 : 0);
}

// Demand connection: the window, shown modeless; nothing else happens here.
void Addin::ShowBuilder(IDispatch* application) { Global::TheForm1().Show(application); }

// Start-up connection: the window loaded hidden, the help pop-up, hostApp, then the two
// controls unless a "Standard" bar already carries the button.
void Addin::Install(IDispatch* application) {
    HWND hwnd = Global::TheForm1().hWnd(application);
    // The ANSI entry on purpose, as the start-up pop-up has always been asked for; the window's
    // Help button goes through CommonDialog1, which is Unicode.
    WinHelpA(hwnd, ORVALIS_HELP_FILE, HELP_CONTEXTPOPUP, kStartupHelpContext);
    Global::SetHostApp(orv::QueryAs<IDispatch>(application, IID__Application).Get());
    if (!InstallToolbarButtons()) return;
    InstallMenuItem();
}

// Adds the button to every bar named "Standard"; false when one of them already has it,
// which means the controls are installed and the connection is done.
bool Addin::InstallToolbarButtons() {
    ComPtr<IDispatch> app = Global::hostApp();
    const int16_t n = orv::ToCount16(orv::Get(CommandBarsOf(app.Get()).Get(), L"Count"));
    for (int i = 1; i <= n; ++i) {
        auto bar = orv::GetObj(CommandBarsOf(app.Get()).Get(), L"Item", {Variant::I2(static_cast<int16_t>(i))});
        if (orv::GetString(bar.Get(), L"Name") != kStandardBar) continue;
        auto controls = orv::GetObj(bar.Get(), L"Controls");
        if (HoldsCaption(controls.Get(), kButtonCaption)) return false;
        // Type alone: the button goes at the end of the bar and is permanent.
        auto added = orv::AsObject(orv::Call(controls.Get(), L"Add", {Variant::I4(kControlButton)}));
        myToolbarButton = orv::QueryAs<IDispatch>(added.Get(), IID__CommandBarButton);
        IDispatch* button = myToolbarButton.Get();
        orv::Put(button, L"Caption", Variant::Str(kButtonCaption));
        orv::Put(button, L"Enabled", Variant::Bool(true));
        orv::Put(button, L"Style", Variant::I4(kIconAndCaption));
        orv::Put(button, L"TooltipText", Variant::Str(kButtonTooltip));
        orv::Put(button, L"HelpFile", Variant::Str(kHelpFile));
        orv::Put(button, L"HelpContextId", Variant::I4(kControlsHelpContext));
        orv::Put(button, L"FaceId", Variant::I4(kButtonFace));
        orv::Put(button, L"OnAction", Variant::Str(kOnAction));
    }
    return true;
}

// Adds "&Orvalis Utility" under the last "&Tools" control of the active menu bar, unless that
// parent already has such an item: a start-up after the user removed only the button must not
// stack a second item under Tools.
void Addin::InstallMenuItem() {
    ComPtr<IDispatch> app = Global::hostApp();
    myCommandBars = orv::QueryAs<IDispatch>(CommandBarsOf(app.Get()).Get(), IID__CommandBars);
    myMenuBar = orv::QueryAs<IDispatch>(orv::GetObj(myCommandBars.Get(), L"ActiveMenuBar").Get(), IID_CommandBar);
    const int16_t m = orv::ToCount16(orv::Get(orv::GetObj(myMenuBar.Get(), L"Controls").Get(), L"Count"));
    ComPtr<IDispatch> parent;
    for (int j = 1; j <= m; ++j) {
        auto control = orv::GetObj(orv::GetObj(myMenuBar.Get(), L"Controls").Get(), L"Item",
                                   {Variant::I2(static_cast<int16_t>(j))});
        if (orv::GetString(control.Get(), L"Caption") == kToolsCaption)
            parent = orv::QueryAs<IDispatch>(control.Get(), IID_CommandBarControl);
    }
    if (!parent) orv::RaiseRuntime(orv::kObjectNotSet);

    // A generic control doesn't declare Controls: both calls go by name.
    auto items = orv::GetObj(parent.Get(), L"Controls");
    if (HoldsCaption(items.Get(), kMenuItemCaption)) return;
    auto added = orv::AsObject(orv::Call(items.Get(), L"Add", {orv::Named(L"Type", Variant::I4(kControlButton))}));
    myMenuItem = orv::QueryAs<IDispatch>(added.Get(), IID__CommandBarButton);
    IDispatch* item = myMenuItem.Get();
    orv::Put(item, L"Caption", Variant::Str(kMenuItemCaption));
    orv::Put(item, L"Enabled", Variant::Bool(true));
    orv::Put(item, L"HelpContextId", Variant::I4(kControlsHelpContext));
    orv::Put(item, L"HelpFile", Variant::Str(kHelpFile));
    orv::Put(item, L"OnAction", Variant::Str(kOnAction));
}

void Addin::ReleaseHostReferences() noexcept {
    Global::EmptyHostApp();
    myCommandBars.Reset();
    myMenuBar.Reset();
    myMenuItem.Reset();
    myToolbarButton.Reset();
}
