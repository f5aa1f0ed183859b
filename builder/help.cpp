#include "help.h"

#include "messages.h"
#include "report.h"

namespace orvalis {

namespace {

constexpr DWORD kStartupHelpContext = IDH_STARTUP_NOTE;
// Passed on as the help button has always passed it, although WinHelp defines no command 15:
// the viewer decides what it shows.
constexpr int16_t kHelpCommand = 15;

}  // namespace

void ShowStartupHelp(HWND owner) noexcept {
    // The ANSI entry on purpose, as the start-up pop-up has always been asked for; the window's
    // Help button goes through CommonDialog1, which is Unicode.
    WinHelpA(owner, ORVALIS_HELP_FILE, HELP_CONTEXTPOPUP, kStartupHelpContext);
}

void ShowHelpFile(HWND owner, CommonDialog& dlg) {
    try {
        dlg.HelpFile = kHelpFile;
        dlg.HelpCommand = kHelpCommand;
        dlg.ShowHelp();
    } catch (...) {
        ShowCurrentFailure(owner, messages::kHelpFailed);
    }
}

}  // namespace orvalis
