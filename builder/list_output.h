#pragma once
// What the window's output buttons do with the finished list. Each handler is called from
// the window procedure: nothing throws out of it; a failure is shown in a message box owned
// by the window. (The Help button is in help.h.)
#include <windows.h>

#include <string>

#include "common_dialog.h"
#include "list_formats.h"
#include "list_options.h"
#include "member_table.h"

namespace orvalis {

// cmdClipboard: the list text in that format replaces the clipboard's contents
// (CF_UNICODETEXT). An empty table leaves the clipboard as it was.
void CopyToClipboard(HWND owner, const MemberTable& table, ListFormat format = ListFormat::AddressName);

// cmdSave: asks for a file in dlg's Save As dialog and writes the list there. An empty table
// opens no dialog; a cancel is silent. Where the client offers the list's options (offered),
// the list is written in their format, the dialog offers that format's file type first with its
// default extension, and a list in the ANSI code page that lost characters is saved and then
// said so; without them, the dialog and the file are as they always were.
void SaveList(HWND owner, const MemberTable& table, CommonDialog& dlg, const ListOptions* offered = nullptr);

// The list file itself, for SaveList: the list in that format (address-name in the ANSI code
// page; the others in UTF-8, CSV with a byte-order mark), written to a temporary file beside
// path that then replaces path, so a failure leaves an existing file untouched and no partial
// file behind. With tellLoss, an address-name list some of whose lines the code page can't hold
// is saved all the same, and then one message says how many lines lost characters. Returns
// false after showing the reason to the user.
bool WriteListFile(HWND owner, const std::wstring& path, const MemberTable& table,
                   ListFormat format = ListFormat::AddressName, bool tellLoss = false);

}  // namespace orvalis
