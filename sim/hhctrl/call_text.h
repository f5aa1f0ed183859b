#pragma once
// One HtmlHelp call as the stand-in reads it, and as it writes it in the log.
#include <windows.h>

#include <optional>
#include <string>

namespace hhsim {

// HH_DISPLAY_TEXT_POPUP's structure, its strings in UTF-16.
struct Popup {
    int cbStruct = 0;
    HINSTANCE hinst = nullptr;
    UINT idString = 0;
    std::optional<std::wstring> text;  // pszText
    POINT pt{};
    COLORREF foreground = CLR_INVALID;
    COLORREF background = CLR_INVALID;
    RECT margins{-1, -1, -1, -1};
    std::optional<std::wstring> font;
    // What the pop-up shows: pszText, or the string resource that hinst and idString name;
    // nothing when there is none (or the text lives in a help file, which the stand-in doesn't read).
    std::optional<std::wstring> shown;
    bool complete() const;  // cbStruct is the size of the structure
};

// A call of HtmlHelpW or HtmlHelpA, whichever received it.
struct Request {
    std::wstring api;  // "HtmlHelpW" or "HtmlHelpA"
    HWND owner = nullptr;
    std::optional<std::wstring> file;
    UINT command = 0;
    DWORD_PTR data = 0;
    std::optional<std::wstring> topic;  // the string dwData points to, for the commands that take one
    std::optional<Popup> popup;         // for HH_DISPLAY_TEXT_POPUP, when dwData isn't NULL
};

// Whether dwData of a command is a string (a topic or a keyword) or NULL.
bool TakesString(UINT command);
// htmlhelp.h's name of a command ("HH_DISPLAY_TOC"), or its number in hex ("0x0042").
std::wstring CommandName(UINT command);
// The file name of the module hinst names ("OrvalisAddin.dll"), "NULL", or "?" for no module.
std::wstring ModuleName(HINSTANCE hinst);
// The log line of a call: HtmlHelp.HtmlHelpW(HWND #32770 "Caption", "file", HH_DISPLAY_TOC, NULL).
std::wstring CallLine(const Request& r);
// A text between double quotes, with quotes and control characters escaped.
std::wstring Quoted(const std::wstring& s);

}  // namespace hhsim
