#pragma once
// Which mail client the stand-in plays, from the scenario's "outlook" section: the version it
// reports (and with it whether it is a ribbon host that hides the explorer's command bars),
// whether its namespace offers the Select Names dialog, and whether the scenario turns on the
// policy that add-ins be signed by a trusted publisher.
#include <string>

namespace sim::outlook {

// Application.Version: "9.0.0.0" unless the scenario says otherwise.
const std::wstring& ClientVersion();
// The version's first number (9 for "9.0.0.0", 16 for "16.0.0.17328").
long ClientMajor();
// From the 2010 version (major 14) on, the main window has a ribbon that add-ins extend, and
// its command bars are hidden.
bool IsRibbonHost();
// Plays a client of another version until the next scenario load; false (nothing changed)
// for a text that is no version number.
bool SetClientVersion(const std::wstring& version);
// Whether the namespace offers GetSelectNamesDialog (false for a client of CDO's own era).
bool OffersSelectNamesDialog();
// The scenario's switch for that policy (the registry's policy value is the other way to it).
bool ScenarioRequiresSignedAddIns();

}  // namespace sim::outlook
