#pragma once
// The one way the list builder tells the user something: a message box captioned like the
// window, owned by the window (or by nobody when it isn't there, as after a failed load).
// A failure reads: what failed, a blank line, then "Error <number>: <description>". Nothing
// here throws: these are called from the window procedure's handlers.
#include <windows.h>

#include <string>

#include "error.h"

namespace orvalis {

// "Error 9: Subscript out of range" for the run-time numbers, "Error 0x80040154: ..." for
// other HRESULTs.
std::wstring ErrorLine(const orv::Error& e);

void ShowFailure(HWND owner, const wchar_t* what, const orv::Error& e) noexcept;
// The same for the exception being handled; call it in a catch block.
void ShowCurrentFailure(HWND owner, const wchar_t* what) noexcept;
// An information box, such as what a run of "Create List" left out.
void ShowNotice(HWND owner, const std::wstring& text) noexcept;

}  // namespace orvalis
