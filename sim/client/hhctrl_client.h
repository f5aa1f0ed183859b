#pragma once
// What a test uses of the HTML Help stand-in (sim/hhctrl/README.md): its calls in the log,
// its open windows, and a system folder without a usable hhctrl.ocx.
#include <windows.h>

#include <string>
#include <vector>

namespace simclient {

// The classes of the stand-in's viewer and of its text pop-ups.
inline constexpr wchar_t kHelpViewerClass[] = L"HH Parent";
inline constexpr wchar_t kHelpPopupClass[] = L"hh_popup";

// The system folder's hhctrl.ocx, where the test prefix has the stand-in.
std::wstring HtmlHelpPath();

// The log's HtmlHelp lines (calls, and the note of an unload with windows open), in order.
std::vector<std::wstring> HtmlHelpCalls();

// An open help window of this process: a viewer ("HH Parent", its caption the file it was
// last asked for) or a text pop-up ("hh_popup", its caption the text it shows).
struct HelpWindow {
    HWND hwnd = nullptr;
    bool popup = false;
    HWND owner = nullptr;
    std::wstring text;
    bool visible = false;
    RECT rect{};
};
std::vector<HelpWindow> HelpWindows();

// A machine without HTML Help: moves the system folder's hhctrl.ocx aside, so loading it by
// its path fails with ERROR_MOD_NOT_FOUND (Wine's own is never loaded in its place).
// A damaged one: moves it aside and leaves a file in its place that is no program, so
// loading fails with ERROR_BAD_EXE_FORMAT. Both throw orv::Error when this process has it
// loaded (it would go on answering here) or the file can't be moved.
void RemoveHtmlHelp();
void DamageHtmlHelp();
// Puts back what either moved aside, also after the process that did it died; does nothing
// when nothing is aside.
void RestoreHtmlHelp();

}  // namespace simclient
