#pragma once
// Answers this process's Save As dialogs from its own thread, the way a user would: reads
// what the dialog shows, types a file name and presses Save (or Cancel), answers the
// overwrite question, and records and dismisses every other box. Nothing waits on a dialog
// for ever: whatever is left open is cancelled after a grace period.
#include <windows.h>

#include <string>
#include <vector>

#include "box_watcher.h"

namespace desktop {

struct SaveAsStep {
    bool save = true;               // false: press Cancel
    std::wstring fileName;          // typed into the file name field before Save
    bool confirmOverwrite = true;   // the answer to "replace the existing file?"
};

// What a Save As dialog showed when it opened.
struct SaveAsSeen {
    std::wstring title;
    std::wstring fileName;    // the file name field
    std::wstring fileType;    // the selected entry of the file type list
    std::vector<std::wstring> fileTypes;
};

class SaveAsDriver : public BoxWatcher {
public:
    explicit SaveAsDriver(std::vector<SaveAsStep> plan);
    ~SaveAsDriver() override;

    std::vector<SaveAsSeen> Dialogs() const;
    // Every other box: "title|text", the overwrite question included.
    std::vector<std::wstring> Boxes() const;

private:
    void Look(HWND box) override;
    void HandleSaveAs(HWND dlg);
    void HandleBox(HWND box);

    std::vector<SaveAsStep> plan_;
    size_t next_ = 0;
    bool lastConfirm_ = true;
    std::vector<HWND> handled_;
    std::vector<DWORD> handledAt_;
    std::vector<SaveAsSeen> dialogs_;
    std::vector<std::wstring> boxes_;
};

}  // namespace desktop
