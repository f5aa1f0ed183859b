#pragma once
// A tiny connect class of the tests' own, for driving the mail-client stand-in: it records
// each call the host makes, can be told to fail one, and can be registered for this process
// under a ProgID so the host creates it by name. As a ribbon add-in it offers a customUI
// document and answers the ribbon's callbacks by name through its IDispatch.
#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

#include "dispatch.h"
#include "host_extensibility.h"
#include "ribbon.h"

namespace hosttest {

using Microsoft::WRL::ComPtr;

class TestAddIn final : public sim::IDTExtensibility2 {
public:
    static inline long alive = 0;  // TestAddIn objects in this process
    // What a ribbon callback does: it gets the control and the arguments after it, in the
    // callback's order, and returns its answer (EMPTY for none).
    using Callback = std::function<orv::Variant(IDispatch* control, const std::vector<orv::Variant>& args)>;

    TestAddIn() : ribbonPart_(this) { ++alive; }
    // Every call in order: "OnConnection(1)", "OnStartupComplete", "OnDisconnection(0)", ...,
    // and for a ribbon add-in "GetCustomUI(Microsoft.Outlook.Explorer)",
    // "GetIDsOfNames(OnTestClick, 1 name, lcid 1024, IID_NULL)",
    // "Invoke(1001, flags 1, 2 arguments, 0 named, vt 9 11, result)" (vt in the callback's order).
    std::vector<std::wstring> calls;
    // Makes that method fail with E_FAIL and this description in its error info.
    std::wstring failMethod;
    std::wstring failText = L"The test add-in refused";
    // Runs inside OnStartupComplete (e.g. to switch the add-in off, as a real one does).
    std::function<void()> onStartupComplete;
    // Runs inside OnDisconnection.
    std::function<void()> onDisconnection;
    bool customWasEmptyArray = true;
    ComPtr<IDispatch> addInInst;  // kept from OnConnection when keepAddInInst is set
    bool keepAddInInst = false;

    // The ribbon: IRibbonExtensibility only when offered, with this document for the
    // explorer's ribbon and "" for every other.
    bool offersRibbon = false;
    std::wstring document;
    HRESULT getCustomUIResult = S_OK;
    // Makes every callback (or only the one named failCallback) fail once its body has run: with
    // this HRESULT, and through exception info holding callbackFailure when that is given.
    HRESULT callbackResult = S_OK;
    std::wstring callbackFailure;
    std::wstring failCallback;

    // Answers the callback of that name (in any letter case) with body; the callbacks get the
    // DISPIDs 1001, 1002, ... in the order they are given.
    void Answer(const std::wstring& name, Callback body) { callbacks_.push_back({name, std::move(body)}); }

