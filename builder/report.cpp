#include "report.h"

#include "form1_layout.h"
#include "messages.h"

namespace orvalis {

namespace {

void Box(HWND owner, const wchar_t* text, UINT icon) noexcept {
    // With no window of ours to own it, the box must still come up in front of the host.
    MessageBoxW(owner, text, form1::kCaption, MB_OK | icon | (owner ? 0 : MB_SETFOREGROUND));
}

}  // namespace

std::wstring ErrorLine(const orv::Error& e) {
    wchar_t number[16];
    if ((static_cast<unsigned long>(e.hr()) & 0xFFFF0000u) == 0x800A0000u) wsprintfW(number, L"%ld", e.number());
    else wsprintfW(number, L"0x%08lX", static_cast<unsigned long>(e.hr()));
    return messages::kErrorLine + std::wstring(number) + L": " + e.description();
}

void ShowFailure(HWND owner, const wchar_t* what, const orv::Error& e) noexcept {
    try {
        Box(owner, (std::wstring(what) + L"\r\n\r\n" + ErrorLine(e)).c_str(), MB_ICONEXCLAMATION);
    } catch (...) {
        Box(owner, what, MB_ICONEXCLAMATION);  // no memory for more than the headline
    }
}

void ShowCurrentFailure(HWND owner, const wchar_t* what) noexcept {
    try {
        ShowFailure(owner, what, orv::CurrentError());
    } catch (...) {
        Box(owner, what, MB_ICONEXCLAMATION);
    }
}

void ShowNotice(HWND owner, const std::wstring& text) noexcept { Box(owner, text.c_str(), MB_ICONINFORMATION); }

}  // namespace orvalis
