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

// The dialog builds the chosen path in a buffer of MAX_PATH characters from its current
// folder and the name typed; Wine's overruns that buffer (and takes the host down with it)
// when the two are longer. So the dialog's OK is looked at first: a path too long to be held
// ends the dialog, and ShowSave reports it as too long instead.
struct SaveAsGuard {
    WNDPROC dialogProc = nullptr;
    size_t extension = 0;  // what the dialog may still add: a point and the default extension
    bool tooLong = false;
};
constexpr wchar_t kGuardProperty[] = L"OrvalisSaveAsGuard";

std::wstring DialogText(HWND dialog, UINT message) {
    std::vector<wchar_t> text(kFileBufferChars, L'\0');
    if (SendMessageW(dialog, message, kFileBufferChars, reinterpret_cast<LPARAM>(text.data())) <= 0) return std::wstring();
    return text.data();
}

bool PathTooLong(HWND dialog, size_t extension) {
    const std::wstring folder = DialogText(dialog, CDM_GETFOLDERPATH);
    const std::wstring typed = DialogText(dialog, CDM_GETSPEC);
    const bool absolute = typed.size() >= 2 && (typed[1] == L':' || (typed[0] == L'\\' && typed[1] == L'\\'));
    const size_t length = absolute ? typed.size() : typed[0] == L'\\' ? 2 + typed.size() : folder.size() + 1 + typed.size();
    // A folder as long as the buffer may already be cut short.
    return folder.size() >= MAX_PATH - 1 || length + extension >= MAX_PATH;
}

LRESULT CALLBACK GuardedDialogProc(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
    auto* guard = static_cast<SaveAsGuard*>(GetPropW(dialog, kGuardProperty));
    if (!guard) return DefDlgProcW(dialog, message, wp, lp);
    if (message == WM_COMMAND && LOWORD(wp) == IDOK && PathTooLong(dialog, guard->extension)) {
        guard->tooLong = true;
        return CallWindowProcW(guard->dialogProc, dialog, WM_COMMAND, IDCANCEL, 0);
    }
    const WNDPROC original = guard->dialogProc;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropW(dialog, kGuardProperty);
    }
    return CallWindowProcW(original, dialog, message, wp, lp);
}

// The hook's own (empty) child dialog: its parent is the Save As dialog.
UINT_PTR CALLBACK SaveAsHook(HWND child, UINT message, WPARAM, LPARAM lp) {
    if (message != WM_INITDIALOG) return 0;
    auto* guard = reinterpret_cast<SaveAsGuard*>(reinterpret_cast<const OPENFILENAMEW*>(lp)->lCustData);
    HWND dialog = GetParent(child);
    if (SetPropW(dialog, kGuardProperty, guard))
        guard->dialogProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&GuardedDialogProc)));
    return 0;
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
    ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
    // The hook only watches OK; with it the dialog must be asked for its explorer look.
    SaveAsGuard guard;
    guard.extension = DefaultExt.empty() ? 0 : DefaultExt.size() + 1;
    ofn.Flags = static_cast<DWORD>(Flags) | OFN_EXPLORER | OFN_ENABLEHOOK;
    ofn.lpfnHook = &SaveAsHook;
    ofn.lCustData = reinterpret_cast<LPARAM>(&guard);

    if (!GetSaveFileNameW(&ofn)) {
        const DWORD code = CommDlgExtendedError();
        if (code != 0) RaiseDialogFailure(code);
        if (guard.tooLong) RaiseDialogFailure(FNERR_BUFFERTOOSMALL);
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
