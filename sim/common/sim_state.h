#pragma once
// What every stand-in shares within one process: the call log, the fault rules, the live
// object counts and the loaded scenario.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "utf8.h"

namespace sim {

struct FaultRule {
    std::wstring kind;    // object kind, "" for any
    std::wstring id;      // object id, "" for any
    std::wstring member;  // member name, or "CreateInstance" for the class factory
    HRESULT hr = E_FAIL;
    std::wstring description;
    int skip = 0;    // calls that pass before the first failure
    int times = -1;  // failures in all, -1 for every call after skip
};

void LogLine(const std::wstring& line);
std::wstring LogText();
void ClearLog();

// Returns the rule that fails this call now, if any (counts the call against the rules).
const FaultRule* MatchFault(const std::wstring& kind, const std::wstring& id, const std::wstring& member);
void SetFaults(const nlohmann::json& faults);

void CountBirth(const std::wstring& kind);
void CountDeath(const std::wstring& kind);
long LiveObjects(const std::wstring& kind);  // "" for all kinds
std::map<std::wstring, long> LiveByKind();


// The scenario: an object with optional "cdo", "host" and "faults" members. Each part
// registers a loader that receives the whole scenario and takes its own section.
using ScenarioLoader = void (*)(const nlohmann::json& scenario);
void RegisterScenarioLoader(ScenarioLoader loader);
void LoadScenario(const nlohmann::json& scenario);
// Loads the scenario file named by ORVALIS_SIM_SCENARIO once per process, if set and not yet loaded.
void EnsureScenarioLoaded();

}  // namespace sim
