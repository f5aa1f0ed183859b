#pragma once
// What every stand-in shares within one process: the call log, the fault rules, the live
// object counts and the loaded scenario.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "utf8.h"
#include "variant.h"

namespace sim {

// How a matched call goes wrong: it fails, or it runs and answers wrongly.
enum class FaultAnswer {
    Fail,       // the call fails with hr and description
    Nothing,    // the call answers an empty object reference (Nothing)
    WrongType,  // the call answers a value of another type than it should
    // The call runs, and where it answers an array, elements of it are error values
    // (VT_ERROR with hr): the one at element, or every one.
    ElementError,
};

struct FaultRule {
    std::wstring kind;    // object kind, "" for any
    std::wstring id;      // object id, "" for any
    std::wstring member;  // member name, or "CreateInstance" for the class factory
    HRESULT hr = E_FAIL;
    std::wstring description;
    int skip = 0;    // calls that pass before the first failure
    int times = -1;  // failures in all, -1 for every call after skip
    FaultAnswer answer = FaultAnswer::Fail;
    int element = -1;  // ElementError: the element (0-based), -1 for all of them
};

void LogLine(const std::wstring& line);
// True when the log also gets the type of every answer ("<- Kind[id].Member I4"): set by
// ORVALIS_SIM_LOG_RESULTS=1, for tools that need to know what each call returns.
bool LogResults();
std::wstring LogText();
// Empties the log and the call counts.
void ClearLog();
// Counts one call to kind.member; the objects count each call they receive as they log it.
void CountCall(const std::wstring& kind, const std::wstring& member);
// The calls to kind.member since the log was last cleared; "" for any kind or any member.
long CallCount(const std::wstring& kind, const std::wstring& member);

// How long each call to a member that is a round trip to the server takes, in milliseconds:
// the scenario's setting (0, none, unless it says otherwise).
void SetCallLatency(long milliseconds);
long CallLatency();
// Waits one call's latency: at least that long, by the performance counter.
void WaitCallLatency();

// Returns the rule that fails this call now, if any (counts the call against the rules).
const FaultRule* MatchFault(const std::wstring& kind, const std::wstring& id, const std::wstring& member);
// The rules of a "faults" list (null for none); throws DataError for a malformed one.
std::vector<FaultRule> ParseFaults(const nlohmann::json& faults, const std::string& path);
void SetFaults(std::vector<FaultRule> faults);

void CountBirth(const std::wstring& kind);
void CountDeath(const std::wstring& kind);
long LiveObjects(const std::wstring& kind);  // "" for all kinds
std::map<std::wstring, long> LiveByKind();

// A value of a data file as the stand-ins answer it: a string (BSTR), an integer (I4, or R8
// beyond 32 bits), a number with a fraction (R8), a Boolean, null (EMPTY); or an explicit
// {"vt": "VT_EMPTY" | "VT_NULL" | "VT_I2" | "VT_I4" | "VT_R8" | "VT_BOOL" | "VT_BSTR" |
// "VT_ARRAY" | "VT_DISPATCH", "value": ...} (an array holds typed values; VT_DISPATCH is
// Nothing), or {"utf16": [code units]} for a string that UTF-8 can't carry, such as an
// unpaired surrogate. Throws std::invalid_argument for anything else.
orv::Variant TypedValue(const nlohmann::json& value);

// The scenario: an object with optional "cdo", "host" and "faults" members. Each part
// registers the member it reads: check throws DataError (data_file.h) for anything in that
// member (null when absent) that the part would not load, and changes nothing; load then
// receives the whole scenario. A scenario loads only once every check has passed, so a bad
// one leaves the stand-ins as they were.
using ScenarioCheck = void (*)(const nlohmann::json& section, const std::string& path);
using ScenarioLoader = void (*)(const nlohmann::json& scenario);
void RegisterScenarioLoader(const char* key, ScenarioCheck check, ScenarioLoader loader);
// Throws DataError naming the first problem: a key no part reads, or a part's own.
void CheckScenario(const nlohmann::json& scenario);
// CheckScenario, then every part's loader.
void LoadScenario(const nlohmann::json& scenario);
// The scenario file's first problem as one line naming the file as shownAs ("" when it
// would load): unreadable, not JSON (with line and column), or refused by a check.
std::string CheckScenarioFile(const std::wstring& path, const std::string& shownAs);
// Loads the scenario file named by ORVALIS_SIM_SCENARIO once per process, if set and not yet
// loaded. A file that doesn't load leaves the stand-ins empty and says why in the log.
void EnsureScenarioLoaded();

}  // namespace sim
