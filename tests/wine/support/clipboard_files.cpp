#include "clipboard_files.h"

#include <fstream>
#include <iterator>

namespace orvtest {

namespace {

template <class C>
std::basic_string<C> ClipboardAs(UINT format, const C* none, const C* notOpened) {
    if (!OpenClipboard(nullptr)) return notOpened;
    std::basic_string<C> text = none;
    if (HANDLE h = GetClipboardData(format)) {
        if (auto* p = static_cast<const C*>(GlobalLock(h))) {
            text = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return text;
}

}  // namespace

std::wstring ClipboardText() { return ClipboardAs<wchar_t>(CF_UNICODETEXT, L"<none>", L"<not opened>"); }
std::string ClipboardAnsi() { return ClipboardAs<char>(CF_TEXT, "<none>", "<not opened>"); }

bool SetClipboardText(HWND owner, const std::wstring& text) {
    const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!h) return false;
    memcpy(GlobalLock(h), text.c_str(), bytes);
    GlobalUnlock(h);
    if (!OpenClipboard(owner)) return GlobalFree(h), false;
    EmptyClipboard();
    const bool set = SetClipboardData(CF_UNICODETEXT, h) != nullptr;
    if (!set) GlobalFree(h);
    CloseClipboard();
    return set;
}

std::string FileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc) << bytes;
}

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
