#include "sim_state.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

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
    std::map<std::wstring, long> calls;  // by "kind.member"
    long latency = 0;
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

bool LogResults() {
    static const bool on = EnvVar(L"ORVALIS_SIM_LOG_RESULTS") == L"1";
    return on;
}

std::wstring LogText() { return S().log; }
void ClearLog() {
    S().log.clear();
    S().calls.clear();
}

void CountCall(const std::wstring& kind, const std::wstring& member) { ++S().calls[kind + L"." + member]; }

long CallCount(const std::wstring& kind, const std::wstring& member) {
    long n = 0;
    for (const auto& [key, count] : S().calls) {
        const size_t dot = key.find(L'.');
        if ((kind.empty() || (dot == kind.size() && key.compare(0, dot, kind) == 0)) &&
            (member.empty() || key.compare(dot + 1, std::wstring::npos, member) == 0))
            n += count;
    }
    return n;
}

void SetCallLatency(long milliseconds) { S().latency = milliseconds; }
long CallLatency() { return S().latency; }

// Sleep alone may wake a little early or, under load, late; waking early is never enough, so
// it sleeps on until the counter says the time has passed. Late wakes are what a busy
// machine costs every caller alike.
void WaitCallLatency() {
    const long ms = S().latency;
    if (ms <= 0) return;
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    const LONGLONG end = now.QuadPart + frequency.QuadPart * ms / 1000;
    for (LONGLONG left = end - now.QuadPart; left > 0; left = end - now.QuadPart) {
        Sleep(static_cast<DWORD>(std::max<LONGLONG>(1, left * 1000 / frequency.QuadPart)));
        QueryPerformanceCounter(&now);
    }
}

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
        OnlyKeys(f, at, {"object", "id", "member", "hresult", "description", "skip", "times", "returns", "element"});
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
                unsigned long value = 0;
                if (!WholeNumberText(text, &value)) throw DataError(hat, "\"" + text + "\" is not a number");
                r.hr = static_cast<HRESULT>(value);
            } else {
                r.hr = static_cast<HRESULT>(IntegerValue(h, hat));
            }
        }
        r.description = Widen(StringAt(f, at, "description", "Injected failure"));
        r.skip = IntegerAt(f, at, "skip", 0);
        r.times = IntegerAt(f, at, "times", -1);
        // A rule can make the call answer wrongly instead of failing.
        const std::string answer = StringAt(f, at, "returns", "failure");
        if (answer == "nothing") r.answer = FaultAnswer::Nothing;
        else if (answer == "wrongType") r.answer = FaultAnswer::WrongType;
        else if (answer == "elementError") r.answer = FaultAnswer::ElementError;
        else if (answer != "failure")
            throw DataError(Member(at, "returns"), "\"" + answer + "\" is none of failure, nothing, wrongType, elementError");
        if (f.contains("element")) {
            if (r.answer != FaultAnswer::ElementError)
                throw DataError(Member(at, "element"), "an element goes with \"returns\": \"elementError\"");
            r.element = IntegerAt(f, at, "element", 0);
            if (r.element < 0) throw DataError(Member(at, "element"), "an element is counted from 0");
        }
        rules.push_back(r);
    }
    return rules;
}

void SetFaults(std::vector<FaultRule> faults) {
    State& s = S();
    s.faults = std::move(faults);
    s.seen.assign(s.faults.size(), 0);
}

orv::Variant TypedValue(const nlohmann::json& v) {
    using orv::Variant;
    if (v.is_null()) return Variant();
    if (v.is_boolean()) return Variant::Bool(v.get<bool>());
    if (v.is_number_integer() || v.is_number_unsigned()) {
        const double d = v.get<double>();
        if (d >= -2147483648.0 && d <= 2147483647.0) return Variant::I4(static_cast<int32_t>(v.get<long long>()));
        Variant r;
        VARIANT* p = r.put();
        p->dblVal = d;
        p->vt = VT_R8;
        return r;
    }
    if (v.is_number_float()) {
        Variant r;
        VARIANT* p = r.put();
        p->dblVal = v.get<double>();
        p->vt = VT_R8;
        return r;
    }
    if (v.is_string()) return Variant::Str(Widen(v.get<std::string>()));
    if (v.is_object() && v.contains("utf16")) {
        std::wstring units;
        for (const auto& u : v.at("utf16")) units.push_back(static_cast<wchar_t>(u.get<unsigned>()));
        return Variant::Str(units);
    }
    if (!v.is_object() || !v.contains("vt") || !v.at("vt").is_string())
        throw std::invalid_argument("a value is neither a string, a number, a boolean, null nor {\"vt\": ...}");
    const std::string vt = v.at("vt").get<std::string>();
    const nlohmann::json value = v.value("value", nlohmann::json());
    Variant r;
    VARIANT* p = r.put();
    if (vt == "VT_EMPTY") return r;
    if (vt == "VT_NULL") { p->vt = VT_NULL; return r; }
    if (vt == "VT_DISPATCH") return Variant::Object(nullptr);
    if (vt == "VT_BSTR") return Variant::Str(value.is_string() ? Widen(value.get<std::string>()) : std::wstring());
    if (vt == "VT_BOOL") return Variant::Bool(value.is_boolean() && value.get<bool>());
    if (vt == "VT_I2") { p->iVal = static_cast<SHORT>(value.is_number() ? value.get<long long>() : 0); p->vt = VT_I2; return r; }
    if (vt == "VT_I4") { p->lVal = static_cast<LONG>(value.is_number() ? value.get<long long>() : 0); p->vt = VT_I4; return r; }
    if (vt == "VT_R8") { p->dblVal = value.is_number() ? value.get<double>() : 0.0; p->vt = VT_R8; return r; }
    if (vt == "VT_ARRAY") {
        const size_t n = value.is_array() ? value.size() : 0;
        orv::SafeArray a = orv::SafeArray::Variants(static_cast<ULONG>(n));
        for (LONG i = 0; i < static_cast<LONG>(n); ++i) {
            Variant item = TypedValue(value[static_cast<size_t>(i)]);
            SafeArrayPutElement(a.get(), &i, const_cast<VARIANT*>(&item.get()));
        }
        p->parray = a.release();
        p->vt = VT_ARRAY | VT_VARIANT;
        return r;
    }
    throw std::invalid_argument("unknown vt \"" + vt + "\"");
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
