#pragma once
// The clipboard as a person pastes from it.
#include <windows.h>

#include <string>

namespace desktop {

// The clipboard's CF_UNICODETEXT, and the CF_TEXT the system offers ANSI readers; "<none>"
// when the format is absent, "<not opened>" when the clipboard can't be opened.
std::wstring ClipboardText();
std::string ClipboardAnsi();
// Replaces the clipboard's contents with text, owned by owner.
bool SetClipboardText(HWND owner, const std::wstring& text);

}  // namespace desktop
