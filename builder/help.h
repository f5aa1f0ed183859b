#pragma once
// Every way the add-in opens its help: the pop-up at the host's start-up, the window's Help
// button, and the file and topic the host's controls name. Which help system serves them is
// decided here alone: HTML Help where the compiled help (orvalis.chm) is beside the add-in's
// library and hhctrl.ocx loads from the system folder, WinHelp with "orvalis.hlp" otherwise
// (a build registered from a folder without the compiled help, a system without HTML Help).
// A help call's outcome is never examined: help that doesn't open fails no operation.
#include <windows.h>

#include <cstdint>
#include <string>

#include "common_dialog.h"
#include "help_contexts.h"
#include "version.h"

namespace orvalis {

// What the toolbar button's and the menu item's HelpFile names: the compiled help's full path
// where HTML Help serves, else the help file's name; their HelpContextId is the same for both.
std::wstring ControlsHelpFile();
constexpr int32_t kControlsHelpContext = IDH_LIST_BUILDER;

// The start-up pop-up over owner: the start-up note as a text pop-up from the library's string
// table, or topic 1200 of the help file through WinHelp.
void ShowStartupHelp(HWND owner) noexcept;

// cmdHelp: the compiled help at its contents, owned by owner; or the help file through dlg.
// A failure is shown in a message box owned by owner; nothing throws out of it.
void ShowHelpFile(HWND owner, CommonDialog& dlg);

// Closes every help window HTML Help opened for the add-in and lets go of hhctrl.ocx, where it
// was loaded: when the window unloads, which the add-in's leaving the host does too. Every
// help call is made while the window is loaded. The next help call loads it again.
void CloseHelp() noexcept;

}  // namespace orvalis
