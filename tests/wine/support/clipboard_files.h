#pragma once
// Reading and setting what a user would see: the clipboard's text and the bytes of files.
#include <windows.h>

#include <string>
#include <vector>

namespace orvtest {

// The clipboard's CF_UNICODETEXT, and the CF_TEXT the system offers ANSI readers; "<none>"
// when the format is absent, "<not opened>" when the clipboard can't be opened.
std::wstring ClipboardText();
std::string ClipboardAnsi();
// Replaces the clipboard's contents with text, owned by owner.
bool SetClipboardText(HWND owner, const std::wstring& text);

// A file's bytes (empty when it can't be read); writes bytes as the whole file.
std::string FileBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
// The names in a folder, "." and ".." left out, in the order the system lists them.
std::vector<std::wstring> FilesIn(const std::wstring& dir);

}  // namespace orvtest
