// The stand-ins' in-process COM server: the CDO session ("Mapi.Session") and the mail
// client's application ("Outlook.Application"), plus exports the tests use to load a
// scenario, read the call log and count live objects.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <string>

#include "data_file.h"
#include "error.h"
#include "outlook/host_model.h"
#include "parts.h"
#include "sim_object.h"
#include "sim_state.h"

namespace {

HMODULE g_module = nullptr;
LONG g_locks = 0;

struct ClassInfo {
    const CLSID* clsid;
    const wchar_t* progId;
    const wchar_t* name;
    sim::Creator create;
};

const ClassInfo kClasses[] = {
    {&sim::CLSID_CdoSession, L"MAPI.Session", L"Stand-in CDO Session", &sim::CreateCdoSession},
    {&sim::CLSID_OutlookApplication, L"Outlook.Application", L"Stand-in mail client application", &sim::GetOutlookApplication},
};

class Factory : public sim::Unknown<IClassFactory> {
public:
    explicit Factory(const ClassInfo& info) : info_(info) {}
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        sim::EnsureScenarioLoaded();
        std::wstring kind = info_.clsid == &sim::CLSID_CdoSession ? L"Session" : L"Application";
        sim::LogLine(L"CreateInstance " + std::wstring(info_.progId));
        if (const sim::FaultRule* f = sim::MatchFault(kind, L"", L"CreateInstance")) return f->hr;
        IUnknown* object = nullptr;
        HRESULT hr = info_.create(&object);
        if (FAILED(hr)) return hr;
        hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) InterlockedIncrement(&g_locks); else InterlockedDecrement(&g_locks);
        return S_OK;
    }

private:
    const ClassInfo& info_;
};

std::wstring GuidText(const GUID& g) {
    wchar_t buf[64];
    StringFromGUID2(g, buf, 64);
    return buf;
}

LONG SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k;
    LONG r = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr);
    if (r != ERROR_SUCCESS) return r;
    r = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return r;
}

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
    for (const ClassInfo& c : kClasses) {
        if (clsid != *c.clsid) continue;
        Factory* f = new Factory(c);
        HRESULT hr = f->QueryInterface(iid, out);
        f->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() {
    return sim::LiveObjects(L"") == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT __stdcall DllRegisterServer() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(g_module, path, MAX_PATH);
    for (const ClassInfo& c : kClasses) {
        std::wstring clsid = GuidText(*c.clsid);
        std::wstring key = L"CLSID\\" + clsid;
        if (SetValue(HKEY_CLASSES_ROOT, key, nullptr, c.name) ||
            SetValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", nullptr, path) ||
            SetValue(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") ||
            SetValue(HKEY_CLASSES_ROOT, key + L"\\ProgID", nullptr, c.progId) ||
            SetValue(HKEY_CLASSES_ROOT, c.progId, nullptr, c.name) ||
            SetValue(HKEY_CLASSES_ROOT, std::wstring(c.progId) + L"\\CLSID", nullptr, clsid))
            return SELFREG_E_CLASS;
    }
    return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    for (const ClassInfo& c : kClasses) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(*c.clsid)).c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, c.progId);
    }
    return S_OK;
}

// Loads a scenario (JSON text): replaces the directory, the picks, the host and the faults.
// A scenario that doesn't load changes nothing and fails with its problem in IErrorInfo.
extern "C" HRESULT __stdcall SimLoadScenario(const wchar_t* json) {
    return orv::Guard([&] {
        try {
            sim::LoadScenario(sim::ParseDataText(sim::Narrow(json ? json : L"{}")));
        } catch (const sim::DataError& e) {
            orv::Raise(E_INVALIDARG, sim::Widen(e.what()));
        }
    });
}

namespace {

BSTR ProblemText(const std::string& problem) { return problem.empty() ? nullptr : SysAllocString(sim::Widen(problem).c_str()); }

}  // namespace

// What keeps a data file from loading, as one line naming the file as shownAs; null when
// nothing does. Nothing is loaded.
extern "C" BSTR __stdcall SimCheckScenarioFile(const wchar_t* path, const wchar_t* shownAs) {
    try {
        return ProblemText(sim::CheckScenarioFile(path, sim::Narrow(shownAs)));
    } catch (...) {
        return SysAllocString(L"the scenario could not be checked");
    }
}
extern "C" BSTR __stdcall SimCheckHostStateFile(const wchar_t* path, const wchar_t* shownAs) {
    try {
        return ProblemText(sim::outlook::CheckStateFile(path, sim::Narrow(shownAs)));
    } catch (...) {
        return SysAllocString(L"the host's state file could not be checked");
    }
}

// The calls received since the last SimClearLog, one line each.
extern "C" BSTR __stdcall SimGetLog() { return SysAllocString(sim::LogText().c_str()); }
extern "C" void __stdcall SimClearLog() { sim::ClearLog(); }

// The calls to kind.member since the last SimClearLog; NULL or "" for any kind or member.
extern "C" LONG __stdcall SimCallCount(const wchar_t* kind, const wchar_t* member) {
    try {
        return sim::CallCount(kind ? kind : L"", member ? member : L"");
    } catch (...) {
        return -1;
    }
}

// Live stand-in objects of one kind ("Session", "Recipient", ...), or of all kinds for NULL or "".
extern "C" LONG __stdcall SimLiveObjects(const wchar_t* kind) { return sim::LiveObjects(kind ? kind : L""); }

// For stand-ins that live in modules of their own (hhctrl.ocx): their calls go into this one log,
// in order with everybody else's, and the scenario's fault rules and the live counts apply to
// them as to the objects here. SimRecordCall logs line and says how a rule for kind[id].member
// makes the call go wrong: 0 not at all, 1 it fails, 2 it answers nothing, 3 the wrong type.
// Without a member the line is a note, not a call: no rule applies to it.
extern "C" LONG __stdcall SimRecordCall(const wchar_t* kind, const wchar_t* id, const wchar_t* member, const wchar_t* line) {
    try {
        sim::EnsureScenarioLoaded();
        sim::LogLine(line ? line : L"");
        if (!member || !*member) return 0;
        sim::CountCall(kind ? kind : L"", member);
        const sim::FaultRule* f = sim::MatchFault(kind ? kind : L"", id ? id : L"", member);
        if (!f) return 0;
        switch (f->answer) {
            case sim::FaultAnswer::Fail: return 1;
            case sim::FaultAnswer::Nothing: return 2;
            case sim::FaultAnswer::WrongType: return 3;
            case sim::FaultAnswer::ElementError: return 0;  // no answer of theirs is an array
        }
        return 1;
    } catch (...) {
        return 0;
    }
}
// What a call answered ("<- HtmlHelp.HtmlHelpW HWND"), logged only where answers are logged.
extern "C" void __stdcall SimRecordAnswer(const wchar_t* line) {
    try {
        if (sim::LogResults()) sim::LogLine(line ? line : L"");
    } catch (...) {
    }
}
// One more (delta 1) or one fewer (-1) live object of a kind.
extern "C" void __stdcall SimCountObject(const wchar_t* kind, LONG delta) {
    try {
        for (; delta > 0; --delta) sim::CountBirth(kind ? kind : L"");
        for (; delta < 0; ++delta) sim::CountDeath(kind ? kind : L"");
    } catch (...) {
    }
}

// "Kind=count" for every kind with live objects, one per line.
extern "C" BSTR __stdcall SimLiveReport() {
    std::wstring s;
    for (const auto& [kind, n] : sim::LiveByKind())
        if (n) s += kind + L"=" + std::to_wstring(n) + L"\n";
    return SysAllocString(s.c_str());
}
