#pragma once
// Stands in for the help viewer: a top-level window of class "MS_WINHELP", which is where
// WinHelp delivers its requests (WM_COPYDATA) when such a window exists. While one is
// present, no help viewer is ever started. Create it on the thread that calls WinHelp.
#include <windows.h>

#include <string>
#include <vector>

namespace desktop {

struct HelpRequest {
    UINT command = 0;
    LONG data = 0;
    std::string file;
};

class WinHelpCatcher {
public:
    WinHelpCatcher();
    ~WinHelpCatcher();
    WinHelpCatcher(const WinHelpCatcher&) = delete;
    WinHelpCatcher& operator=(const WinHelpCatcher&) = delete;

    const std::vector<HelpRequest>& Requests() const { return requests_; }

private:
    static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    HWND window_ = nullptr;
    std::vector<HelpRequest> requests_;
};

}  // namespace desktop
