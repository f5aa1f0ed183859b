#pragma once
// Every way the add-in opens its help: the pop-up at the host's start-up, the window's Help
// button, and the file and topic the host's controls name. Which help system serves them is
// decided here alone.
#include <windows.h>

#include <cstdint>

#include "common_dialog.h"
#include "help_contexts.h"
#include "version.h"

namespace orvalis {

// What the toolbar button's and the menu item's HelpFile and HelpContextId name.
inline constexpr wchar_t kHelpFile[] = L"" ORVALIS_HELP_FILE;
constexpr int32_t kControlsHelpContext = IDH_LIST_BUILDER;

// The start-up pop-up: topic 1200, over owner. Its outcome is not examined.
void ShowStartupHelp(HWND owner) noexcept;

// cmdHelp: opens the add-in's help file through dlg. A failure is shown in a message box
// owned by owner; nothing throws out of it.
void ShowHelpFile(HWND owner, CommonDialog& dlg);

}  // namespace orvalis
