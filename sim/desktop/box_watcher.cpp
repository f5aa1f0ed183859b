#include "box_watcher.h"

#include "desktop.h"

namespace desktop {

BoxWatcher::BoxWatcher() {
    InitializeCriticalSection(&lock_);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

BoxWatcher::~BoxWatcher() {
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

void BoxWatcher::Start() { thread_ = CreateThread(nullptr, 0, &BoxWatcher::Run, this, 0, nullptr); }

void BoxWatcher::Stop(DWORD timeoutMs) {
    if (!thread_) return;
    SetEvent(stop_);
    WaitForSingleObject(thread_, timeoutMs);
    CloseHandle(thread_);
    thread_ = nullptr;
}

DWORD WINAPI BoxWatcher::Run(void* param) {
    auto* self = static_cast<BoxWatcher*>(param);
    while (WaitForSingleObject(self->stop_, 50) == WAIT_TIMEOUT)
        for (HWND box : DialogBoxes()) self->Look(box);
    return 0;
}

}  // namespace desktop
