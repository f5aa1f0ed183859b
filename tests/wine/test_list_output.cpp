// The output buttons' handlers, through a window of the test's own, the real clipboard, real
// files and the real Save As dialog.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>

#include <algorithm>

#include "clipboard_files.h"
#include "help.h"
#include "list_output.h"
#include "save_as_driver.h"
#include "utf8.h"
#include "wine_test.h"
#include "winhelp_catcher.h"

namespace {

using orvalis::MemberTable;

struct NoList : orvalis::ListSink {
    void AddLine(const std::wstring&) override {}
};

struct Row {
    std::wstring address, name;
};

MemberTable TableOf(const std::vector<Row>& rows) {
    MemberTable table;
    NoList list;
    // With no given name or surname, the row's name is the display name as it stands.
    for (const auto& r : rows) table.AddListEntry(r.name, L"", L"", r.address, list);
    return table;
}

using orvtest::ClipboardAnsi;
using orvtest::ClipboardText;
using orvtest::FileBytes;
using orvtest::FilesIn;
using orvtest::WriteBytes;

class ListOutput : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, owner_);
        const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
        dir_ = orvtest::ScratchDir(L"list_output_" + sim::Widen(test));
    }

    // Save List with the Save As dialog answered by plan: what the dialogs showed, and every
    // other box that came up.
    struct Saved {
        std::vector<orvtest::SaveAsSeen> dialogs;
        std::vector<std::wstring> boxes;
    };
    Saved Save(const MemberTable& table, orvalis::CommonDialog& dlg, std::vector<orvtest::SaveAsStep> plan) {
        orvtest::SaveAsDriver driver(std::move(plan));
        orvalis::SaveList(owner_, table, dlg);
        return {driver.Dialogs(), driver.Boxes()};
    }

    orvtest::OwnerWindow window_{L"Output test owner"};
    HWND owner_ = window_.hwnd();
    std::wstring dir_;
};

