#pragma once
// The stand-in's help windows: real windows of this module, never shown, so a test can see
// them open and close while nothing pops up on the desktop and nothing waits for a user.
#include <windows.h>

#include <string>

namespace hhsim {

void SetModule(HINSTANCE module);

// The help file a call names: pszFile without "::/topic" and ">window type".
std::wstring HelpFileOf(const std::wstring& file);

// The viewer of a help file and window type on the calling thread, opened (owned by owner)
// or reused; its caption becomes file.
HWND ShowViewer(HWND owner, const std::wstring& file);
// A pop-up showing text with its top centre at pt; it replaces the calling thread's last one.
HWND ShowPopup(HWND owner, const std::wstring& text, POINT pt, const RECT& margins);
// Closes every help window of the process, of whichever thread.
void CloseAll();
// Before the module goes away with windows still open: closes the calling thread's, leaves
// those of other threads to the system's default window procedure (so nothing calls into
// the unloaded module) and returns how many there were.
size_t Abandon();

}  // namespace hhsim
