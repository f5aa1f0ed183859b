#include "save_as_driver.h"

#include <dlgs.h>

#include "wine_test.h"

namespace orvtest {

namespace {

constexpr DWORD kGraceMs = 3000;

BOOL CALLBACK CollectDialogs(HWND w, LPARAM p) {
    auto* found = reinterpret_cast<std::vector<HWND>*>(p);
    wchar_t cls[16];
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w) && GetClassNameW(w, cls, 16) &&
        wcscmp(cls, L"#32770") == 0)
        found->push_back(w);
    return TRUE;
}

BOOL CALLBACK CollectStaticText(HWND w, LPARAM p) {
    wchar_t cls[16];
    if (GetClassNameW(w, cls, 16) && _wcsicmp(cls, L"Static") == 0) {
        std::wstring t = WindowText(w);
        auto* s = reinterpret_cast<std::wstring*>(p);
        if (!t.empty()) *s += (s->back() == L'|' ? L"" : L" ") + t;
    }
    return TRUE;
}

// The file name field: an edit of its own, or the edit inside the file name combo box.
HWND FileNameField(HWND dlg) {
    if (HWND combo = GetDlgItem(dlg, cmb13)) {
        if (HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr)) return edit;
        return combo;
    }
    return GetDlgItem(dlg, edt1);
}

std::wstring ComboItem(HWND combo, LRESULT i) {
    LRESULT n = SendMessageW(combo, CB_GETLBTEXTLEN, i, 0);
    if (n == CB_ERR) return std::wstring();
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(s.data()));
    s.resize(wcslen(s.c_str()));
    return s;
}

void Press(HWND dlg, int id) {
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

}  // namespace

SaveAsDriver::SaveAsDriver(std::vector<SaveAsStep> plan) : plan_(std::move(plan)) {
    InitializeCriticalSection(&lock_);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &SaveAsDriver::Run, this, 0, nullptr);
}

SaveAsDriver::~SaveAsDriver() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

std::vector<SaveAsSeen> SaveAsDriver::Dialogs() const {
    EnterCriticalSection(&lock_);
    auto copy = dialogs_;
    LeaveCriticalSection(&lock_);
    return copy;
}

std::vector<std::wstring> SaveAsDriver::Boxes() const {
    EnterCriticalSection(&lock_);
    auto copy = boxes_;
    LeaveCriticalSection(&lock_);
    return copy;
}

DWORD WINAPI SaveAsDriver::Run(void* param) {
    auto* self = static_cast<SaveAsDriver*>(param);
    while (WaitForSingleObject(self->stop_, 50) == WAIT_TIMEOUT) {
        std::vector<HWND> found;
        EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&found));
        for (HWND w : found) self->Handle(w);
    }
    return 0;
}

void SaveAsDriver::Handle(HWND w) {
    for (size_t i = 0; i < handled_.size(); ++i) {
        if (handled_[i] != w) continue;
        // Still open long after it was answered, and not waiting on a box of its own: the
        // dialog refused the answer (a read-only file, a declined overwrite). Give up on it.
        if (IsWindowEnabled(w) && GetTickCount() - handledAt_[i] > kGraceMs) {
            Press(w, IDCANCEL);
            handledAt_[i] = GetTickCount();
        }
        return;
    }
    handled_.push_back(w);
    handledAt_.push_back(GetTickCount());
    if (GetDlgItem(w, cmb1)) HandleSaveAs(w);
    else HandleBox(w);
}

void SaveAsDriver::HandleSaveAs(HWND dlg) {
    Sleep(200);  // let the dialog finish filling its fields
    SaveAsSeen seen;
    seen.title = WindowText(dlg);
    seen.fileName = WindowText(FileNameField(dlg));
    HWND types = GetDlgItem(dlg, cmb1);
    seen.fileType = ComboItem(types, SendMessageW(types, CB_GETCURSEL, 0, 0));
    for (LRESULT i = 0, n = SendMessageW(types, CB_GETCOUNT, 0, 0); i < n; ++i) seen.fileTypes.push_back(ComboItem(types, i));
    EnterCriticalSection(&lock_);
    dialogs_.push_back(seen);
    LeaveCriticalSection(&lock_);

    SaveAsStep step;
    step.save = false;
    if (next_ < plan_.size()) step = plan_[next_++];
    lastConfirm_ = step.confirmOverwrite;
    if (!step.save) return Press(dlg, IDCANCEL);
    SendMessageW(FileNameField(dlg), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(step.fileName.c_str()));
    Press(dlg, IDOK);
}

void SaveAsDriver::HandleBox(HWND box) {
    std::wstring text = WindowText(box) + L"|";
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    EnterCriticalSection(&lock_);
    boxes_.push_back(text);
    LeaveCriticalSection(&lock_);
    if (GetDlgItem(box, IDYES)) Press(box, lastConfirm_ ? IDYES : IDNO);
    else Press(box, GetDlgItem(box, IDOK) ? IDOK : IDCANCEL);
}

}  // namespace orvtest
