#include "paths.h"

namespace orv {

namespace {
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
}  // namespace

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return std::wstring();
    return path.substr(0, slash == 0 ? 1 : slash);
}

std::wstring PathIn(const std::wstring& folder, const std::wstring& leaf) {
    if (folder.empty()) return leaf;
    return IsSeparator(folder.back()) ? folder + leaf : folder + L'\\' + leaf;
}

}  // namespace orv
