#include "sim_client.h"

#include <oleauto.h>

#include "bstr.h"
#include "error.h"

namespace simclient {

namespace {

HMODULE Module() {
    static HMODULE module = [] {
        // The path COM loads the server from, so both share one log and one set of counts; a
        // test that hid the CDO class's registration still finds it through the mail client's.
        wchar_t path[MAX_PATH] = L"";
        for (const wchar_t* key : {L"CLSID\\{3FA7DEA3-6438-101B-ACC1-00AA00423326}\\InprocServer32",
                                   L"CLSID\\{0006F03A-0000-0000-C000-000000000046}\\InprocServer32"}) {
            LONG size = sizeof path;
            if (RegQueryValueW(HKEY_CLASSES_ROOT, key, path, &size) == ERROR_SUCCESS && path[0]) break;
            path[0] = L'\0';
        }
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
    orv::ThrowIfFailed(Export<HRESULT(__stdcall*)(const wchar_t*)>("SimLoadScenario")(json.c_str()));
}

namespace {

std::wstring EnvVar(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return std::wstring();
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

}  // namespace

std::wstring CheckDataFiles() {
    using Check = BSTR(__stdcall*)(const wchar_t*, const wchar_t*);
    const std::wstring scenario = EnvVar(L"ORVALIS_SIM_SCENARIO");
    if (!scenario.empty()) {
        std::wstring shownAs = EnvVar(L"ORVALIS_SCENARIO_FILE");
        std::wstring problem = TakeBstr(Export<Check>("SimCheckScenarioFile")(scenario.c_str(), (shownAs.empty() ? scenario : shownAs).c_str()));
        if (!problem.empty()) return problem;
    }
    const std::wstring state = EnvVar(L"ORVALIS_HOST_STATE");
    if (state.empty()) return std::wstring();
    return TakeBstr(Export<Check>("SimCheckHostStateFile")(state.c_str(), state.c_str()));
}

std::wstring Log() { return TakeBstr(Export<BSTR(__stdcall*)()>("SimGetLog")()); }
void ClearLog() { Export<void(__stdcall*)()>("SimClearLog")(); }
long LiveObjects(const std::wstring& kind) { return Export<LONG(__stdcall*)(const wchar_t*)>("SimLiveObjects")(kind.c_str()); }
std::wstring LiveReport() { return TakeBstr(Export<BSTR(__stdcall*)()>("SimLiveReport")()); }
long CallCount(const std::wstring& kind, const std::wstring& member) {
    return Export<LONG(__stdcall*)(const wchar_t*, const wchar_t*)>("SimCallCount")(kind.c_str(), member.c_str());
}

Fault RecordCall(const std::wstring& kind, const std::wstring& id, const std::wstring& member, const std::wstring& line) {
    using F = LONG(__stdcall*)(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*);
    switch (Export<F>("SimRecordCall")(kind.c_str(), id.c_str(), member.c_str(), line.c_str())) {
        case 1: return Fault::Failure;
        case 2: return Fault::Nothing;
        case 3: return Fault::WrongType;
        default: return Fault::None;
    }
}
void RecordAnswer(const std::wstring& line) { Export<void(__stdcall*)(const wchar_t*)>("SimRecordAnswer")(line.c_str()); }
void CountObject(const std::wstring& kind, long delta) {
    Export<void(__stdcall*)(const wchar_t*, LONG)>("SimCountObject")(kind.c_str(), delta);
}

namespace {

void Check(HRESULT hr, const wchar_t* what) {
    if (FAILED(hr)) orv::Raise(hr, what);
}

}  // namespace

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

namespace {

// Where the registration of classes lives: for the machine and for the user (HKCR merges both).
struct Root {
    HKEY key;
    const wchar_t* name;
};
const Root kRoots[] = {{HKEY_LOCAL_MACHINE, L"HKLM"}, {HKEY_CURRENT_USER, L"HKCU"}};
const wchar_t* const kKeys[] = {L"MAPI.Session", L"CLSID\\{3FA7DEA3-6438-101B-ACC1-00AA00423326}"};
const wchar_t kAside[] = L"Software\\OrvalisTest\\WithoutCdo";

std::wstring ClassesKey(const wchar_t* key) { return std::wstring(L"Software\\Classes\\") + key; }
std::wstring AsideKey(const Root& root, const wchar_t* key) { return std::wstring(kAside) + L"\\" + root.name + L"\\" + key; }

bool Exists(HKEY root, const std::wstring& path) {
    HKEY k;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

// Copies the tree at from (under fromRoot) to to (under toRoot), then deletes from.
LONG MoveTree(HKEY fromRoot, const std::wstring& from, HKEY toRoot, const std::wstring& to) {
    HKEY source;
    LONG r = RegOpenKeyExW(fromRoot, from.c_str(), 0, KEY_READ, &source);
    if (r != ERROR_SUCCESS) return r;
    HKEY target;
    r = RegCreateKeyExW(toRoot, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr);
    if (r == ERROR_SUCCESS) {
        r = RegCopyTreeW(source, nullptr, target);
        RegCloseKey(target);
    }
    RegCloseKey(source);
    if (r != ERROR_SUCCESS) return r;
    return RegDeleteTreeW(fromRoot, from.c_str());
}

}  // namespace

void HideCdoRegistration() {
    RestoreCdoRegistration();  // never stack a second copy on one left behind
    std::wstring error;
    for (const Root& root : kRoots)
        for (const wchar_t* key : kKeys) {
            if (!Exists(root.key, ClassesKey(key))) continue;
            LONG r = MoveTree(root.key, ClassesKey(key), HKEY_CURRENT_USER, AsideKey(root, key));
            if (r != ERROR_SUCCESS) error += std::wstring(L"could not move ") + root.name + L"\\" + ClassesKey(key) + L" aside (" + std::to_wstring(r) + L"); ";
        }
    for (const Root& root : kRoots)
        for (const wchar_t* key : kKeys)
            if (Exists(root.key, ClassesKey(key))) error += std::wstring(root.name) + L"\\" + ClassesKey(key) + L" is still there; ";
    if (!error.empty()) orv::Raise(E_ACCESSDENIED, L"CDO's registration can't be hidden: " + error);
}

void RestoreCdoRegistration() {
    if (!Exists(HKEY_CURRENT_USER, kAside)) return;
    for (const Root& root : kRoots)
        for (const wchar_t* key : kKeys)
            if (Exists(HKEY_CURRENT_USER, AsideKey(root, key)))
                MoveTree(HKEY_CURRENT_USER, AsideKey(root, key), root.key, ClassesKey(key));
    RegDeleteTreeW(HKEY_CURRENT_USER, kAside);
}

void HostStartup() { Check(Export<HRESULT(__stdcall*)()>("SimHostStartup")(), L"The host's start-up failed"); }
void HostClick(const std::wstring& path) {
    HRESULT hr = Export<HRESULT(__stdcall*)(const wchar_t*)>("SimHostClick")(path.c_str());
    if (FAILED(hr)) orv::Raise(hr, L"The host has no control at " + path);
}
void HostShutdown() { Check(Export<HRESULT(__stdcall*)()>("SimHostShutdown")(), L"The host's shutdown failed"); }
void HostReset() { Check(Export<HRESULT(__stdcall*)()>("SimHostReset")(), L"The host's reset failed"); }

std::vector<HostAddIn> HostAddIns() {
    std::vector<HostAddIn> list;
    for (const auto& line : SplitLines(TakeBstr(Export<BSTR(__stdcall*)()>("SimHostAddIns")()))) {
        size_t tab1 = line.find(L'\t');
        size_t tab2 = tab1 == std::wstring::npos ? tab1 : line.find(L'\t', tab1 + 1);
        if (tab2 == std::wstring::npos) continue;
        list.push_back({line.substr(0, tab1) == L"1", line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)});
    }
    return list;
}

HRESULT HostAddAddIn(IUnknown* object, const std::wstring& description, const std::wstring& progId, long connectMode) {
    using F = HRESULT(__stdcall*)(IUnknown*, const wchar_t*, const wchar_t*, LONG);
    return Export<F>("SimHostAddAddIn")(object, description.c_str(), progId.c_str(), connectMode);
}

std::wstring HostLayout() { return TakeBstr(Export<BSTR(__stdcall*)()>("SimHostLayout")()); }

std::map<std::wstring, std::wstring> HostControl(const std::wstring& path) {
    std::map<std::wstring, std::wstring> properties;
    for (const auto& line : SplitLines(TakeBstr(Export<BSTR(__stdcall*)(const wchar_t*)>("SimHostControl")(path.c_str())))) {
        size_t eq = line.find(L'=');
        if (eq != std::wstring::npos) properties[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return properties;
}

void HostSetVersion(const std::wstring& version) {
    orv::ThrowIfFailed(Export<HRESULT(__stdcall*)(const wchar_t*)>("SimHostSetVersion")(version.c_str()));
}

std::wstring RibbonButton::Attribute(const std::wstring& name) const {
    auto it = attributes.find(name);
    return it == attributes.end() ? std::wstring() : it->second;
}

namespace {

// The tab-separated fields of one of SimHostRibbon's lines, their escapes undone.
std::vector<std::wstring> Fields(const std::wstring& line) {
    std::vector<std::wstring> fields(1);
    for (size_t i = 0; i < line.size(); ++i) {
        wchar_t c = line[i];
        if (c == L'\t') {
            fields.emplace_back();
        } else if (c == L'\\' && i + 1 < line.size()) {
            wchar_t e = line[++i];
            fields.back() += e == L't' ? L'\t' : e == L'n' ? L'\n' : e == L'r' ? L'\r' : e;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

}  // namespace

std::vector<RibbonButton> HostRibbon() {
    std::vector<RibbonButton> buttons;
    for (const auto& line : SplitLines(TakeBstr(Export<BSTR(__stdcall*)()>("SimHostRibbon")()))) {
        std::vector<std::wstring> f = Fields(line);
        if (f.size() < 6) continue;
        RibbonButton b{f[0], f[1], f[2], f[3], f[4], f[5], {}};
        for (size_t i = 6; i < f.size(); ++i) {
            size_t eq = f[i].find(L'=');
            if (eq != std::wstring::npos) b.attributes[f[i].substr(0, eq)] = f[i].substr(eq + 1);
        }
        buttons.push_back(std::move(b));
    }
    return buttons;
}

void HostRibbonClick(const std::wstring& controlId) {
    orv::ThrowIfFailed(Export<HRESULT(__stdcall*)(const wchar_t*)>("SimHostRibbonClick")(controlId.c_str()));
}

void HostRibbonSelect(const std::wstring& dropDownId, const std::wstring& itemId) {
    using F = HRESULT(__stdcall*)(const wchar_t*, const wchar_t*);
    orv::ThrowIfFailed(Export<F>("SimHostRibbonSelect")(dropDownId.c_str(), itemId.c_str()));
}

void HostRibbonSelectIndex(const std::wstring& dropDownId, long index) {
    using F = HRESULT(__stdcall*)(const wchar_t*, LONG);
    orv::ThrowIfFailed(Export<F>("SimHostRibbonSelectIndex")(dropDownId.c_str(), index));
}

std::wstring RibbonControl::SelectedItem() const {
    return selected >= 0 && static_cast<size_t>(selected) < items.size() ? items[selected].first : std::wstring();
}

std::vector<RibbonControl> HostRibbonControls() {
    std::vector<RibbonControl> controls;
    for (const auto& line : SplitLines(TakeBstr(Export<BSTR(__stdcall*)()>("SimHostRibbonControls")()))) {
        std::vector<std::wstring> f = Fields(line);
        if (f.size() < 8) continue;
        RibbonControl c;
        static_cast<RibbonButton&>(c) = RibbonButton{f[0], f[3], f[4], f[5], f[6], f[7], {}};
        c.kind = f[1];
        c.pressed = f[2] == L"1";
        c.selected = c.kind == L"dropDown" ? std::stol(f[2]) : -1;
        for (size_t i = 8; i < f.size(); ++i) {
            const bool item = !f[i].empty() && f[i][0] == L'*';
            size_t eq = f[i].find(L'=');
            if (eq == std::wstring::npos) continue;
            if (item) c.items.emplace_back(f[i].substr(1, eq - 1), f[i].substr(eq + 1));
            else c.attributes[f[i].substr(0, eq)] = f[i].substr(eq + 1);
        }
        controls.push_back(std::move(c));
    }
    return controls;
}

RibbonControl HostRibbonControl(const std::wstring& id) {
    for (RibbonControl& c : HostRibbonControls())
        if (c.Id() == id) return c;
    orv::Raise(E_INVALIDARG, L"The host shows no ribbon control \"" + id + L"\"");
}

std::wstring HostGetCustomUI(const std::wstring& progId, const std::wstring& ribbonId) {
    using F = HRESULT(__stdcall*)(const wchar_t*, const wchar_t*, BSTR*);
    BSTR xml = nullptr;
    HRESULT hr = Export<F>("SimHostGetCustomUI")(progId.c_str(), ribbonId.c_str(), &xml);
    std::wstring text = TakeBstr(xml);
    orv::ThrowIfFailed(hr);
    return text;
}

void HostFastExit(unsigned exitCode) {
    Export<void(__stdcall*)(UINT)>("SimHostFastExit")(exitCode);
    ExitProcess(exitCode);  // not reached: the export ends the process
}

}  // namespace simclient
