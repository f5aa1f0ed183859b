#include "common_dialog.h"

#include <cderr.h>
#include <commdlg.h>

#include <vector>

#include "error.h"

namespace orvalis {

namespace {

// Room for any path the dialog can return, long paths included.
constexpr DWORD kFileBufferChars = 32768;

// "desc|pattern|desc|pattern" as the dialog wants it: each piece ended by a NUL, the list by
// a second one. An empty filter means no filter at all.
std::wstring DialogFilter(const std::wstring& filter) {
    if (filter.empty()) return std::wstring();
    std::wstring pieces = filter;
    for (auto& c : pieces) {
        if (c == L'|') c = L'\0';
    }
    pieces.push_back(L'\0');
    pieces.push_back(L'\0');
    return pieces;
}

[[noreturn]] void RaiseDialogFailure(DWORD code) {
    wchar_t text[96];
    switch (code) {
        case FNERR_BUFFERTOOSMALL:
            orv::Raise(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), L"The file name is too long.");
        case FNERR_INVALIDFILENAME:
            orv::Raise(HRESULT_FROM_WIN32(ERROR_INVALID_NAME), L"The file name is not valid.");
        default:
            wsprintfW(text, L"The Save As dialog could not be shown (common dialog error 0x%04lX).",
                      static_cast<unsigned long>(code));
            orv::Raise(E_FAIL, text);
    }
}

}  // namespace

void CommonDialog::ShowSave() {
    std::vector<wchar_t> file(kFileBufferChars, L'\0');
    FileName.copy(file.data(), kFileBufferChars - 1);
    const std::wstring filter = DialogFilter(Filter);

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner_;
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = FilterIndex < 0 ? 0 : static_cast<DWORD>(FilterIndex);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kFileBufferChars;
    ofn.Flags = static_cast<DWORD>(Flags);

    if (!GetSaveFileNameW(&ofn)) {
        const DWORD code = CommDlgExtendedError();
        if (code != 0) RaiseDialogFailure(code);
        if (CancelError) orv::Raise(kCancelError, L"Cancel was selected.");
        return;
    }
    FileName = file.data();
    FilterIndex = static_cast<int>(ofn.nFilterIndex);
}

void CommonDialog::ShowHelp() {
    winHelp(owner_, HelpFile.c_str(), static_cast<UINT>(static_cast<uint16_t>(HelpCommand)), 0);
}

}  // namespace orvalis
