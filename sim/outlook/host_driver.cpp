// The part of the stand-in that plays the mail client itself: start-up from the registry's
// add-in entries, a click on a control (demand load), shutdown; and the exports through
// which tests and OrvalisHost.exe drive it.
#include "client.h"
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

// Runs an export's work: a failure becomes its HRESULT, with its description in the caller's
// error info.
template <class F>
HRESULT Run(F f) noexcept {
    try {
        f();
        return S_OK;
    } catch (const sim::Failure& e) {
        return orv::ReportError(orv::Error(e.hr, e.description));
    } catch (const orv::Error& e) {
        return orv::ReportError(e);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

BSTR Text(const std::wstring& s) { return SysAllocStringLen(s.data(), static_cast<UINT>(s.size())); }

// A field of SimHostRibbon's lines: backslash, tab and line breaks written as escapes.
std::wstring Escaped(const std::wstring& s) {
    std::wstring out;
    for (wchar_t c : s) {
        switch (c) {
            case L'\\': out += L"\\\\"; break;
            case L'\t': out += L"\\t"; break;
            case L'\n': out += L"\\n"; break;
            case L'\r': out += L"\\r"; break;
            default: out += c;
        }
    }
    return out;
}

// Where a control stands and its attributes as written, as tab-separated fields: the tab (how
// named, name), the group (how named, name, label), then name=value for each attribute.
std::wstring Fields(const CustomControl& c) {
    std::wstring s;
    for (const std::wstring* f : {&c.tabBy, &c.tab, &c.groupBy, &c.group, &c.groupLabel}) s += L"\t" + Escaped(*f);
    for (const auto& [name, value] : c.attributes) s += L"\t" + Escaped(name) + L"=" + Escaped(value);
    return s;
}

AddInPtr ListedAddIn(const std::wstring& progId) {
    for (const auto& a : TheHost().addIns)
        if (_wcsicmp(a->progId.c_str(), progId.c_str()) == 0) return a;
    sim::Fail(E_INVALIDARG, L"No add-in is listed as " + progId);
}

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

// A click on the ribbon control with that id: a button's onAction, or a checkBox ticked or
// unticked and its onAction with the new state. Fails E_INVALIDARG when no shown control has the
// id (or it is a dropDown), else with what the callback's GetIDsOfNames or Invoke failed with;
// the error info says what went wrong.
extern "C" HRESULT __stdcall SimHostRibbonClick(const wchar_t* controlId) {
    return Run([controlId] {
        std::wstring id = controlId ? controlId : L"";
        sim::LogLine(L"Host.RibbonClick(\"" + id + L"\")");
        ClickRibbonControl(id);
    });
}

// The user chooses the item with that id in the ribbon dropDown with that id: its onAction with
// the item's id and index. Fails as SimHostRibbonClick does, and E_INVALIDARG for no such item.
extern "C" HRESULT __stdcall SimHostRibbonSelect(const wchar_t* dropDownId, const wchar_t* itemId) {
    return Run([dropDownId, itemId] {
        std::wstring id = dropDownId ? dropDownId : L"", item = itemId ? itemId : L"";
        sim::LogLine(L"Host.RibbonSelect(\"" + id + L"\", \"" + item + L"\")");
        SelectRibbonItem(id, &item, -1);
    });
}

// The same, the item chosen by its index (from 0, as the callback gets it).
extern "C" HRESULT __stdcall SimHostRibbonSelectIndex(const wchar_t* dropDownId, LONG index) {
    return Run([dropDownId, index] {
        std::wstring id = dropDownId ? dropDownId : L"";
        sim::LogLine(L"Host.RibbonSelect(\"" + id + L"\", " + std::to_wstring(index) + L")");
        SelectRibbonItem(id, nullptr, index);
    });
}

// The ribbon buttons the host shows, one line each: ProgID, then Fields, separated by tabs.
extern "C" BSTR __stdcall SimHostRibbon() {
    try {
        std::wstring s;
        for (const auto& a : TheHost().addIns)
            for (const ShownControl& c : a->ribbon.controls)
                if (c.control.IsButton()) s += Escaped(a->progId) + Fields(c.control) + L"\n";
        return Text(s);
    } catch (...) {
        return nullptr;
    }
}

// Every ribbon control the host shows, as it shows it (the state callbacks not asked since the
// control was loaded or invalidated are asked first), one line each: ProgID, the kind (button,
// checkBox, dropDown), the state ("" for a button, 1 or 0 for a checkBox ticked or not, the
// index of a dropDown's chosen item, -1 for none), Fields, then a dropDown's items as
// *id=label, separated by tabs.
extern "C" BSTR __stdcall SimHostRibbonControls() {
    try {
        ShowRibbons();
        std::wstring s;
        for (const auto& a : TheHost().addIns)
            for (const ShownControl& c : a->ribbon.controls) {
                const std::wstring state = c.control.IsCheckBox()   ? std::wstring(c.pressed ? L"1" : L"0")
                                           : c.control.IsDropDown() ? std::to_wstring(c.selected)
                                                                    : std::wstring();
                s += Escaped(a->progId) + L"\t" + c.control.kind + L"\t" + state + Fields(c.control);
                for (const DropDownItem& item : c.control.items) s += L"\t*" + Escaped(item.id) + L"=" + Escaped(item.label);
                s += L"\n";
            }
        return Text(s);
    } catch (...) {
        return nullptr;
    }
}

// What the listed add-in's GetCustomUI answers for ribbonId (an inspector's, say), logged and
// judged as the explorer's document is, but not shown.
extern "C" HRESULT __stdcall SimHostGetCustomUI(const wchar_t* progId, const wchar_t* ribbonId, BSTR* xml) {
    if (!xml) return E_POINTER;
    *xml = nullptr;
    return Run([&] {
        std::wstring answer = AskCustomUI(ListedAddIn(progId ? progId : L""), ribbonId ? ribbonId : L"");
        *xml = Text(answer);
    });
}

// Plays a client of another version ("16.0.0.0") until the next scenario load.
extern "C" HRESULT __stdcall SimHostSetVersion(const wchar_t* version) {
    return Run([version] {
        sim::EnsureScenarioLoaded();  // a later first load would put the scenario's version back
        std::wstring v = version ? version : L"";
        if (!SetClientVersion(v)) sim::Fail(E_INVALIDARG, L"\"" + v + L"\" is not a version number (as \"16.0.0.0\")");
        sim::LogLine(L"Host.Version(\"" + v + L"\")");
    });
}

// The fast shutdown of current clients: the process ends at once, without OnBeginShutdown or
// OnDisconnection to any add-in (the loaded libraries still get their process detach). The
// client's own state is saved first, as it saves its data before it goes.
extern "C" void __stdcall SimHostFastExit(UINT exitCode) {
    try {
        sim::LogLine(L"Host.FastExit()");
        SaveState();
    } catch (...) {
    }
    ExitProcess(exitCode);
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
