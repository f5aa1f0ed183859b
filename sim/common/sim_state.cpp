#include "sim_state.h"

#include <cstdio>

#include "data_file.h"

namespace sim {

namespace {

struct ScenarioPart {
    std::string key;
    ScenarioCheck check;
    ScenarioLoader load;
};

struct State {
    std::wstring log;
    std::vector<FaultRule> faults;
    std::vector<int> seen;  // calls matched so far, per rule
    std::map<std::wstring, long> live;
    std::vector<ScenarioPart> parts;
    bool scenarioLoaded = false;
};

State& S() {
    static State* s = new State;  // never destroyed: objects may die during process exit
    return *s;
}

std::wstring EnvVar(const wchar_t* name) {
    wchar_t buf[1024];
    DWORD n = GetEnvironmentVariableW(name, buf, 1024);
    return n && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

}  // namespace

void LogLine(const std::wstring& line) {
    S().log += line;
    S().log += L"\n";
    // Another process (the reset program, the host driver) leaves its calls in a file.
    std::wstring path = EnvVar(L"ORVALIS_SIM_LOG");
    if (!path.empty()) {
        if (FILE* f = _wfopen(path.c_str(), L"ab")) {
            std::string u = Narrow(line) + "\n";
            fwrite(u.data(), 1, u.size(), f);
            fclose(f);
        }
    }
}

std::wstring LogText() { return S().log; }
void ClearLog() { S().log.clear(); }

const FaultRule* MatchFault(const std::wstring& kind, const std::wstring& id, const std::wstring& member) {
    State& s = S();
    for (size_t i = 0; i < s.faults.size(); ++i) {
        const FaultRule& r = s.faults[i];
        if (!r.kind.empty() && r.kind != kind) continue;
        if (!r.id.empty() && r.id != id) continue;
        if (_wcsicmp(r.member.c_str(), member.c_str()) != 0) continue;
        int n = s.seen[i]++;
        if (n < r.skip) continue;
        if (r.times >= 0 && n >= r.skip + r.times) continue;
        return &r;
    }
    return nullptr;
}

std::vector<FaultRule> ParseFaults(const nlohmann::json& faults, const std::string& path) {
    std::vector<FaultRule> rules;
    if (faults.is_null()) return rules;
    ExpectArray(faults, path);
    for (size_t i = 0; i < faults.size(); ++i) {
        const auto& f = faults[i];
        const std::string at = Element(path, i);
        ExpectObject(f, at);
        OnlyKeys(f, at, {"object", "id", "member", "hresult", "description", "skip", "times"});
        FaultRule r;
        r.kind = Widen(StringAt(f, at, "object", ""));
        r.id = Widen(StringAt(f, at, "id", ""));
        r.member = Widen(StringAt(f, at, "member", ""));
        if (r.member.empty()) throw DataError(Member(at, "member"), "a rule needs the member that fails");
        if (f.contains("hresult")) {
            const auto& h = f["hresult"];
            const std::string hat = Member(at, "hresult");
            if (h.is_string()) {
                const std::string text = h.get<std::string>();
                size_t used = 0;
                unsigned long value = 0;
                try {
                    value = std::stoul(text, &used, 0);
                } catch (const std::exception&) {
                    used = 0;
                }
                if (used == 0 || used != text.size()) throw DataError(hat, "\"" + text + "\" is not a number");
                r.hr = static_cast<HRESULT>(value);
            } else {
                r.hr = static_cast<HRESULT>(IntegerValue(h, hat));
            }
        }
        r.description = Widen(StringAt(f, at, "description", "Injected failure"));
        r.skip = IntegerAt(f, at, "skip", 0);
        r.times = IntegerAt(f, at, "times", -1);
        rules.push_back(r);
    }
    return rules;
}

void SetFaults(std::vector<FaultRule> faults) {
    State& s = S();
    s.faults = std::move(faults);
    s.seen.assign(s.faults.size(), 0);
}

void CountBirth(const std::wstring& kind) { ++S().live[kind]; }
void CountDeath(const std::wstring& kind) { --S().live[kind]; }

long LiveObjects(const std::wstring& kind) {
    long n = 0;
    for (const auto& [k, c] : S().live)
        if (kind.empty() || k == kind) n += c;
    return n;
}

std::map<std::wstring, long> LiveByKind() { return S().live; }

void RegisterScenarioLoader(const char* key, ScenarioCheck check, ScenarioLoader loader) {
    S().parts.push_back(ScenarioPart{key, check, loader});
}

void CheckScenario(const nlohmann::json& scenario) {
    ExpectObject(scenario, "");
    for (const auto& item : scenario.items()) {
        bool known = item.key() == "faults";
        for (const ScenarioPart& p : S().parts) known = known || item.key() == p.key;
        if (!known) throw DataError(item.key(), "unknown key");
    }
    ParseFaults(scenario.contains("faults") ? scenario["faults"] : nlohmann::json(), "faults");
    for (const ScenarioPart& p : S().parts)
        if (p.check) p.check(scenario.contains(p.key) ? scenario[p.key] : nlohmann::json(), p.key);
}

void LoadScenario(const nlohmann::json& scenario) {
    CheckScenario(scenario);
    S().scenarioLoaded = true;
    SetFaults(ParseFaults(scenario.contains("faults") ? scenario["faults"] : nlohmann::json(), "faults"));
    for (const ScenarioPart& p : S().parts) p.load(scenario);
}

namespace {

// The scenario in the file, or DataError (with no place for a file that can't be read).
nlohmann::json ReadScenarioFile(const std::wstring& path) {
    std::string text;
    if (!ReadWholeFile(path, text)) throw DataError("", "the file cannot be read");
    return ParseDataText(text);
}

}  // namespace

std::string CheckScenarioFile(const std::wstring& path, const std::string& shownAs) {
    try {
        CheckScenario(ReadScenarioFile(path));
        return std::string();
    } catch (const DataError& e) {
        return e.In(shownAs);
    }
}

void EnsureScenarioLoaded() {
    if (S().scenarioLoaded) return;
    S().scenarioLoaded = true;
    std::wstring path = EnvVar(L"ORVALIS_SIM_SCENARIO");
    // This runs inside a class factory: a scenario file that doesn't load leaves the
    // stand-ins empty and says why in the log, and nothing is thrown at the client.
    try {
        LoadScenario(path.empty() ? nlohmann::json::object() : ReadScenarioFile(path));
    } catch (const DataError& e) {
        LogLine(L"Scenario rejected: " + Widen(e.In(Narrow(path))));
        try {
            LoadScenario(nlohmann::json::object());
        } catch (...) {
        }
    } catch (const std::exception& e) {
        LogLine(L"Scenario rejected: " + Widen(e.what()));
    }
}

}  // namespace sim