    LONG refs() const { return refs_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == sim::IID_IDTExtensibility2)
            *out = static_cast<sim::IDTExtensibility2*>(this);
        else if (iid == __uuidof(IRibbonExtensibility) && offersRibbon)
            *out = static_cast<IRibbonExtensibility*>(&ribbonPart_);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        calls.push_back(L"GetIDsOfNames(" + std::wstring(names[0]) + L", " + std::to_wstring(count) + L" name, lcid " +
                        std::to_wstring(lcid) + (iid == IID_NULL ? L", IID_NULL)" : L", other IID)"));
        ids[0] = DISPID_UNKNOWN;
        for (size_t i = 0; i < callbacks_.size(); ++i)
            if (_wcsicmp(callbacks_[i].name.c_str(), names[0]) == 0) ids[0] = kFirstCallback + static_cast<DISPID>(i);
        return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT*) override {
        if (!params) return E_POINTER;
        std::wstring vts;
        for (UINT i = params->cArgs; i-- > 0;) vts += L" " + std::to_wstring(params->rgvarg[i].vt);
        calls.push_back(L"Invoke(" + std::to_wstring(id) + L", flags " + std::to_wstring(flags) + L", " +
                        std::to_wstring(params->cArgs) + (params->cArgs == 1 ? L" argument, " : L" arguments, ") +
                        std::to_wstring(params->cNamedArgs) + L" named, vt" + vts + (result ? L", result)" : L")"));
        const size_t n = static_cast<size_t>(id - kFirstCallback);
        if (id < kFirstCallback || n >= callbacks_.size()) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs == 0) return DISP_E_BADPARAMCOUNT;
        const VARIANT& first = params->rgvarg[params->cArgs - 1];
        std::vector<orv::Variant> rest;
        for (UINT i = params->cArgs - 1; i-- > 0;) rest.push_back(orv::Variant::CopyOf(params->rgvarg[i]));
        orv::Variant answer = callbacks_[n].body(first.vt == VT_DISPATCH ? first.pdispVal : nullptr, rest);
        if (FAILED(callbackResult) && (failCallback.empty() || failCallback == callbacks_[n].name)) {
            if (callbackFailure.empty() || !excep) return callbackResult;
            *excep = EXCEPINFO{};
            excep->scode = callbackResult;
            excep->bstrDescription = SysAllocString(callbackFailure.c_str());
            return DISP_E_EXCEPTION;
        }
        if (result) *result = answer.detach();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* app, LONG mode, IDispatch* inst, SAFEARRAY** custom) override {
        Note(custom);
        if (keepAddInInst) addInInst = inst;
        calls.push_back(L"OnConnection(" + std::to_wstring(mode) + (app ? L"" : L", no application") + L")");
        return Result(L"OnConnection");
    }
    HRESULT STDMETHODCALLTYPE OnDisconnection(LONG mode, SAFEARRAY** custom) override {
        Note(custom);
        calls.push_back(L"OnDisconnection(" + std::to_wstring(mode) + L")");
        addInInst.Reset();
        if (onDisconnection) onDisconnection();
        return Result(L"OnDisconnection");
    }
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override {
        Note(custom);
        calls.push_back(L"OnAddInsUpdate");
        return Result(L"OnAddInsUpdate");
    }
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override {
        Note(custom);
        calls.push_back(L"OnStartupComplete");
        if (onStartupComplete) onStartupComplete();
        return Result(L"OnStartupComplete");
    }
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override {
        Note(custom);
        calls.push_back(L"OnBeginShutdown");
        return Result(L"OnBeginShutdown");
    }

    HRESULT GetCustomUI(BSTR ribbonId, BSTR* xml) {
        std::wstring id = ribbonId ? ribbonId : L"";
        calls.push_back(L"GetCustomUI(" + id + L")");
        if (!xml) return E_POINTER;
        *xml = nullptr;
        if (FAILED(getCustomUIResult)) return getCustomUIResult;
        *xml = SysAllocString(id == contract::kExplorerRibbonId ? document.c_str() : L"");
        return S_OK;
    }

private:
    static constexpr DISPID kFirstCallback = 1001;

    // IRibbonExtensibility as a part of the one object: its IUnknown and IDispatch are the
    // add-in's, so the host sees one identity whichever interface it holds.
    struct RibbonPart final : IRibbonExtensibility {
        explicit RibbonPart(TestAddIn* outer) : outer(outer) {}
        TestAddIn* outer;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return outer->QueryInterface(iid, out); }
        ULONG STDMETHODCALLTYPE AddRef() override { return outer->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return outer->Release(); }
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return outer->GetTypeInfoCount(n); }
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT n, LCID lcid, ITypeInfo** info) override { return outer->GetTypeInfo(n, lcid, info); }
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
            return outer->GetIDsOfNames(iid, names, count, lcid, ids);
        }
        HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                         EXCEPINFO* excep, UINT* argErr) override {
            return outer->Invoke(id, iid, lcid, flags, params, result, excep, argErr);
        }
        HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbonId, BSTR* xml) override { return outer->GetCustomUI(ribbonId, xml); }
    };

    struct NamedCallback {
        std::wstring name;
        Callback body;
    };

    ~TestAddIn() { --alive; }

    void Note(SAFEARRAY** custom) {
        VARTYPE vt = VT_EMPTY;
        bool empty = custom && *custom && SUCCEEDED(SafeArrayGetVartype(*custom, &vt)) && vt == VT_VARIANT &&
                     SafeArrayGetDim(*custom) == 1 && (*custom)->rgsabound[0].cElements == 0;
        if (!empty) customWasEmptyArray = false;
    }

    HRESULT Result(const wchar_t* method) {
        if (failMethod != method) return S_OK;
        ICreateErrorInfo* create = nullptr;
        if (SUCCEEDED(CreateErrorInfo(&create))) {
            create->SetDescription(const_cast<LPOLESTR>(failText.c_str()));
            IErrorInfo* info = nullptr;
            if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
                SetErrorInfo(0, info);
                info->Release();
            }
            create->Release();
        }
        return E_FAIL;
    }

    LONG refs_ = 1;
    RibbonPart ribbonPart_;
    std::vector<NamedCallback> callbacks_;
};

