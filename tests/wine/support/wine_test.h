#pragma once
// Helpers shared by the Wine tests.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "box_watcher.h"
#include "desktop.h"

namespace orvtest {

// A path under the build folder, as Windows sees it ("Z:\...").
std::wstring BuildPath(const std::wstring& relative);
// A path under the source folder, the same way.
std::wstring SourcePath(const std::wstring& relative);
// A path under the 32-bit build folder beside this one (this one in the 32-bit build).
std::wstring X86BuildPath(const std::wstring& relative);
// Empty where this machine runs 32-bit x86 code; otherwise why not (the test script passes it
// on as ORVALIS_NO_X86_CODE), for the 64-bit tests that also run a 32-bit program.
std::wstring NoX86Code();
// A fresh empty folder for one test's files, under the build folder.
std::wstring ScratchDir(const std::wstring& name);

using desktop::Pump;
using desktop::WaitFor;
using desktop::WindowText;

// A plain top-level window for the dialogs and boxes a test opens, destroyed with it.
class OwnerWindow {
public:
    explicit OwnerWindow(const wchar_t* title);
    ~OwnerWindow();
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND hwnd() const { return window_; }

private:
    HWND window_;
};

// Watches, from its own thread, for dialog boxes (#32770) of this process, records the text
// of each (title and static texts) and dismisses it with IDOK/IDCANCEL. No test can hang on
// an unexpected box.
class DialogWatcher : public desktop::BoxWatcher {
public:
    DialogWatcher() { Start(); }
    ~DialogWatcher() override { Stop(5000); }
    // Texts of the boxes seen so far: "title|text".
    std::vector<std::wstring> Seen() const;
    void Clear();

private:
    void Look(HWND box) override;
    std::vector<std::wstring> seen_;
};

// Whether part occurs in text, and how often (without overlaps).
bool Contains(const std::wstring& text, const std::wstring& part);
int Count(const std::wstring& text, const std::wstring& part);

// True under Wine, where a few platform behaviours differ from Windows.
bool OnWine();

// Starts a program and waits for it (with a timeout); returns its exit code, or -1 on timeout.
DWORD RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000);
// The same, with what the program writes to its standard output and error in output
// (carriage returns left out).
DWORD RunProcess(const std::wstring& commandLine, std::string& output, DWORD timeoutMs = 60000);

// The HRESULT of the orv::Error that f throws; S_OK when it throws none.
HRESULT FailureOf(const std::function<void()>& f);

}  // namespace orvtest
