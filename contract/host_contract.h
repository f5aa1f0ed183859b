#pragma once
// What the add-in and the reset program agree on with the mail client: the texts the
// controls are installed under and the client lists the add-in by, the add-in's ProgID, and
// the published interface ids both hold the client's objects by. Both deliverables include
// this header and link nothing of each other, so a change here reaches both sides at once:
// the reset finds exactly what the add-in installed.
#include <windows.h>

#include "identity.h"

namespace contract {

// The button's caption and tip, on the toolbar and on the ribbon alike: as plain macros too, so
// that the build writes the same texts into the ribbon's document.
#define ORVALIS_BUTTON_CAPTION "Orvalis"
#define ORVALIS_BUTTON_TOOLTIP "Orvalis DL Utility"

// Compared whole and exactly everywhere, case and access-key ampersand included.
inline constexpr wchar_t kStandardBar[] = L"Standard";          // bar that gets the button
inline constexpr wchar_t kButtonCaption[] = L"" ORVALIS_BUTTON_CAPTION;  // the toolbar button
inline constexpr wchar_t kButtonTooltip[] = L"" ORVALIS_BUTTON_TOOLTIP;
inline constexpr wchar_t kToolsCaption[] = L"&Tools";            // menu-bar entry that gets the item
inline constexpr wchar_t kMenuItemCaption[] = L"&Orvalis Utility";
// The client's demand-load form: a click on either control connects the add-in in mode 0.
// ProgIDs are looked up without regard to case, so this names kProgId.
inline constexpr wchar_t kOnAction[] = L"!<OrvalisUtility.Addin>";
// How the client lists the add-in in its COM add-in list.
inline constexpr wchar_t kAddInDescription[] = L"" ORVALIS_ADDIN_DESCRIPTION;
inline constexpr wchar_t kProgId[] = L"" ORVALIS_PROGID;
// The client's per-user entry for the add-in: what it loads at start-up, and how.
inline constexpr wchar_t kHostAddInKey[] = L"" ORVALIS_HOST_ADDINS_KEY "\\" ORVALIS_PROGID;

// The mail client's object model.
inline constexpr wchar_t kOutlookProgId[] = L"Outlook.Application";
inline constexpr CLSID CLSID_OutlookApplication = {0x0006F03A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID__Application = {0x00063001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID__CommandBars = {0x000C0302, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_CommandBar = {0x000C0304, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_CommandBarControl = {0x000C0308, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID__CommandBarButton = {0x000C030E, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The CDO 1.21 address book.
inline constexpr wchar_t kCdoProgId[] = L"MAPI.Session";
inline constexpr IID IID_CdoSession = {0x3FA7DEA8, 0x6438, 0x101B, {0xAC, 0xC1, 0x00, 0xAA, 0x00, 0x42, 0x33, 0x26}};

}  // namespace contract
