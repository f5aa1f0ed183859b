#pragma once
// The window's side of "Create List" for tests that drive the list builder directly: List1's
// lines, and what was done to the window and when.
#include <string>
#include <vector>

#include "create_list.h"
#include "sim_client.h"

namespace orvtest {

struct RecordingView : orvalis::BuilderView {
    std::vector<std::wstring> lines;
    // "clear" ("clear late" once the address book's dialog was called), "process, N lines"
    // (List1's lines when the messages ran), "pointer N".
    std::vector<std::wstring> events;

    void AddLine(const std::wstring& line) override { lines.push_back(line); }
    void ClearList() override {
        lines.clear();
        const std::wstring log = simclient::Log();
        const bool dialogCalled = log.find(L".AddressBook(") != std::wstring::npos || log.find(L".Display(") != std::wstring::npos;
        events.push_back(dialogCalled ? L"clear late" : L"clear");
    }
    void SetMousePointer(int p) override { events.push_back(L"pointer " + std::to_wstring(p)); }
    void ProcessMessages() override { events.push_back(L"process, " + std::to_wstring(lines.size()) + L" lines"); }
};

}  // namespace orvtest
