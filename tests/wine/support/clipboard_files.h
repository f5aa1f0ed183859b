#pragma once
// Reading and setting what a user would see: the clipboard's text and the bytes of files.
#include <windows.h>

#include <string>
#include <vector>

#include "clipboard.h"

namespace orvtest {

using desktop::ClipboardAnsi;
using desktop::ClipboardText;
using desktop::SetClipboardText;

// A file's bytes (empty when it can't be read); writes bytes as the whole file.
std::string FileBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
// The lines of a list text (each ended by CR LF, as on the clipboard and in saved lists),
// without their ends.
std::vector<std::wstring> ListTextLines(const std::wstring& text);
// A file's text, read as UTF-8 (the stand-ins' log and state files).
std::wstring FileText(const std::wstring& path);
// The names in a folder, "." and ".." left out, in the order the system lists them.
std::vector<std::wstring> FilesIn(const std::wstring& dir);

}  // namespace orvtest
