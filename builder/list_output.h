#pragma once
// What the window's output buttons do with the finished list. Each handler is called from
// the window procedure: nothing throws out of it; a failure is shown in a message box owned
// by the window. (The Help button is in help.h.)
#include <windows.h>

#include <string>

#include "common_dialog.h"
#include "member_table.h"

namespace orvalis {

// cmdClipboard: the list text replaces the clipboard's contents (CF_UNICODETEXT). An empty
// table leaves the clipboard as it was.
void CopyToClipboard(HWND owner, const MemberTable& table);

// cmdSave: asks for a file in dlg's Save As dialog and writes the list there. An empty table
// opens no dialog; a cancel is silent.
void SaveList(HWND owner, const MemberTable& table, CommonDialog& dlg);

// The list file itself, for SaveList: the list lines in the ANSI code page, written to a
// temporary file beside path that then replaces path, so a failure leaves an existing file
// untouched and no partial file behind. Returns false after showing the reason to the user.
bool WriteListFile(HWND owner, const std::wstring& path, const MemberTable& table);

}  // namespace orvalis
