#include "host_model.h"

#include <cstdio>

#include "data_file.h"
#include "sim_state.h"

namespace sim::outlook {

namespace {

using nlohmann::json;

// The layout of a freshly installed client: a menu bar with the usual pop-ups (Tools holding a
// couple of ordinary items), and the two toolbars of the main window.
const char kDefaultBars[] = R"({"bars":[
  {"name":"Menu Bar","menuBar":true,"controls":[
    {"caption":"&File","type":10,"controls":[{"caption":"&Open"},{"caption":"&Print..."},{"caption":"E&xit"}]},
    {"caption":"&Edit","type":10,"controls":[{"caption":"&Copy"},{"caption":"&Paste"}]},
    {"caption":"&View","type":10,"controls":[{"caption":"&Folder List"}]},
    {"caption":"&Tools","type":10,"controls":[{"caption":"&Address Book..."},{"caption":"&Options..."}]},
    {"caption":"&Help","type":10,"controls":[{"caption":"&About"}]}]},
  {"name":"Standard","controls":[
    {"caption":"&New"},{"caption":"&Print"},{"caption":"&Delete"},{"caption":"&Reply"},{"caption":"Find"}]},
  {"name":"Advanced","controls":[
    {"caption":"&Back"},{"caption":"&Forward"},{"caption":"Up One Level"}]}
]})";

// The "host" section of the last scenario loaded.
json& ScenarioHost() {
    static json* host = new json(json::object());
    return *host;
}

Host*& HostSlot() {
    // Never destroyed: at process exit the add-ins' modules may already be gone.
    static Host* host = nullptr;
    return host;
}