// A new test add-in held by one reference (mingw's ComPtr adds a reference even on Attach).
inline ComPtr<TestAddIn> NewTestAddIn() {
    ComPtr<TestAddIn> p(new TestAddIn);
    p->Release();
    return p;
}

// Registers a class for this process under a ProgID: the registry gets the ProgID (so the
// host's by-name lookup works) and COM gets a class object handing out the given add-in (a new
// object with one reference, which the factory hands on).
class RegisteredClass : public IClassFactory {
public:
    RegisteredClass(const CLSID& clsid, const std::wstring& progId, std::function<IUnknown*()> make)
        : progId_(progId), make_(std::move(make)) {
        wchar_t text[64];
        StringFromGUID2(clsid, text, 64);
        SetKey(progId + L"\\CLSID", text);
        CoRegisterClassObject(clsid, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
    }
    ~RegisteredClass() {
        CoRevokeClassObject(cookie_);
        RegDeleteTreeW(HKEY_CLASSES_ROOT, progId_.c_str());
    }
    RegisteredClass(const RegisteredClass&) = delete;
    RegisteredClass& operator=(const RegisteredClass&) = delete;

    int created = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IClassFactory) { *out = nullptr; return E_NOINTERFACE; }
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }   // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        IUnknown* addIn = make_();
        if (!addIn) return E_OUTOFMEMORY;
        ++created;
        HRESULT hr = addIn->QueryInterface(iid, out);
        addIn->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    static void SetKey(const std::wstring& key, const std::wstring& value) {
        HKEY k;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr)) return;
        RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(k);
    }

    std::wstring progId_;
    std::function<IUnknown*()> make_;
    DWORD cookie_ = 0;
};

// Where the tests keep their add-in entries (the scenario's "addinsKey"), apart from entries
// that other tests in the prefix leave under the client's own key.
#define HOSTTEST_ADDINS_KEY L"Software\\OrvalisTest\\Outlook\\Addins"

// The host's add-in entry for a ProgID, per user.
class AddInEntry {
public:
    AddInEntry(const std::wstring& progId, DWORD loadBehavior, const std::wstring& description,
               const std::wstring& friendlyName = L"")
        : key_(std::wstring(HOSTTEST_ADDINS_KEY) + L"\\" + progId) {
        HKEY k;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr)) return;
        RegSetValueExW(k, L"LoadBehavior", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&loadBehavior), sizeof loadBehavior);
        auto setText = [&](const wchar_t* name, const std::wstring& v) {
            if (!v.empty())
                RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                               static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
        };
        setText(L"Description", description);
        setText(L"FriendlyName", friendlyName);
        RegCloseKey(k);
    }
    ~AddInEntry() { RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }
    AddInEntry(const AddInEntry&) = delete;
    AddInEntry& operator=(const AddInEntry&) = delete;

private:
    std::wstring key_;
};

// The stand-in's application, created as a client does.
inline ComPtr<IDispatch> CreateApplication() {
    const IID iid = {0x00063001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    return orv::QueryAs<IDispatch>(orv::CreateObject(L"Outlook.Application", iid).Get(), iid);
}

}  // namespace hosttest
