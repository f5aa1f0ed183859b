#pragma once
// The connect class Addin: the mail client creates it through the ProgID and calls the five
// operations of the add-in contract on it, and, from its 2010 version on, asks it for the
// ribbon document (IRibbonExtensibility) and calls the callbacks that document names by name.
// What each operation does depends on the add-in's place in the client, command bars or ribbon
// (host_place.h): OnConnection chooses it, and every operation delegates to it.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <memory>

#include "OrvalisAddin.h"
#include "host_place.h"
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
    // contract's operations through its type description, and the ribbon document's callbacks
    // through the place.
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

    // Runs an operation: holds this object across it and turns a failure into the HRESULT
    // and IErrorInfo the host gets.
    template <class F>
    HRESULT Operation(F&& body) noexcept;
    // The place, held by the caller for the length of its call: a nested connection may choose
    // another meanwhile.
    std::shared_ptr<orvalis::HostPlace> Place() const { return place_; }

    LONG refs_ = 1;
    // The add-in's place in the client, chosen by the object's first OnConnection; it owns what
    // that place holds of the client's, so a connect object the host lets go of lets go of that
    // too. Until a connection: the command bars, holding nothing.
    std::shared_ptr<orvalis::HostPlace> place_;
    bool placeChosen_ = false;
};
