#include "sim_client.h"

#include <oleauto.h>

#include "bstr.h"
#include "error.h"

namespace simclient {

namespace {

HMODULE Module() {
    static HMODULE module = [] {
        // The path COM loads the server from, so both share one log and one set of counts.
        wchar_t path[MAX_PATH] = L"";
        LONG size = sizeof path;
        RegQueryValueW(HKEY_CLASSES_ROOT, L"CLSID\\{3FA7DEA3-6438-101B-ACC1-00AA00423326}\\InprocServer32", path, &size);
        HMODULE m = LoadLibraryW(path[0] ? path : L"OrvalisSim.dll");
        if (!m) orv::Raise(HRESULT_FROM_WIN32(GetLastError()), L"The stand-ins (OrvalisSim.dll) are not registered");
        return m;
    }();
    return module;
}

template <class F>
F Export(const char* name) {
    auto p = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(Module(), name)));
    if (!p) orv::Raise(E_NOTIMPL, L"OrvalisSim.dll lacks an export");
    return p;
}

std::wstring TakeBstr(BSTR b) {
    orv::Bstr owned;
    *owned.put() = b;
    return owned.str();
}

}  // namespace

void LoadScenario(const std::wstring& json) {
    HRESULT hr = Export<HRESULT(__stdcall*)(const wchar_t*)>("SimLoadScenario")(json.c_str());
    if (FAILED(hr)) orv::Raise(hr, L"The scenario is not valid JSON");
}

std::wstring Log() { return TakeBstr(Export<BSTR(__stdcall*)()>("SimGetLog")()); }
void ClearLog() { Export<void(__stdcall*)()>("SimClearLog")(); }
long LiveObjects(const std::wstring& kind) { return Export<LONG(__stdcall*)(const wchar_t*)>("SimLiveObjects")(kind.c_str()); }
std::wstring LiveReport() { return TakeBstr(Export<BSTR(__stdcall*)()>("SimLiveReport")()); }

}  // namespace simclient
