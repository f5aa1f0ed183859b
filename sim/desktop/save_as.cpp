#include "save_as.h"

#include <dlgs.h>

#include "desktop.h"

namespace desktop {

namespace {

constexpr DWORD kGraceMs = 3000;

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

}  // namespace

SaveAsDriver::SaveAsDriver(std::vector<SaveAsStep> plan) : plan_(std::move(plan)) { Start(); }

SaveAsDriver::~SaveAsDriver() { Stop(10000); }

std::vector<SaveAsSeen> SaveAsDriver::Dialogs() const {
    Lock lock(*this);
    return dialogs_;
}

std::vector<std::wstring> SaveAsDriver::Boxes() const {
    Lock lock(*this);
    return boxes_;
}

void SaveAsDriver::Look(HWND w) {
    for (size_t i = 0; i < handled_.size(); ++i) {
        if (handled_[i] != w) continue;
        // Still open long after it was answered, and not waiting on a box of its own: the
        // dialog refused the answer (a read-only file, a declined overwrite). Give up on it.
        if (IsWindowEnabled(w) && GetTickCount() - handledAt_[i] > kGraceMs) {
            PressButton(w, IDCANCEL);
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
    {
        Lock lock(*this);
        dialogs_.push_back(seen);
    }

    SaveAsStep step;
    step.save = false;
    if (next_ < plan_.size()) step = plan_[next_++];
    lastConfirm_ = step.confirmOverwrite;
    if (!step.save) return PressButton(dlg, IDCANCEL);
    SendMessageW(FileNameField(dlg), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(step.fileName.c_str()));
    PressButton(dlg, IDOK);
}

void SaveAsDriver::HandleBox(HWND box) {
    {
        Lock lock(*this);
        boxes_.push_back(BoxText(box));
    }
    if (GetDlgItem(box, IDYES)) PressButton(box, lastConfirm_ ? IDYES : IDNO);
    else PressButton(box, GetDlgItem(box, IDOK) ? IDOK : IDCANCEL);
}

}  // namespace desktop
