#pragma once
// CommonDialog1: the window's small Save As / help layer. Its settings are public fields
// that stay set between uses, as long as the window is loaded; a handler sets what it
// relies on before each use.
#include <windows.h>

#include <cstdint>
#include <string>

namespace orvalis {

// Raised by ShowSave when the user cancels and CancelError is set (run-time error 32755).
constexpr HRESULT kCancelError = static_cast<HRESULT>(0x800A7FF3u);

// The WinHelp entry ShowHelp calls; WinHelpW unless replaced (tests observe the call there).
using WinHelpFunction = BOOL(WINAPI*)(HWND, LPCWSTR, UINT, ULONG_PTR);

class CommonDialog {
public:
    explicit CommonDialog(HWND owner) : owner_(owner) {}

    bool CancelError = false;
    long Flags = 0;              // OFN_* flags, passed to the dialog as they are (with its explorer look)
    std::wstring Filter;         // "description|pattern|description|pattern..."
    int FilterIndex = 0;         // 1-based; updated to the user's choice after ShowSave
    std::wstring FileName;       // shown in the dialog; the confirmed full path after ShowSave
    std::wstring DefaultExt;     // added to a name typed without an extension ("csv"); none when empty
    std::wstring HelpFile;
    int16_t HelpCommand = 0;
    WinHelpFunction winHelp = &WinHelpW;

    // The Save As dialog, modal to the owner. On OK, FileName holds the chosen path. A cancel
    // returns quietly, or throws orv::Error(kCancelError, "Cancel was selected.") when
    // CancelError is set. A dialog that fails to work throws orv::Error with the reason; so
    // does a confirmed path of MAX_PATH characters or more ("The file name is too long."),
    // which the dialog can't hold.
    void ShowSave();

    // winHelp(owner, HelpFile, HelpCommand, 0). Its result is not examined.
    void ShowHelp();

private:
    HWND owner_;
};

}  // namespace orvalis
