#pragma once
// What a test in another module uses of the stand-ins: loads the registered OrvalisSim.dll
// (the very module COM loads) and calls its control exports.
#include <windows.h>

#include <string>

namespace simclient {

// Loads a scenario given as JSON text (UTF-16); throws orv::Error when it doesn't parse.
void LoadScenario(const std::wstring& json);
// Every call the stand-ins received since the last ClearLog, one line each.
std::wstring Log();
void ClearLog();
// Live stand-in objects of one kind, or of every kind for "".
long LiveObjects(const std::wstring& kind = L"");
// "Kind=count" lines for the kinds with live objects (for messages of failed assertions).
std::wstring LiveReport();

}  // namespace simclient