std::wstring EnvVar(const wchar_t* name) {
    wchar_t buf[1024];
    DWORD n = GetEnvironmentVariableW(name, buf, 1024);
    return n && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

std::wstring Str(const json& j, const std::string& path, const char* key) { return Widen(StringAt(j, path, key, "")); }

void LoadControls(Host& host, const json& items, const std::string& path, const ControlListPtr& list) {
    ExpectArray(items, path);
    for (size_t i = 0; i < items.size(); ++i) {
        const json& j = items[i];
        const std::string at = Element(path, i);
        ExpectObject(j, at);
        OnlyKeys(j, at, {"id", "type", "builtInId", "caption", "enabled", "visible", "style", "tooltipText", "helpFile",
                         "helpContextId", "faceId", "onAction", "parameter", "tag", "temporary", "controls"});
        auto c = std::make_shared<Control>();
        bool hasChildren = j.contains("controls");
        c->type = IntegerAt(j, at, "type", hasChildren ? kPopup : kButton);
        if (c->type != kButton && c->type != kPopup)
            throw DataError(Member(at, "type"), std::to_string(c->type) + " is not a control type (1 button, 10 pop-up)");
        if (hasChildren && c->type != kPopup) throw DataError(Member(at, "controls"), "only a pop-up (type 10) holds controls");
        c->id = IntegerAt(j, at, "id", 0);
        c->builtInId = IntegerAt(j, at, "builtInId", 1);
        c->caption = Str(j, at, "caption");
        c->enabled = BoolAt(j, at, "enabled", true);
        c->visible = BoolAt(j, at, "visible", true);
        c->style = IntegerAt(j, at, "style", 0);
        c->tooltipText = Str(j, at, "tooltipText");
        c->helpFile = Str(j, at, "helpFile");
        c->helpContextId = IntegerAt(j, at, "helpContextId", 0);
        c->faceId = IntegerAt(j, at, "faceId", 0);
        c->onAction = Str(j, at, "onAction");
        c->parameter = Str(j, at, "parameter");
        c->tag = Str(j, at, "tag");
        c->temporary = BoolAt(j, at, "temporary", false);
        c->owner = list;
        if (c->type == kPopup) {
            c->controls = std::make_shared<ControlList>();
            LoadControls(host, j.value("controls", json::array()), Member(at, "controls"), c->controls);
        }
        list->items.push_back(c);
    }
}

// Gives every control without a serial number the next free one, in layout order.
void NumberControls(Host& host, const ControlList& list) {
    for (const auto& c : list.items) {
        if (c->id <= 0) c->id = host.nextControlId++;
        if (c->controls) NumberControls(host, *c->controls);
    }
}

void MaxId(const ControlList& list, long& max) {
    for (const auto& c : list.items) {
        if (c->id > max) max = c->id;
        if (c->controls) MaxId(*c->controls, max);
    }
}

void LoadBars(Host& host, const json& bars, const std::string& path) {
    ExpectArray(bars, path);
    host.bars.clear();
    for (size_t i = 0; i < bars.size(); ++i) {
        const json& j = bars[i];
        const std::string at = Element(path, i);
        ExpectObject(j, at);
        OnlyKeys(j, at, {"name", "menuBar", "visible", "controls"});
        auto bar = std::make_shared<Bar>();
        bar->name = Str(j, at, "name");
        bar->menuBar = BoolAt(j, at, "menuBar", false);
        bar->visible = BoolAt(j, at, "visible", true);
        LoadControls(host, j.value("controls", json::array()), Member(at, "controls"), bar->controls);
        int same = 0;
        for (const auto& b : host.bars) same += b->name == bar->name;
        bar->logId = same ? bar->name + L"#" + std::to_wstring(same + 1) : bar->name;
        host.bars.push_back(bar);
    }
    long max = 0;
    for (const auto& b : host.bars) MaxId(*b->controls, max);
    host.nextControlId = max + 1;
    for (const auto& b : host.bars) NumberControls(host, *b->controls);
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The bars of a state file, or DataError naming what is wrong with it.
void LoadStateFile(Host& host, const std::wstring& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) throw DataError("", "the file cannot be read");
    const json state = ParseDataText(text);
    ExpectObject(state, "");
    OnlyKeys(state, "", {"bars"});
    if (!state.contains("bars")) throw DataError("", "a state file holds \"bars\"");
    LoadBars(host, state["bars"], "bars");
}

void LoadLayout(Host& host) {
    std::wstring statePath = EnvVar(L"ORVALIS_HOST_STATE");
    if (!statePath.empty() && FileExists(statePath)) {
        try {
            LoadStateFile(host, statePath);
            return;
        } catch (const DataError& e) {
            LogLine(L"Host: the state file is not readable (" + Widen(e.In(Narrow(statePath))) + L"); starting from the scenario");
        }
    }
    const json& scenario = ScenarioHost();
    if (scenario.contains("bars")) return LoadBars(host, scenario["bars"], "host.bars");
    LoadBars(host, json::parse(kDefaultBars)["bars"], "bars");
}

void LoadAddIns(Host& host, const json& list, const std::string& path) {
    ExpectArray(list, path);
    for (size_t i = 0; i < list.size(); ++i) {
        const json& j = list[i];
        const std::string at = Element(path, i);
        ExpectObject(j, at);
        OnlyKeys(j, at, {"description", "progId", "loadBehavior", "connected"});
        auto a = std::make_shared<AddIn>();
        a->progId = Str(j, at, "progId");
        a->description = j.contains("description") ? Str(j, at, "description") : a->progId;
        a->loadBehavior = static_cast<DWORD>(IntegerAt(j, at, "loadBehavior", 0));
        a->connected = BoolAt(j, at, "connected", false);
        host.addIns.push_back(a);
    }
}

// The settings of a "host" section that LoadHost reads, checked as it reads them.
void ReadHostSettings(Host& host, const json& section, const std::string& path) {
    host.explorerAtStart = BoolAt(section, path, "explorer", true);
    host.explorerOpen = host.explorerAtStart;
    host.barCountOverride = IntegerAt(section, path, "barCount", -1);
    StringAt(section, path, "addinsKey", "");
}

Host* LoadHost() {
    auto* host = new Host;
    const json& scenario = ScenarioHost();
    ReadHostSettings(*host, scenario, "host");
    LoadLayout(*host);
    LoadAddIns(*host, scenario.value("addins", json::array()), "host.addins");
    SyncRegistryAddIns(*host);
    return host;
}

// Reads a "host" section into a host of its own, as LoadHost would, without the registry.
void CheckHostSection(const json& section, const std::string& path) {
    if (section.is_null()) return;
    ExpectObject(section, path);
    OnlyKeys(section, path, {"explorer", "barCount", "bars", "addinsKey", "addins"});
    Host trial;
    ReadHostSettings(trial, section, path);
    if (section.contains("bars")) LoadBars(trial, section["bars"], Member(path, "bars"));
    if (section.contains("addins")) LoadAddIns(trial, section["addins"], Member(path, "addins"));
}

// A scenario with a "host" section starts the host afresh.
void OnScenario(const json& scenario) {
    if (!scenario.is_object() || !scenario.contains("host")) return;
    ScenarioHost() = scenario["host"].is_object() ? scenario["host"] : json::object();
    ResetHost();
}

struct RegisterLoader {
    RegisterLoader() { RegisterScenarioLoader("host", &CheckHostSection, &OnScenario); }
} registerLoader;

std::wstring RegString(HKEY key, const wchar_t* name) {
    wchar_t buf[512];
    DWORD type = 0, size = sizeof buf - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
    buf[size / sizeof(wchar_t)] = L'\0';
    return buf;
}

DWORD RegDword(HKEY key, const wchar_t* name) {
    DWORD value = 0, type = 0, size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) return 0;
    return type == REG_DWORD ? value : 0;
}

