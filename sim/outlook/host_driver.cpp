// The part of the stand-in that plays the mail client itself: start-up from the registry's
// add-in entries, a click on a control (demand load), shutdown; and the exports through
// which tests and OrvalisHost.exe drive it.
#include "error.h"
#include "host_extensibility.h"
#include "host_objects.h"
#include "sim_state.h"

namespace sim::outlook {

namespace {

std::vector<AddInPtr> ConnectedAddIns() {
    std::vector<AddInPtr> out;
    for (const auto& a : TheHost().addIns)
        if (a->connected) out.push_back(a);
    return out;
}

// "!<ProgID>" (or "!ProgID"): the ProgID a control's action asks the host to load.
std::wstring DemandLoadProgId(const std::wstring& action) {
    if (action.size() < 2 || action[0] != L'!') return {};
    std::wstring progId = action.substr(1);
    if (progId.size() >= 2 && progId.front() == L'<' && progId.back() == L'>') progId = progId.substr(1, progId.size() - 2);
    return progId;
}

void HoldApplication() {
    Host& h = TheHost();
    if (!h.runningApp) h.runningApp = ApplicationObject();
}

}  // namespace

void StartHost() {
    LogLine(L"Host.Startup()");
    SyncRegistryAddIns(TheHost());
    HoldApplication();
    std::vector<AddInPtr> list = TheHost().addIns;
    for (const auto& a : list) {
        if (!(a->loadBehavior & 1) || a->connected) continue;
        try {
            ConnectAddIn(a, ext_cm_Startup);
        } catch (const Failure&) {
            // Logged; an add-in that cannot be created stays disconnected.
        }
    }
    // Only once every add-in is connected does start-up count as complete.
    for (const auto& a : ConnectedAddIns()) CallStartupComplete(a);
}

void ShutdownHost() {
    LogLine(L"Host.Shutdown()");
    for (const auto& a : ConnectedAddIns()) CallBeginShutdown(a);
    for (const auto& a : ConnectedAddIns()) DisconnectAddIn(a, ext_dm_HostShutdown);
    Host& h = TheHost();
    h.explorerOpen = h.explorerAtStart;
    SaveState();
    ComPtr<IDispatch> app = std::move(h.runningApp);  // the last thing the host lets go of
}

void ClickControl(const ControlPtr& control) {
    std::wstring progId = DemandLoadProgId(control->onAction);
    if (progId.empty()) return;
    // The ProgID goes through the registry, which ignores case, as the real client's lookup does.
    CLSID wanted;
    if (FAILED(CLSIDFromProgID(progId.c_str(), &wanted))) {
        LogLine(L"Host: no class is registered as \"" + progId + L"\"");
        return;
    }
    AddInPtr target;
    for (const auto& a : TheHost().addIns) {
        CLSID clsid;
        if (SUCCEEDED(CLSIDFromProgID(a->progId.c_str(), &clsid)) && clsid == wanted) {
            target = a;
            break;
        }
    }
    if (!target) {
        LogLine(L"Host: \"" + progId + L"\" is not in the add-in list");
        return;
    }
    if (target->connected) return;
    HoldApplication();
    try {
        ConnectAddIn(target, ext_cm_AfterStartup);
    } catch (const Failure&) {
        // Logged; a click has nobody to report to.
    }
}

}  // namespace sim::outlook

namespace {

using namespace sim::outlook;

template <class F>
HRESULT Run(F f) noexcept {
    try {
        f();
        return S_OK;
    } catch (const sim::Failure& e) {
        return e.hr;
    } catch (const orv::Error& e) {
        return e.hr();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

BSTR Text(const std::wstring& s) { return SysAllocStringLen(s.data(), static_cast<UINT>(s.size())); }

}  // namespace

// The host's start-up: every add-in entry with LoadBehavior bit 1 is connected (ext_cm_Startup),
// then OnStartupComplete goes to each add-in still connected.
extern "C" HRESULT __stdcall SimHostStartup() { return Run([] { StartHost(); }); }

// A click on the control at path ("Standard/Orvalis", "Menu Bar/&Tools/&Orvalis Utility").
extern "C" HRESULT __stdcall SimHostClick(const wchar_t* path) {
    return Run([path] {
        std::wstring p = path ? path : L"";
        sim::LogLine(L"Host.Click(\"" + p + L"\")");
        ControlPtr c = FindControl(TheHost(), p);
        if (!c) sim::Fail(E_INVALIDARG, L"No control at " + p);
        ClickControl(c);
    });
}

extern "C" HRESULT __stdcall SimHostShutdown() { return Run([] { ShutdownHost(); }); }

// Forgets the host (add-ins released uncalled); the next use loads the state file afresh.
extern "C" HRESULT __stdcall SimHostReset() {
    return Run([] {
        sim::LogLine(L"Host.Reset()");
        ResetHost();
    });
}

// One line per listed add-in: "1" or "0" (connected), tab, ProgID, tab, description.
extern "C" BSTR __stdcall SimHostAddIns() {
    try {
        std::wstring s;
        for (const auto& a : TheHost().addIns)
            s += std::wstring(a->connected ? L"1" : L"0") + L"\t" + a->progId + L"\t" + a->description + L"\n";
        return Text(s);
    } catch (...) {
        return nullptr;
    }
}

// Lists a connect object of the caller's as an add-in. connectMode >= 0 connects it with
// OnConnection in that mode; -1 lists it as connected without a call; a null object lists a
// disconnected entry. Returns what OnConnection returned.
extern "C" HRESULT __stdcall SimHostAddAddIn(IUnknown* object, const wchar_t* description, const wchar_t* progId,
                                             LONG connectMode) {
    HRESULT result = S_OK;
    HRESULT hr = Run([&] {
        auto a = std::make_shared<AddIn>();
        a->description = description ? description : L"";
        a->progId = progId ? progId : L"";
        TheHost().addIns.push_back(a);
        if (!object) return;
        if (connectMode < 0) {
            a->object = object;
            a->connected = true;
            return;
        }
        result = AttachAddIn(a, object, connectMode);
    });
    return FAILED(hr) ? hr : result;
}

// The bars and controls as indented captions.
extern "C" BSTR __stdcall SimHostLayout() {
    try {
        return Text(LayoutText(TheHost()));
    } catch (...) {
        return nullptr;
    }
}

// "Name=value" lines of the control at path; null when there is none.
extern "C" BSTR __stdcall SimHostControl(const wchar_t* path) {
    try {
        ControlPtr c = FindControl(TheHost(), path ? path : L"");
        return c ? Text(ControlText(*c)) : nullptr;
    } catch (...) {
        return nullptr;
    }
}
