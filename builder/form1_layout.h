#pragma once
// The builder window's look in one place: control ids, captions and its measures in twips
// (1440 to the inch; converted at the screen's own resolution). What it says in its message
// boxes is in messages.h.
#include <windows.h>

namespace form1 {

// Control ids. None is IDOK (1) or IDCANCEL (2): Enter and Escape must not press a button.
enum ControlId : int {
    kList1 = 101,
    kCmdAdd = 102,
    kCmdClipboard = 103,
    kCmdSave = 104,
    kCmdHelp = 105,
    kLblVersion = 106,
};

// The window class: its own name rather than the dialog class, so nothing that looks for
// message boxes mistakes the window for one.
inline constexpr wchar_t kWindowClass[] = L"OrvalisForm1";
inline constexpr wchar_t kCaption[] = L"Orvalis Address Book Utility";
// What a dialog box gets when it asks for the shell's dialog font.
inline constexpr wchar_t kDialogFontFace[] = L"MS Shell Dlg";
inline constexpr int kDialogFontPoints = 8;

inline constexpr int kClientWidth = 6345;
inline constexpr int kClientHeight = 5160;

// The window: a fixed dialog frame with a title bar and a close box only, no menu, hidden
// until shown. DS_SETFONT gives it the shell's dialog font, which every control then takes.
inline constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
inline constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

struct ControlLayout {
    ControlId id;
    const wchar_t* windowClass;
    const wchar_t* caption;
    DWORD style;  // besides WS_CHILD | WS_VISIBLE
    DWORD exStyle;
    int left, top, width, height;
};

// List1: one selection at a time, lines kept in the order added, exactly its own height.
constexpr DWORD kListStyle = WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT;
// Plain push buttons: none is the default button. A caption too long for one line wraps
// onto a second, as "Copy to Clipboard" must in the dialog font.
constexpr DWORD kButtonStyle = WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE;
// One line, "&" shown as it stands.
constexpr DWORD kLabelStyle = SS_LEFTNOWORDWRAP | SS_NOPREFIX;

// In tab order: the creation order is the tab order.
inline constexpr ControlLayout kControls[] = {
    {kList1, L"ListBox", L"", kListStyle, WS_EX_CLIENTEDGE, 120, 120, 4575, 4545},
    {kCmdAdd, L"Button", L"Create List", kButtonStyle, 0, 4920, 240, 1215, 495},
    {kCmdClipboard, L"Button", L"Copy to Clipboard", kButtonStyle, 0, 4920, 840, 1215, 495},
    {kCmdSave, L"Button", L"Save List", kButtonStyle, 0, 4920, 1440, 1215, 495},
    {kCmdHelp, L"Button", L"Help", kButtonStyle, 0, 4920, 2040, 1215, 495},
    // The label sizes itself to its caption, from its left and top edges.
    {kLblVersion, L"Static", L"Version", kLabelStyle, 0, 120, 4800, 525, 195},
};

// The version line: this text, then major.minor.revision. "Orvalise" is how the line has
// always been spelled; users and their documentation know it so.
inline constexpr wchar_t kVersionPrefix[] = L"Orvalise Utility version ";

}  // namespace form1
