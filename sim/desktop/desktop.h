#pragma once
// What a person at the desktop does and sees, for the demo and the Wine tests: messages let
// through, window texts, the dialog boxes that are up and the buttons pressed in them.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace desktop {

// Processes this thread's messages for ms milliseconds.
void Pump(DWORD ms);
// Processes messages until done() or the timeout; returns done().
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Text of a window (title or control text).
std::wstring WindowText(HWND w);
// Whether a window is of a class (named ignoring case, as the system does).
bool IsClass(HWND w, const wchar_t* name);

// The top-level windows of a process, hidden ones too, that keep accepts, in the system's order.
std::vector<HWND> TopLevelWindows(DWORD processId, const std::function<bool(HWND)>& keep);

// The visible dialog boxes (#32770) of a process, top-level, in the system's order.
std::vector<HWND> DialogBoxes(DWORD processId = GetCurrentProcessId());
// A box as a person reads it: "title|text", the texts of its statics joined by blanks.
std::wstring BoxText(HWND box);
// Presses a button of a dialog as a click would (posted: the dialog may be modal).
void PressButton(HWND dialog, int id);

}  // namespace desktop
