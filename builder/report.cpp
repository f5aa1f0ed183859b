#include "report.h"

#include <new>

#include "form1_layout.h"
#include "messages.h"

namespace orvalis {

namespace {

void Box(HWND owner, const wchar_t* text, UINT icon) noexcept {
    // With no window of ours to own it, the box must still come up in front of the host.
    MessageBoxW(owner, text, form1::kCaption, MB_OK | icon | (owner ? 0 : MB_SETFOREGROUND));
}

}  // namespace

std::wstring ErrorLine(const orv::Error& e) { return messages::kErrorLine + e.NumberText() + L": " + e.description(); }

void ShowFailure(HWND owner, const wchar_t* what, const orv::Error& e) noexcept {
    try {
        Box(owner, (std::wstring(what) + L"\r\n\r\n" + ErrorLine(e)).c_str(), MB_ICONEXCLAMATION);
    } catch (const std::bad_alloc&) {
        Box(owner, what, MB_ICONEXCLAMATION);  // no memory for more than the headline
    }
}

void ShowCurrentFailure(HWND owner, const wchar_t* what) noexcept {
    try {
        ShowFailure(owner, what, orv::CurrentError());
    } catch (const std::bad_alloc&) {
        Box(owner, what, MB_ICONEXCLAMATION);  // no memory for a copy of the failure
    }
}

void ShowNotice(HWND owner, const std::wstring& text) noexcept { Box(owner, text.c_str(), MB_ICONINFORMATION); }

}  // namespace orvalis
