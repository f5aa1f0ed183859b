// The in-process COM server: the entry point, the class factory of Addin and the exports.
// No exception leaves an export; registration reports its failures as SELFREG_E_* results.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "Addin.h"
#include "registration.h"
#include "server.h"

namespace {

// The server's own state, beside module Global's (see Global.h): this library's handle, for
// registration.
HMODULE g_module = nullptr;

// One factory for the life of the library; its own references don't keep the library
// loaded, only its locks do.
class AddinFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return Addin::Create(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) server::LockModule();
        else server::UnlockModule();
        return S_OK;
    }
};

AddinFactory g_factory;

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_Addin) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return server::ModuleLocks() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT __stdcall DllRegisterServer() { return registration::Register(g_module, registration::Scope::Machine); }

extern "C" HRESULT __stdcall DllUnregisterServer() {
    return registration::Unregister(g_module, registration::Scope::Machine);
}

// regsvr32 /n /i:user registers for the current user only, without administrator rights;
// regsvr32 /u /n /i:user removes that registration again.
extern "C" HRESULT __stdcall DllInstall(BOOL install, LPCWSTR commandLine) {
    registration::Scope scope;
    if (!registration::ScopeFromCommandLine(commandLine, &scope)) return E_INVALIDARG;
    return install ? registration::Register(g_module, scope) : registration::Unregister(g_module, scope);
}
