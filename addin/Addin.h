#pragma once
// The connect class Addin: the mail client creates it through the ProgID and calls the five
// operations of the add-in contract on it. Where the client has command bars (up to 2007), a
// start-up connection installs the toolbar button and the Tools menu item; a demand
// connection (mode 0) shows the list builder; disconnection and shutdown let go of every host
// object held here. Where it has a ribbon (2010 on), every connection only keeps the client's
// application: the client asks for the ribbon document (IRibbonExtensibility), its button's
// callback shows the list builder, and the add-in stays connected until the client lets it go,
// then closes the window and lets go of everything.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "OrvalisAddin.h"
#include "host_ui.h"
#include "ribbon.h"

// The tests' one way inside the add-in's objects; defined by the tests only.
namespace orvtest {
class Seam;
}

class Addin final : public IDTExtensibility2, public IRibbonExtensibility, public ISupportErrorInfo {
public:
    // A new object with every field empty, handed out through iid; its count is that of *out.
    static HRESULT Create(REFIID iid, void** out) noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch, for _Addin, the add-in contract and the ribbon alike: calls by name reach the
    // contract's operations through its type description, and the ribbon button's callback.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argErr) override;

    // IDTExtensibility2
    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode, IDispatch* AddInInst,
                                           SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;

    // IRibbonExtensibility: the document of the main window's ribbon, "" for every other.
    HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

    Addin(const Addin&) = delete;
    Addin& operator=(const Addin&) = delete;

private:
    friend class orvtest::Seam;

    Addin();
    ~Addin();

    void ShowBuilder(IDispatch* application);
    void Install(IDispatch* application);
    // The ribbon path's connection: the client's application as hostApp, nothing else.
    void ConnectToRibbon(IDispatch* application);
    // The ribbon button's callback: shows the list builder (loaded first when it isn't).
    HRESULT OnRibbonButton(WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argErr) noexcept;
    // The ribbon path's disconnection and shutdown: the window closed, everything let go.
    void LeaveRibbon();
    // The host's user interface for the add-in: the command bars' button and menu item
    // (command_bars.cpp).
    void InstallCommandBarControls();
    bool InstallToolbarButtons();
    void InstallMenuItem();
    void ReleaseHostReferences() noexcept;
    // Runs an operation: holds this object across it and turns a failure into the HRESULT
    // and IErrorInfo the host gets.
    template <class F>
    HRESULT Operation(F&& body) noexcept;

    LONG refs_ = 1;
    // How the client of this object's connection gives the add-in its place.
    orvalis::HostUi hostUi_ = orvalis::HostUi::CommandBars;
    Microsoft::WRL::ComPtr<IDispatch> myCommandBars;
    Microsoft::WRL::ComPtr<IDispatch> myMenuBar;
    Microsoft::WRL::ComPtr<IDispatch> myMenuItem;
    Microsoft::WRL::ComPtr<IDispatch> myToolbarButton;
};
