#pragma once
// Helpers shared by the Wine tests.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace orvtest {

// A path under the build folder, as Windows sees it ("Z:\...").
std::wstring BuildPath(const std::wstring& relative);
// A path under the source folder, as Windows sees it.
std::wstring SourcePath(const std::wstring& relative);
// A fresh empty folder for one test's files, under the build folder.
std::wstring ScratchDir(const std::wstring& name);

// Processes this thread's messages for ms milliseconds.
void Pump(DWORD ms);
// Processes messages until done() or the timeout; returns done().
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Text of a window (title or control text).
std::wstring WindowText(HWND w);

// Watches, from its own thread, for dialog boxes (#32770) of this process, records the text
// of each (title and static texts) and dismisses it with IDOK/IDCANCEL. No test can hang on
// an unexpected box.
class DialogWatcher {
public:
    DialogWatcher();
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;
    // Texts of the boxes seen so far: "title|text".
    std::vector<std::wstring> Seen() const;
    void Clear();

private:
    static DWORD WINAPI Run(void* self);
    HANDLE thread_ = nullptr;
    HANDLE stop_ = nullptr;
    mutable CRITICAL_SECTION lock_;
    std::vector<std::wstring> seen_;
};

// Starts a program and waits for it (with a timeout); returns its exit code, or -1 on timeout.
DWORD RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000);

}  // namespace orvtest
