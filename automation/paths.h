#pragma once
// Paths taken apart and put together, the one way every part of the code does it.
#include <string>

namespace orv {

// The folder that holds path: everything before its last "\" or "/", without that separator
// (the separator itself for a path right under the root, "\list.txt"); empty when path names
// no folder ("list.txt", "C:list.txt").
std::wstring FolderOf(const std::wstring& path);

// leaf inside folder: "folder\leaf"; leaf alone when folder is empty (the current folder).
std::wstring PathIn(const std::wstring& folder, const std::wstring& leaf);

}  // namespace orv