// Where the client keeps its add-in entries; a scenario can point elsewhere, so that a test's
// entries are not mixed with whatever else the prefix has registered.
std::wstring AddInsKey() {
    std::wstring key = Str(ScenarioHost(), "host", "addinsKey");
    return key.empty() ? L"Software\\Microsoft\\Office\\Outlook\\Addins" : key;
}

void SyncRoot(Host& host, HKEY root) {
    HKEY addins;
    if (RegOpenKeyExW(root, AddInsKey().c_str(), 0, KEY_READ, &addins) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD len = 256;
        if (RegEnumKeyExW(addins, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY entry;
        if (RegOpenKeyExW(addins, name, 0, KEY_READ, &entry) != ERROR_SUCCESS) continue;
        DWORD loadBehavior = RegDword(entry, L"LoadBehavior");
        std::wstring description = RegString(entry, L"Description");
        if (description.empty()) description = RegString(entry, L"FriendlyName");
        if (description.empty()) description = name;
        RegCloseKey(entry);

        AddInPtr listed;
        for (const auto& a : host.addIns)
            if (_wcsicmp(a->progId.c_str(), name) == 0) listed = a;
        if (listed) {
            listed->loadBehavior = loadBehavior;
            continue;
        }
        auto a = std::make_shared<AddIn>();
        a->progId = name;
        a->description = description;
        a->loadBehavior = loadBehavior;
        host.addIns.push_back(a);
    }
    RegCloseKey(addins);
}

json ControlsToJson(const ControlList& list) {
    json out = json::array();
    for (const auto& c : list.items) {
        if (c->temporary) continue;
        json j = {{"id", c->id},
                  {"type", c->type},
                  {"builtInId", c->builtInId},
                  {"caption", Narrow(c->caption)},
                  {"enabled", c->enabled},
                  {"visible", c->visible},
                  {"style", c->style},
                  {"tooltipText", Narrow(c->tooltipText)},
                  {"helpFile", Narrow(c->helpFile)},
                  {"helpContextId", c->helpContextId},
                  {"faceId", c->faceId},
                  {"onAction", Narrow(c->onAction)},
                  {"parameter", Narrow(c->parameter)},
                  {"tag", Narrow(c->tag)}};
        if (c->controls) j["controls"] = ControlsToJson(*c->controls);
        out.push_back(std::move(j));
    }
    return out;
}

std::vector<std::wstring> Split(const std::wstring& path) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t slash = path.find(L'/', start);
        parts.push_back(path.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start));
        if (slash == std::wstring::npos) return parts;
        start = slash + 1;
    }
}

// "#n" as a 1-based position, or 0.
size_t Position(const std::wstring& segment) {
    if (segment.size() < 2 || segment[0] != L'#') return 0;
    size_t n = 0;
    for (size_t i = 1; i < segment.size(); ++i) {
        if (segment[i] < L'0' || segment[i] > L'9') return 0;
        n = n * 10 + (segment[i] - L'0');
    }
    return n;
}

void LayoutLines(const ControlList& list, int depth, std::wstring& out) {
    for (const auto& c : Present(list)) {
        out += std::wstring(2 * depth, L' ') + c->caption;
        if (c->temporary) out += L" (temporary)";
        out += L"\n";
        if (c->controls) LayoutLines(*c->controls, depth + 1, out);
    }
}

}  // namespace

Host& TheHost() {
    Host*& slot = HostSlot();
    if (!slot) {
        EnsureScenarioLoaded();
        if (!slot) slot = LoadHost();
    }
    return *slot;
}

void ResetHost() {
    Host*& slot = HostSlot();
    if (!slot) return;
    Host* old = slot;
    slot = nullptr;
    // The add-ins' objects and the held application go now; they may call back into the
    // stand-in while they are released, so the host is already detached.
    delete old;
}

std::string CheckStateFile(const std::wstring& path, const std::string& shownAs) {
    if (!FileExists(path)) return std::string();
    try {
        Host trial;
        LoadStateFile(trial, path);
        return std::string();
    } catch (const DataError& e) {
        return e.In(shownAs);
    }
}

void SyncRegistryAddIns(Host& host) {
    SyncRoot(host, HKEY_CURRENT_USER);
    SyncRoot(host, HKEY_LOCAL_MACHINE);
}

json BarsToJson(const Host& host) {
    json bars = json::array();
    for (const auto& b : host.bars)
        bars.push_back({{"name", Narrow(b->name)},
                        {"menuBar", b->menuBar},
                        {"visible", b->visible},
                        {"controls", ControlsToJson(*b->controls)}});
    return bars;
}

