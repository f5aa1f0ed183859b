#include "clipboard_files.h"

#include <fstream>
#include <iterator>

#include "utf8.h"

namespace orvtest {

std::string FileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::wstring> ListTextLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::wstring FileText(const std::wstring& path) { return sim::Widen(FileBytes(path)); }

std::vector<std::wstring> FilesIn(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L"..")) names.push_back(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return names;
}

}  // namespace orvtest
