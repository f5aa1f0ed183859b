#include "sim_state.h"

#include <cstdio>
#include <stdexcept>

namespace sim {

namespace {

struct State {
    std::wstring log;
    std::vector<FaultRule> faults;
    std::vector<int> seen;  // calls matched so far, per rule
    std::map<std::wstring, long> live;
    std::vector<ScenarioLoader> loaders;
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

void SetFaults(const nlohmann::json& faults) {
    State& s = S();
    s.faults.clear();
    if (faults.is_array()) {
        for (const auto& f : faults) {
            FaultRule r;
            r.kind = Widen(f.value("object", ""));
            r.id = Widen(f.value("id", ""));
            r.member = Widen(f.value("member", ""));
            if (f.contains("hresult")) {
                const auto& h = f["hresult"];
                r.hr = h.is_string() ? static_cast<HRESULT>(std::stoul(h.get<std::string>(), nullptr, 0))
                                     : static_cast<HRESULT>(h.get<long long>());
            }
            r.description = Widen(f.value("description", "Injected failure"));
            r.skip = f.value("skip", 0);
            r.times = f.value("times", -1);
            const std::string answer = f.value("returns", "failure");
            if (answer == "nothing") r.answer = FaultAnswer::Nothing;
            else if (answer == "wrongType") r.answer = FaultAnswer::WrongType;
            else if (answer != "failure") throw std::invalid_argument("unknown \"returns\" of a fault: " + answer);
            s.faults.push_back(r);
        }
    }
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

void RegisterScenarioLoader(ScenarioLoader loader) { S().loaders.push_back(loader); }

void LoadScenario(const nlohmann::json& scenario) {
    S().scenarioLoaded = true;
    SetFaults(scenario.contains("faults") ? scenario["faults"] : nlohmann::json::array());
    for (ScenarioLoader l : S().loaders) l(scenario);
}

void EnsureScenarioLoaded() {
    if (S().scenarioLoaded) return;
    S().scenarioLoaded = true;
    std::wstring path = EnvVar(L"ORVALIS_SIM_SCENARIO");
    nlohmann::json scenario = nlohmann::json::object();
    if (!path.empty()) {
        std::string text;
        if (FILE* f = _wfopen(path.c_str(), L"rb")) {
            char buf[4096];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
            fclose(f);
        }
        scenario = nlohmann::json::parse(text, nullptr, false);
        if (scenario.is_discarded() || !scenario.is_object()) scenario = nlohmann::json::object();
    }
    // This runs inside a class factory: a scenario file that a loader rejects leaves the
    // stand-ins empty and says why in the log, and nothing is thrown at the client.
    try {
        LoadScenario(scenario);
    } catch (const std::exception& e) {
        LogLine(L"Scenario rejected: " + Widen(e.what()));
        try {
            LoadScenario(nlohmann::json::object());
        } catch (...) {
        }
    }
}

}  // namespace sim