// The machine's code page decides the file's bytes; these rows are written for Western
// European (1252), which Wine and the users' machines here use.
TEST_F(ListOutput, ClipboardAndFileHoldTheSameLinesExactly) {
    ASSERT_EQ(1252u, GetACP());
    struct Case {
        const char* label;
        std::vector<Row> rows;
        std::wstring text;
        std::string file;
    } cases[] = {
        {"one member, seven and seven", {{L"a@b.org", L"Ann Lee"}}, L"a@b.org Ann Lee\r\n", "a@b.org Ann Lee\r\n"},
        {"empty name", {{L"a@b.org", L""}}, L"a@b.org \r\n", "a@b.org \r\n"},
        {"blanks kept as they stand", {{L" a@b.org", L"  Ann  "}}, L" a@b.org   Ann  \r\n", " a@b.org   Ann  \r\n"},
        {"control characters become blanks", {{L"a@b.org", L"Ann\r\nLee\tX"}, {L"c@d.org", L"Bo"}},
         L"a@b.org Ann  Lee X\r\nc@d.org Bo\r\n", "a@b.org Ann  Lee X\r\nc@d.org Bo\r\n"},
        {"code page character", {{L"z@b.org", L"Zo\u00EB"}}, L"z@b.org Zo\u00EB\r\n", "z@b.org Zo\xEB\r\n"},
        {"outside the code page", {{L"d@b.org", L"\u0394elta \u4E2D"}}, L"d@b.org \u0394elta \u4E2D\r\n", "d@b.org ?elta ?\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const MemberTable table = TableOf(c.rows);
        orvalis::CopyToClipboard(owner_, table);
        EXPECT_EQ(c.text, ClipboardText());
        EXPECT_EQ(c.file, ClipboardAnsi());  // what an ANSI reader of the clipboard gets

        orvalis::CommonDialog dlg(owner_);
        const std::wstring path = dir_ + L"\\list.txt";
        DeleteFileW(path.c_str());
        const Saved saved = Save(table, dlg, {{true, path}});
        EXPECT_EQ(c.file, FileBytes(path));
        EXPECT_EQ(std::vector<std::wstring>{L"list.txt"}, FilesIn(dir_));
        EXPECT_TRUE(saved.boxes.empty()) << saved.boxes[0];
    }
}

TEST_F(ListOutput, FullTableComesOutInRowOrder) {
    std::vector<Row> rows;
    std::wstring expected;
    for (int i = 0; i < MemberTable::kRows; ++i) {
        wchar_t address[32], name[32];
        wsprintfW(address, L"m%04d@example.org", i);
        wsprintfW(name, L"Member %d", MemberTable::kRows - i);
        rows.push_back({address, name});
        expected += std::wstring(address) + L" " + name + L"\r\n";
    }
    const MemberTable table = TableOf(rows);
    ASSERT_EQ(MemberTable::kRows, table.memberCount());

    orvalis::CopyToClipboard(owner_, table);
    EXPECT_EQ(expected, ClipboardText());
    orvalis::CommonDialog dlg(owner_);
    Save(table, dlg, {{true, dir_ + L"\\full.txt"}});
    EXPECT_EQ(std::string(expected.begin(), expected.end()), FileBytes(dir_ + L"\\full.txt"));
}

TEST_F(ListOutput, EmptyTableLeavesClipboardAndFolderAlone) {
    ASSERT_TRUE(orvtest::SetClipboardText(owner_, L"held before"));
    const MemberTable empty;
    orvalis::CopyToClipboard(owner_, empty);
    EXPECT_EQ(L"held before", ClipboardText());

    orvalis::CommonDialog dlg(owner_);
    EXPECT_TRUE(Save(empty, dlg, {{true, dir_ + L"\\never.txt"}}).dialogs.empty());
    EXPECT_TRUE(FilesIn(dir_).empty());
    EXPECT_EQ(0, dlg.Flags);
}

TEST_F(ListOutput, SaveAsDialogOpensWithTextFilesAndTheLastFileName) {
    wchar_t cwd[MAX_PATH];
    SetCurrentDirectoryW(orvtest::BuildPath(L"").c_str());
    GetCurrentDirectoryW(MAX_PATH, cwd);
    const MemberTable table = TableOf({{L"a@b.org", L"Ann Lee"}});
    orvalis::CommonDialog dlg(owner_);
    // Typed without an extension while "Text Files (*.txt)" is selected: kept as typed.
    const Saved first = Save(table, dlg, {{true, dir_ + L"\\plain"}});
    EXPECT_EQ("a@b.org Ann Lee\r\n", FileBytes(dir_ + L"\\plain"));
    EXPECT_EQ(std::vector<std::wstring>{L"plain"}, FilesIn(dir_));
    EXPECT_EQ(dir_ + L"\\plain", dlg.FileName);
    EXPECT_EQ(OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_NOREADONLYRETURN, dlg.Flags);  // 32778
    EXPECT_TRUE(dlg.CancelError);
    wchar_t after[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, after);
    EXPECT_STREQ(cwd, after);

    const Saved second = Save(table, dlg, {{false, L""}});
    ASSERT_EQ(1u, first.dialogs.size());
    ASSERT_EQ(1u, second.dialogs.size());
    for (const auto& seen : {first.dialogs[0], second.dialogs[0]}) {
        EXPECT_EQ(L"Save As", seen.title);
        EXPECT_EQ(L"Text Files (*.txt)", seen.fileType);
        EXPECT_EQ((std::vector<std::wstring>{L"All Files (*.*)", L"Text Files (*.txt)"}), seen.fileTypes);
    }
    EXPECT_EQ(L"", first.dialogs[0].fileName);
    EXPECT_EQ(L"plain", second.dialogs[0].fileName);
    // The second dialog was cancelled: nothing said, nothing written, the name kept.
    EXPECT_TRUE(second.boxes.empty());
    EXPECT_EQ(std::vector<std::wstring>{L"plain"}, FilesIn(dir_));
    EXPECT_EQ(dir_ + L"\\plain", dlg.FileName);
}

TEST_F(ListOutput, OverwriteIsConfirmedThenReplacesTheWholeFile) {
    const std::wstring path = dir_ + L"\\list.txt";
    const std::string old = "old contents, much longer than the new list\r\nsecond old line\r\n";
    const MemberTable table = TableOf({{L"a@b.org", L"Ann Lee"}});
    struct Case {
        const char* label;
        bool confirm;
        std::string expected;
    } cases[] = {{"confirmed", true, "a@b.org Ann Lee\r\n"}, {"declined", false, old}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        WriteBytes(path, old);
        orvalis::CommonDialog dlg(owner_);
        const Saved saved = Save(table, dlg, {{true, path, c.confirm}});
        EXPECT_EQ(c.expected, FileBytes(path));
        ASSERT_EQ(1u, saved.boxes.size());  // the question, and nothing from the handler
        EXPECT_NE(std::wstring::npos, saved.boxes[0].find(L"replace")) << saved.boxes[0];
        EXPECT_EQ(std::vector<std::wstring>{L"list.txt"}, FilesIn(dir_));
    }
}

// A save that can't be done says why, once, and leaves no trace: an existing file keeps its
// contents and no temporary file is left in the folder.
TEST_F(ListOutput, FailedSaveReportsOnceAndChangesNothing) {
    const MemberTable table = TableOf({{L"a@b.org", L"Ann Lee"}});
    const std::string old = "old list\r\n";
    const std::wstring target = dir_ + L"\\list.txt";
    struct Case {
        const char* label;
        std::wstring path;
        bool readOnly;
        bool heldOpen;
        const wchar_t* reason;
    } cases[] = {
        {"missing folder", dir_ + L"\\missing\\list.txt", false, false, L"Error 0x80070003: Path not found."},
        {"read-only file", target, true, false, L"Error 0x80070005: Access denied."},
        // Windows says "sharing violation"
        {"file held open elsewhere", target, false, true, L"Error 0x80070005: Access denied."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        WriteBytes(target, old);
        if (c.readOnly) SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
        HANDLE held = c.heldOpen ? CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                                 : INVALID_HANDLE_VALUE;
        bool written;
        std::vector<std::wstring> boxes;
        {
            orvtest::DialogWatcher watcher;
            written = orvalis::WriteListFile(owner_, c.path, table);
            boxes = watcher.Seen();
        }
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        EXPECT_FALSE(written);
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(L"Orvalis Address Book Utility|The list could not be saved as\r\n" + c.path + L"\r\n\r\n" + c.reason, boxes[0]);
        EXPECT_EQ(old, FileBytes(target));
        EXPECT_EQ(std::vector<std::wstring>{L"list.txt"}, FilesIn(dir_));
    }
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

std::wstring SaveFailedBox(const std::wstring& path, const std::wstring& reason) {
    return L"Orvalis Address Book Utility|The list could not be saved as\r\n" + path + L"\r\n\r\n" + reason;
}

MemberTable FullTable() {
    std::vector<Row> rows;
    for (int i = 0; i < MemberTable::kRows; ++i) {
        wchar_t address[32];
        wsprintfW(address, L"member%04d@example.org", i);
        rows.push_back({address, L"A Member"});
    }
    return TableOf(rows);
}

// A 64 KiB file system (tests/wine/full_disk.sh) fills up long before the 8001 lines are
// written: one box, the old list as it was, and no temporary file left behind.
TEST_F(ListOutput, DiskThatFillsUpKeepsTheOldFileAndLeavesNoTemporary) {
    const std::wstring fs = orvtest::BuildPath(L"full-disk");
    const std::wstring dir = fs + L"\\save";
    if (GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const std::string reason = FileBytes(fs + L".unavailable");
        GTEST_SKIP() << (reason.empty() ? "the 64 KiB file system is not mounted: run this through ctest" : reason);
    }
    for (const auto& name : FilesIn(dir)) DeleteFileW((dir + L"\\" + name).c_str());
    const std::wstring path = dir + L"\\list.txt";
    const std::string old = "old list\r\n";
    WriteBytes(path, old);
    const MemberTable table = FullTable();
    orvtest::DialogWatcher watcher;
    EXPECT_FALSE(orvalis::WriteListFile(owner_, path, table));
    EXPECT_EQ(std::vector<std::wstring>{SaveFailedBox(path, L"Error 0x80070070: Disk full.")}, watcher.Seen());
    EXPECT_EQ(old, FileBytes(path));
    EXPECT_EQ(std::vector<std::wstring>{L"list.txt"}, FilesIn(dir));
}

// Another program holds the list file: open for writing with only reading shared, or with a
// byte-range lock over the whole file. The save must not go around it.
TEST_F(ListOutput, FileHeldByAnotherProgramKeepsItsContents) {
    const std::wstring path = dir_ + L"\\list.txt";
    const std::string old = "old list\r\n";
    struct Case {
        const char* label;
        const wchar_t* mode;
    } cases[] = {{"opened without sharing write", L"share"}, {"byte-range lock", L"lock"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        WriteBytes(path, old);
        const std::wstring readyName = L"OrvalisHoldReady" + std::wstring(c.mode), releaseName = L"OrvalisHoldRelease" + std::wstring(c.mode);
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
        HANDLE release = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring cmd = L"\"" + orvtest::BuildPath(L"tests\\wine\\HoldFile.exe") + L"\" \"" + path + L"\" " + c.mode + L" " +
                           readyName + L" " + releaseName;
        ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        HANDLE both[] = {ready, pi.hProcess};
        ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, both, FALSE, 20000)) << "the holder did not take the file";
        std::vector<std::wstring> boxes;
        bool written;
        {
            orvtest::DialogWatcher watcher;
            written = orvalis::WriteListFile(owner_, path, TableOf({{L"a@b.org", L"Ann Lee"}}));
            boxes = watcher.Seen();
        }
        SetEvent(release);
        WaitForSingleObject(pi.hProcess, 20000);
        DWORD held = 1;
        GetExitCodeProcess(pi.hProcess, &held);
        for (HANDLE h : {pi.hThread, pi.hProcess, ready, release}) CloseHandle(h);
        EXPECT_EQ(0u, held);
        EXPECT_FALSE(written);
        EXPECT_EQ(std::vector<std::wstring>{SaveFailedBox(path, L"Error 0x80070005: Access denied.")}, boxes);
        EXPECT_EQ(old, FileBytes(path));
        EXPECT_EQ(std::vector<std::wstring>{L"list.txt"}, FilesIn(dir_));
    }
}

// Folders nested deeper than MAX_PATH: written directly, the list lands at exactly the path
// given; typed in the Save As dialog, the save ends with one box (the dialog can't hold such
// a path) and writes nowhere, a cut path included.
TEST_F(ListOutput, PathLongerThanMaxPathIsWrittenWholeOrNotAtAll) {
    std::wstring folder = dir_;
    std::vector<std::wstring> levels{dir_};
    for (wchar_t c = L'a'; c < L'f'; ++c) {
        folder += L"\\" + std::wstring(60, c);
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr)) << GetLastError();
        levels.push_back(folder);
    }
    const std::wstring direct = folder + L"\\direct.txt", typed = folder + L"\\typed.txt";
    ASSERT_GT(direct.size(), static_cast<size_t>(MAX_PATH));
    const MemberTable table = TableOf({{L"a@b.org", L"Ann Lee"}});
    {
        orvtest::DialogWatcher watcher;
        EXPECT_TRUE(orvalis::WriteListFile(owner_, direct, table));
        EXPECT_TRUE(watcher.Seen().empty()) << watcher.Seen()[0];
    }
    EXPECT_EQ("a@b.org Ann Lee\r\n", FileBytes(L"\\\\?\\" + direct));

    // The dialog can't hold the path: the save ends with one box and writes nothing.
    orvalis::CommonDialog dlg(owner_);
    const Saved saved = Save(table, dlg, {{true, typed}});
    EXPECT_EQ(std::vector<std::wstring>{L"Orvalis Address Book Utility|The list could not be saved.\r\n\r\n"
                                        L"Error 0x800700CE: The file name is too long."},
              saved.boxes);
    EXPECT_EQ(L"", dlg.FileName);
    EXPECT_EQ(std::vector<std::wstring>{L"direct.txt"}, FilesIn(L"\\\\?\\" + folder));
    for (size_t i = 0; i + 1 < levels.size(); ++i)
        EXPECT_EQ(std::vector<std::wstring>{levels[i + 1].substr(levels[i].size() + 1)}, FilesIn(L"\\\\?\\" + levels[i]));
    // The folders are deeper than the next run's clean-up reaches.
    DeleteFileW((L"\\\\?\\" + direct).c_str());
    for (size_t i = levels.size() - 1; i > 0; --i) RemoveDirectoryW((L"\\\\?\\" + levels[i]).c_str());
}

