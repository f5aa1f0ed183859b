#pragma once
// A tiny connect class of the tests' own, for driving the mail-client stand-in: it records
// each call the host makes, can be told to fail one, and can be registered for this process
// under a ProgID so the host creates it by name.
#include <windows.h>
#include <ole2.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

#include "dispatch.h"
#include "host_extensibility.h"

namespace hosttest {

using Microsoft::WRL::ComPtr;

class TestAddIn final : public sim::IDTExtensibility2 {
public:
    static inline long alive = 0;  // TestAddIn objects in this process

    TestAddIn() { ++alive; }
    // Every call in order: "OnConnection(1)", "OnStartupComplete", "OnDisconnection(0)", ...
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

    LONG refs() const { return refs_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != sim::IID_IDTExtensibility2) return E_NOINTERFACE;
        *out = static_cast<sim::IDTExtensibility2*>(this);
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
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
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

private:
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
};

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