void SaveState() {
    std::wstring path = EnvVar(L"ORVALIS_HOST_STATE");
    Host* host = HostSlot();
    if (path.empty() || !host) return;
    std::string text = json{{"bars", BarsToJson(*host)}}.dump(2) + "\n";
    // Write beside the file and move it over, so a reader never sees half a file.
    std::wstring temp = path + L".new";
    FILE* f = _wfopen(temp.c_str(), L"wb");
    bool ok = f && fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f && fclose(f) != 0) ok = false;
    if (ok) ok = MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    if (!ok) {
        DeleteFileW(temp.c_str());
        LogLine(L"Host: could not write the state file " + path);
    }
}

std::vector<ControlPtr> Present(const ControlList& list) {
    std::vector<ControlPtr> out;
    for (const auto& c : list.items)
        if (!c->hiddenForSession) out.push_back(c);
    return out;
}

BarPtr ActiveMenuBar(Host& host) {
    for (const auto& b : host.bars)
        if (b->menuBar) return b;
    return host.bars.empty() ? nullptr : host.bars.front();
}

ControlPtr MakeControl(Host& host, long type) {
    auto c = std::make_shared<Control>();
    c->id = host.nextControlId++;
    c->type = type;
    if (type == kPopup) c->controls = std::make_shared<ControlList>();
    return c;
}

void MarkDeleted(Control& c) {
    c.deleted = true;
    if (c.controls)
        for (const auto& child : c.controls->items) MarkDeleted(*child);
}

bool IsTemporary(const Control& c) {
    // A control inside a temporary pop-up goes with it.
    if (c.temporary) return true;
    auto owner = c.owner.lock();
    Host* host = HostSlot();
    if (!owner || !host) return false;
    std::vector<const ControlList*> stack;
    for (const auto& b : host->bars) stack.push_back(b->controls.get());
    while (!stack.empty()) {
        const ControlList* list = stack.back();
        stack.pop_back();
        for (const auto& item : list->items) {
            if (!item->controls) continue;
            if (item->controls == owner) return IsTemporary(*item);
            stack.push_back(item->controls.get());
        }
    }
    return false;
}

ControlPtr FindControl(Host& host, const std::wstring& path) {
    auto parts = Split(path);
    if (parts.size() < 2) return nullptr;
    BarPtr bar;
    if (size_t n = Position(parts[0])) {
        if (n <= host.bars.size()) bar = host.bars[n - 1];
    } else {
        for (const auto& b : host.bars)
            if (b->name == parts[0]) { bar = b; break; }
    }
    if (!bar) return nullptr;
    ControlListPtr list = bar->controls;
    ControlPtr found;
    for (size_t i = 1; i < parts.size(); ++i) {
        if (!list) return nullptr;
        auto items = Present(*list);
        found = nullptr;
        if (size_t n = Position(parts[i])) {
            if (n <= items.size()) found = items[n - 1];
        } else {
            for (const auto& c : items)
                if (c->caption == parts[i]) { found = c; break; }
        }
        if (!found) return nullptr;
        list = found->controls;
    }
    return found;
}

std::wstring LayoutText(Host& host) {
    std::wstring out;
    BarPtr menu = ActiveMenuBar(host);
    for (const auto& b : host.bars) {
        out += b->name + (b == menu ? L" (menu bar)" : L"") + L"\n";
        LayoutLines(*b->controls, 1, out);
    }
    return out;
}

std::wstring ControlText(const Control& c) {
    auto yes = [](bool b) { return std::wstring(b ? L"True" : L"False"); };
    std::wstring s;
    s += L"Id=" + std::to_wstring(c.id) + L"\n";
    s += L"Type=" + std::to_wstring(c.type) + L"\n";
    s += L"BuiltInId=" + std::to_wstring(c.builtInId) + L"\n";
    s += L"Caption=" + c.caption + L"\n";
    s += L"Enabled=" + yes(c.enabled) + L"\n";
    s += L"Visible=" + yes(c.visible) + L"\n";
    s += L"Style=" + std::to_wstring(c.style) + L"\n";
    s += L"TooltipText=" + c.tooltipText + L"\n";
    s += L"HelpFile=" + c.helpFile + L"\n";
    s += L"HelpContextId=" + std::to_wstring(c.helpContextId) + L"\n";
    s += L"FaceId=" + std::to_wstring(c.faceId) + L"\n";
    s += L"OnAction=" + c.onAction + L"\n";
    s += L"Parameter=" + c.parameter + L"\n";
    s += L"Tag=" + c.tag + L"\n";
    s += L"Temporary=" + yes(IsTemporary(c)) + L"\n";
    if (c.controls) s += L"Count=" + std::to_wstring(Present(*c.controls).size()) + L"\n";
    return s;
}

}  // namespace sim::outlook
