#pragma once
// A thread of its own that looks at this process's dialog boxes every 50 ms, so that a box
// opened by a modal call on the main thread is read and answered while that call waits.
#include <windows.h>

namespace desktop {

class BoxWatcher {
public:
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

protected:
    BoxWatcher();
    virtual ~BoxWatcher();
    // The derived class starts the thread once it is whole, and stops it before it goes.
    void Start();
    void Stop(DWORD timeoutMs);
    // On the watcher's thread, for each dialog box that is up.
    virtual void Look(HWND box) = 0;

    // Guards what the watcher's thread and the test's thread share.
    class Lock {
    public:
        explicit Lock(const BoxWatcher& w) : section_(w.lock_) { EnterCriticalSection(&section_); }
        ~Lock() { LeaveCriticalSection(&section_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        CRITICAL_SECTION& section_;
    };

private:
    static DWORD WINAPI Run(void* self);
    HANDLE thread_ = nullptr;
    HANDLE stop_ = nullptr;
    mutable CRITICAL_SECTION lock_;
};

}  // namespace desktop
