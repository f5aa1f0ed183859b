#include "clipboard.h"

#include <cstring>

namespace desktop {

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

}  // namespace desktop