// Another program's hold on the clipboard, from a thread of its own.
struct HoldClipboard {
    HANDLE opened, done;
    static DWORD WINAPI Run(void* p) {
        auto* h = static_cast<HoldClipboard*>(p);
        BOOL ok = OpenClipboard(nullptr);
        SetEvent(h->opened);
        WaitForSingleObject(h->done, 10000);
        if (ok) CloseClipboard();
        return ok;
    }
};

// Windows' dialog refuses a read-only file itself; Wine's returns it, and the save refuses it.
TEST_F(ListOutput, ReadOnlyFileChosenInTheDialogKeepsItsContents) {
    const std::wstring path = dir_ + L"\\locked.txt";
    WriteBytes(path, "old list\r\n");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    orvalis::CommonDialog dlg(owner_);
    const Saved saved = Save(TableOf({{L"a@b.org", L"Ann Lee"}}), dlg, {{true, path}});
    EXPECT_EQ(FILE_ATTRIBUTE_READONLY, GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ("old list\r\n", FileBytes(path));
    EXPECT_EQ(std::vector<std::wstring>{L"locked.txt"}, FilesIn(dir_));
    const std::wstring ours = L"Orvalis Address Book Utility|The list could not be saved as\r\n" + path + L"\r\n\r\nError 0x80070005: Access denied.";
    if (orvtest::OnWine()) {
        EXPECT_EQ(path, dlg.FileName) << "Wine's dialog hands the read-only file back";
        ASSERT_FALSE(saved.boxes.empty());
        EXPECT_EQ(ours, saved.boxes.back()) << "after the overwrite question, if any";
        EXPECT_EQ(1, std::count(saved.boxes.begin(), saved.boxes.end(), ours));
    } else {
        EXPECT_EQ(0, std::count(saved.boxes.begin(), saved.boxes.end(), ours)) << "the dialog itself refused the file";
    }
}

TEST_F(ListOutput, ClipboardHeldElsewhereIsReportedOnce) {
    ASSERT_TRUE(orvtest::SetClipboardText(owner_, L"held before"));
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HoldClipboard holder{opened, done};
    HANDLE thread = CreateThread(nullptr, 0, &HoldClipboard::Run, &holder, 0, nullptr);
    // Opening the clipboard may call on this thread's windows: keep them answering.
    ASSERT_TRUE(orvtest::WaitFor([&] { return WaitForSingleObject(opened, 0) == WAIT_OBJECT_0; }));
    std::vector<std::wstring> boxes;
    {
        orvtest::DialogWatcher watcher;
        orvalis::CopyToClipboard(owner_, TableOf({{L"a@b.org", L"Ann Lee"}}));
        boxes = watcher.Seen();
    }
    SetEvent(done);
    WaitForSingleObject(thread, 5000);
    DWORD held = 0;
    GetExitCodeThread(thread, &held);
    CloseHandle(thread);
    CloseHandle(opened);
    CloseHandle(done);
    ASSERT_TRUE(held);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(0u, boxes[0].find(L"Orvalis Address Book Utility|The list could not be copied to the clipboard.\r\n\r\n")) << boxes[0];
    EXPECT_EQ(L"held before", ClipboardText());
}

// What the Help button hands to WinHelp, caught where the call leaves the add-in.
struct HelpCall {
    HWND owner;
    std::wstring file;
    UINT command;
    ULONG_PTR data;
};
std::vector<HelpCall> helpCalls;
BOOL WINAPI RecordHelpCall(HWND owner, LPCWSTR file, UINT command, ULONG_PTR data) {
    helpCalls.push_back({owner, file ? file : L"<null>", command, data});
    return TRUE;
}

TEST_F(ListOutput, HelpPassesTheHelpFileAndCommand15AtEachClick) {
    orvalis::CommonDialog dlg(owner_);
    dlg.winHelp = &RecordHelpCall;
    helpCalls.clear();
    orvalis::ShowHelpFile(owner_, dlg);
    dlg.HelpFile = L"other.hlp";
    dlg.HelpCommand = 1;
    orvalis::ShowHelpFile(owner_, dlg);
    ASSERT_EQ(2u, helpCalls.size());
    for (const auto& call : helpCalls) {
        EXPECT_EQ(owner_, call.owner);
        EXPECT_EQ(L"orvalis.hlp", call.file);
        EXPECT_EQ(15u, call.command);
        EXPECT_EQ(0u, call.data);
    }
}

// Through the real WinHelp: the viewer window is ours, so no viewer starts, and the handler
// stays quiet. Wine drops command 15 without forwarding it (what the button passes is checked
// above, where the call leaves the add-in); Windows hands it to the viewer.
TEST_F(ListOutput, HelpThroughWinHelpIsQuiet) {
    orvtest::WinHelpCatcher viewer;
    orvtest::DialogWatcher watcher;
    orvalis::CommonDialog dlg(owner_);
    orvalis::ShowHelpFile(owner_, dlg);
    orvtest::Pump(200);
    EXPECT_TRUE(watcher.Seen().empty());
    ASSERT_EQ(orvtest::OnWine() ? 0u : 1u, viewer.Requests().size());
    if (orvtest::OnWine()) return;
    EXPECT_EQ(15u, viewer.Requests()[0].command);
    EXPECT_EQ("orvalis.hlp", viewer.Requests()[0].file);
}

}  // namespace
