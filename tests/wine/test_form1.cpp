// The builder window's life against the stand-ins: load and logon, close and disconnection,
// failed loads and unloads, reopening, the report of left-out entries and the mouse pointer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Global.h"
#include "form1.h"
#include "form1_layout.h"
#include "clipboard_files.h"
#include "seam.h"
#include "sim_client.h"
#include "test_form1_helpers.h"
#include "wine_test.h"

namespace {

using orvtest::Seam;
using orvtest::ClipboardText;
using form1test::Count;

const wchar_t kLogonLine[] = L"Session.Logon(ShowDialog:=BOOL False, NewSession:=BOOL False)";
const wchar_t kVersionLine[] = L"Orvalise Utility version 1.3.1";
const wchar_t kBoxTitle[] = L"Orvalis Address Book Utility|";

// Ann and Bob in the address book; the first dialog picks both, every later one is cancelled.
// The host lists ours between an add-in whose description differs in letter case and a
// second one described exactly like ours.
const wchar_t kScenario[] = LR"({
  "cdo": {
    "directory": [
      {"id": "ann", "name": "Ann Lee", "type": "SMTP", "address": "ann@example.com"},
      {"id": "bob", "name": "Bob Lee", "type": "SMTP", "address": "bob@example.com"},
      {"id": "eve", "name": "Eve Ray", "type": "EX", "address": "/o=Example/cn=eve"}
    ],
    "picks": [["ann", "bob"]]
  },
  "host": {
    "addins": [
      {"progId": "Other.Case", "description": "Orvalis outlook DL utility", "connected": true},
      {"progId": "Orvalis.Ours", "description": "Orvalis Outlook DL Utility", "connected": true},
      {"progId": "Orvalis.Twin", "description": "Orvalis Outlook DL Utility", "connected": true}
    ]
  }
})";

std::wstring WithFaults(const std::wstring& faults, const wchar_t* picks = LR"([["ann", "bob"]])") {
    std::wstring s = kScenario;
    s.replace(s.find(LR"([["ann", "bob"]])"), wcslen(LR"([["ann", "bob"]])"), picks);
    return s.substr(0, s.rfind(L'}')) + L", \"faults\": [" + faults + L"]}";
}

// The scenario's three add-ins, "1" connected, "0" not. (The prefix may list the add-in's own
// registry entry too, after them.)
std::wstring ConnectedFlags() {
    std::wstring flags;
    for (const auto& a : simclient::HostAddIns())
        if (a.progId == L"Other.Case" || a.progId == L"Orvalis.Ours" || a.progId == L"Orvalis.Twin")
            flags += a.connected ? L'1' : L'0';
    return flags;
}

int ListCount(Form1& form) { return static_cast<int>(SendMessageW(Seam::List1(form), LB_GETCOUNT, 0, 0)); }

void Click(Form1& form, int id) { SendMessageW(Seam::Control(form, id), BM_CLICK, 0, 0); }

// What the close box does.
void CloseBox(Form1& form) { SendMessageW(form.hWnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }

// Every stand-in object is gone but the application that module Global keeps for good, and
// the last selection that the window object keeps across closes.
std::wstring ExpectedLeftAlive(Form1& form) {
    return std::wstring(L"Application=1\n") + (Seam::Builder(form).myRecips() ? L"Recipients=1\n" : L"");
}

// Most tests load the window hidden, as the shell does at the host's start-up: the window
// works the same, and a shown window takes seconds to close on an X server without a
// window manager.
class Form1Life : public ::testing::Test {
protected:
    void SetUp() override {
        simclient::LoadScenario(kScenario);
        simclient::ClearLog();
    }
    void TearDown() override {
        try {
            form.Unload();
        } catch (const orv::Error&) {
        }
        orvtest::Pump(20);
        simclient::LoadScenario(L"{}");
    }
    Form1& form = Global::TheForm1();
    orvtest::DialogWatcher boxes;
};

TEST_F(Form1Life, HandleRequestLoadsHiddenAndShowLaterLogsOnNoMore) {
    HWND w = form.hWnd();
    ASSERT_TRUE(form.IsLoaded());
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_EQ(kVersionLine, orvtest::WindowText(Seam::Control(form, form1::kLblVersion)));
    EXPECT_EQ(std::wstring(L"CreateInstance MAPI.Session\n") + kLogonLine + L"\n", simclient::Log());
    EXPECT_EQ(1, simclient::LiveObjects(L"Session"));

    form.Show();
    form.Show();
    EXPECT_EQ(w, form.hWnd()) << "the same window, shown";
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(nullptr, GetWindow(w, GW_OWNER));
    EXPECT_EQ(1, Count(simclient::Log(), L"Session.Logon(")) << simclient::Log();
    EXPECT_EQ(Seam::List1(form), GetFocus()) << "List1 has the focus";
    EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(Form1Life, CloseBoxLogsOffReleasesAndDisconnectsTheFirstExactMatch) {
    form.Show();
    HWND w = form.hWnd();
    simclient::ClearLog();
    CloseBox(form);
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(nullptr, Seam::Session(form));
    std::wstring log = simclient::Log();
    size_t logoff = log.find(L"Session.Logoff()\n"), connect = log.find(L"COMAddIn[Orvalis.Ours].Connect() = BOOL False");
    EXPECT_NE(std::wstring::npos, logoff) << log;
    EXPECT_NE(std::wstring::npos, connect) << log;
    EXPECT_LT(logoff, connect) << "log off first, then leave the host";
    EXPECT_EQ(1, Count(log, L".Connect() = BOOL False")) << log;
    EXPECT_EQ(L"101", ConnectedFlags()) << "letter case differs: untouched; the second match: untouched";
    EXPECT_EQ(ExpectedLeftAlive(form), simclient::LiveReport());
    EXPECT_TRUE(boxes.Seen().empty()) << "closing asks nothing";
}

TEST_F(Form1Life, UnloadWhenNotLoadedDoesNothing) {
    ASSERT_FALSE(form.IsLoaded());
    form.Unload();
    EXPECT_EQ(L"", simclient::Log());
    EXPECT_EQ(L"111", ConnectedFlags());
}

// What the message box of a failed load saw of the window while it was up.
struct AtTheBox {
    int boxes = 0;
    std::wstring versionLine;
    bool sessionHeld = false;
    long liveSessions = 0;
    static void Look(HWND, void* self) {
        auto* at = static_cast<AtTheBox*>(self);
        Form1& form = Global::TheForm1();
        ++at->boxes;
        at->versionLine = form.IsLoaded() ? orvtest::WindowText(Seam::Control(form, form1::kLblVersion)) : L"<not loaded>";
        at->sessionHeld = Seam::Session(form) != nullptr;
        at->liveSessions = simclient::LiveObjects(L"Session");
    }
};

// Takes the ProgID out of the registry for as long as it lives.
class ProgIdRemoved {
public:
    ProgIdRemoved() {
        wchar_t clsid[64] = L"";
        LONG size = sizeof clsid;
        RegQueryValueW(HKEY_CLASSES_ROOT, L"MAPI.Session\\CLSID", clsid, &size);
        clsid_ = clsid;
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"MAPI.Session");
    }
    ~ProgIdRemoved() {
        RegSetValueW(HKEY_CLASSES_ROOT, L"MAPI.Session\\CLSID", REG_SZ, clsid_.c_str(),
                     static_cast<DWORD>(clsid_.size() * sizeof(wchar_t)));
    }
    bool hadClsid() const { return clsid_.size() == 38; }

private:
    std::wstring clsid_;
};

TEST_F(Form1Life, FailedLoadIsShownOnceReachesTheCallerAndLeavesNothingLoaded) {
    struct Row {
        const char* label;
        const wchar_t* fault;
        bool removeProgId;
        HRESULT hr;
        bool sessionAtBox;
    } rows[] = {
        {"CDO class fails to create", LR"({"object":"Session","member":"CreateInstance","hresult":"0x80040154"})", false,
         static_cast<HRESULT>(0x80040154), false},
        {"CDO ProgID not registered", L"", true, orv::RuntimeError(429), false},
        {"Logon fails", LR"({"object":"Session","member":"Logon","hresult":"0x80040111","description":"Logon failed."})",
         false, static_cast<HRESULT>(0x80040111), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        simclient::LoadScenario(WithFaults(row.fault));
        simclient::ClearLog();
        boxes.Clear();
        AtTheBox at;
        std::wstring description;
        {
            std::unique_ptr<ProgIdRemoved> removed(row.removeProgId ? new ProgIdRemoved : nullptr);
            if (removed) {
                ASSERT_TRUE(removed->hadClsid());
            }
            form1test::BoxSpy spy(&AtTheBox::Look, &at);
            try {
                form.Show();
                ADD_FAILURE() << "the failure must reach the caller";
            } catch (const orv::Error& e) {
                EXPECT_EQ(row.hr, e.hr());
                description = e.description();
            }
        }
        auto seen = boxes.Seen();
        ASSERT_EQ(1u, seen.size());
        EXPECT_EQ(0u, seen[0].find(kBoxTitle)) << seen[0];
        EXPECT_NE(std::wstring::npos, seen[0].find(description)) << "the box gives the reason: " << seen[0];
        EXPECT_EQ(1, at.boxes);
        EXPECT_EQ(kVersionLine, at.versionLine) << "the version line was set before the session";
        EXPECT_EQ(row.sessionAtBox, at.sessionHeld);
        EXPECT_EQ(row.sessionAtBox ? 1 : 0, at.liveSessions);

        EXPECT_FALSE(form.IsLoaded()) << "a failed load leaves the window unloaded";
        EXPECT_EQ(0, simclient::LiveObjects(L"Session")) << "and no session that never logged on";
        EXPECT_EQ(0, Count(simclient::Log(), L"Connect()")) << "a failed load doesn't disconnect";
        EXPECT_EQ(L"111", ConnectedFlags());
    }
    // With the address book back, the next request loads the window.
    simclient::LoadScenario(kScenario);
    boxes.Clear();
    EXPECT_NO_THROW(form.hWnd());
    EXPECT_TRUE(form.IsLoaded());
    EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(Form1Life, FailedUnloadStepsStillCloseTheWindow) {
    struct Row {
        const char* label;
        const wchar_t* faults;
        size_t boxes;
        const wchar_t* connectedAfter;
    } rows[] = {
        {"Logoff fails", LR"({"object":"Session","member":"Logoff","hresult":"0x80004005"})", 0, L"101"},
        {"disconnection fails", LR"({"object":"Application","member":"COMAddIns","hresult":"0x80004005","description":"No add-ins."})",
         1, L"111"},
        {"both fail",
         LR"({"object":"Session","member":"Logoff","hresult":"0x80004005"},)"
         LR"({"object":"COMAddIn","member":"Connect","hresult":"0x80004005","description":"No add-ins."})",
         1, L"111"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        simclient::LoadScenario(WithFaults(row.faults));
        form.hWnd();
        boxes.Clear();
        simclient::ClearLog();
        CloseBox(form);
        EXPECT_FALSE(form.IsLoaded());
        EXPECT_EQ(nullptr, Seam::Session(form));
        EXPECT_EQ(0, simclient::LiveObjects(L"Session")) << "the session is released all the same";
        EXPECT_EQ(1, Count(simclient::Log(), L"Application.COMAddIns(")) << "DisconnectSelf ran: " << simclient::Log();
        EXPECT_EQ(row.connectedAfter, ConnectedFlags());
        auto seen = boxes.Seen();
        ASSERT_EQ(row.boxes, seen.size());
        if (row.boxes) {
            EXPECT_EQ(0u, seen[0].find(kBoxTitle)) << seen[0];
            EXPECT_NE(std::wstring::npos, seen[0].find(L"No add-ins.")) << seen[0];
        }
    }
}

TEST_F(Form1Life, UnloadByTheShellHandsADisconnectionFailureBack) {
    simclient::LoadScenario(WithFaults(LR"({"object":"Application","member":"COMAddIns","hresult":"0x80004005"})"));
    form.hWnd();
    try {
        form.Unload();
        ADD_FAILURE() << "the failure must reach the shell";
    } catch (const orv::Error& e) {
        EXPECT_EQ(static_cast<HRESULT>(0x80004005), e.hr());
    }
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(0, simclient::LiveObjects(L"Session"));
    EXPECT_TRUE(boxes.Seen().empty()) << "the shell reports it, not the window";
}

TEST_F(Form1Life, ReopenedWindowHasAnEmptyListButCopiesThePreviousList) {
    form.Show();
    Click(form, form1::kCmdAdd);
    ASSERT_EQ(2, ListCount(form));
    CloseBox(form);
    ASSERT_FALSE(form.IsLoaded());

    simclient::ClearLog();
    form.Show();
    EXPECT_EQ(0, ListCount(form)) << "new controls, empty list box";
    EXPECT_EQ(kVersionLine, orvtest::WindowText(Seam::Control(form, form1::kLblVersion)));
    EXPECT_EQ(1, Count(simclient::Log(), kLogonLine)) << "a new session, logged on anew";
    ASSERT_TRUE(orvtest::SetClipboardText(nullptr, L"before"));
    Click(form, form1::kCmdClipboard);
    EXPECT_EQ(L"ann@example.com Ann Lee\r\nbob@example.com Bob Lee\r\n", ClipboardText());
    EXPECT_EQ(0, ListCount(form)) << "copying doesn't refill the list box";
}

// Who owned each message box, seen while it was up.
struct Owners {
    std::vector<HWND> owners;
    static void Look(HWND box, void* self) { static_cast<Owners*>(self)->owners.push_back(GetWindow(box, GW_OWNER)); }
};

TEST_F(Form1Life, LeftOutEntriesAreReportedInOneBoxAfterTheRun) {
    struct Row {
        const char* label;
        const wchar_t* faults;
        const wchar_t* picks;
        orvalis::LeftOut leftOut;
        int lines;
    } rows[] = {
        {"clean run", L"", LR"([["ann", "bob"]])", {}, 2},
        {"one entry unreadable", LR"({"object":"AddressEntry","id":"bob","member":"Type","hresult":"0x80004005"})",
         LR"([["ann", "bob"]])", {1, 0, 0}, 1},
        {"one entry without address", L"", LR"([["ann", "eve"]])", {0, 0, 1}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        simclient::LoadScenario(WithFaults(row.faults, row.picks));
        form.hWnd();
        boxes.Clear();
        Owners owners;
        {
            form1test::BoxSpy spy(&Owners::Look, &owners);
            Click(form, form1::kCmdAdd);
        }
        EXPECT_EQ(row.lines, ListCount(form));
        auto seen = boxes.Seen();
        if (row.leftOut.total() == 0) {
            EXPECT_TRUE(seen.empty()) << (seen.empty() ? L"" : seen[0]).c_str();
            continue;
        }
        ASSERT_EQ(1u, seen.size());
        EXPECT_EQ(kBoxTitle + orvalis::DescribeLeftOut(row.leftOut), seen[0]);
        ASSERT_EQ(1u, owners.owners.size());
        EXPECT_EQ(form.hWnd(), owners.owners[0]) << "owned by the window";
    }
}

TEST_F(Form1Life, PointerIsBackToDefaultAfterARunThatFailed) {
    struct Row {
        const char* label;
        const wchar_t* faults;
    } rows[] = {
        {"address book fails", LR"({"object":"Session","member":"AddressBook","hresult":"0x80004005"})"},
        {"selection can't be walked", LR"({"object":"Recipients","member":"_NewEnum","hresult":"0x80004005"})"},
        {"every entry fails", LR"({"object":"AddressEntry","member":"Type","hresult":"0x80004005"})"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        simclient::LoadScenario(WithFaults(row.faults));
        form.hWnd();
        Click(form, form1::kCmdAdd);
        EXPECT_EQ(0, Seam::MousePointer(form));
        SendMessageW(form.hWnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Seam::List1(form)), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), GetCursor());
    }
}

TEST_F(Form1Life, MousePointerDecidesTheCursorOverTheWindow) {
    form.hWnd();
    struct Row {
        int pointer;
        const wchar_t* cursor;
    } rows[] = {{11, IDC_WAIT}, {0, IDC_ARROW}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pointer);
        form.SetMousePointer(row.pointer);
        SetCursor(nullptr);
        SendMessageW(form.hWnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Seam::Control(form, form1::kCmdAdd)),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(LoadCursorW(nullptr, row.cursor), GetCursor());
    }
}

// "Create List" lets waiting messages through once, after the address book: a close or a
// second click waiting there must not break the run.
TEST_F(Form1Life, MessagesWaitingDuringARunAreHandledSafely) {
    struct Row {
        const char* label;
        bool closeWaits;
        bool clickWaits;
        bool loadedAfter;
    } rows[] = {
        {"close waiting", true, false, false},
        {"second click waiting", false, true, true},
        {"both waiting", true, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        simclient::LoadScenario(kScenario);
        HWND w = form.hWnd();
        simclient::ClearLog();
        if (row.clickWaits) PostMessageW(Seam::Control(form, form1::kCmdAdd), BM_CLICK, 0, 0);
        if (row.closeWaits) PostMessageW(w, WM_CLOSE, 0, 0);
        Click(form, form1::kCmdAdd);
        orvtest::Pump(50);
        EXPECT_EQ(row.loadedAfter, form.IsLoaded());
        EXPECT_EQ(1, Count(simclient::Log(), L"Session.AddressBook(")) << "one run only: " << simclient::Log();
        EXPECT_EQ(2, Seam::Builder(form).table().memberCount()) << "the run finished its list";
        if (!row.loadedAfter) {
            EXPECT_EQ(0, simclient::LiveObjects(L"Session")) << simclient::LiveReport();
        }
        EXPECT_TRUE(boxes.Seen().empty());
        form.Unload();
    }
}

TEST_F(Form1Life, CloseReleasesEveryReferenceButTheKeptApplication) {
    form.hWnd();
    Click(form, form1::kCmdAdd);
    Click(form, form1::kCmdClipboard);
    CloseBox(form);
    ASSERT_NE(nullptr, Seam::Builder(form).myRecips()) << "the selection outlives the window";
    EXPECT_EQ(L"Application=1\nRecipients=1\n", simclient::LiveReport());
}

// The host may shut down while the Save As dialog is open: the window unloads under the
// Save List that waits for the dialog, which must come back without harm.
struct UnloadDuringSave {
    static UnloadDuringSave* current;
    HWND dialog = nullptr;
    bool unloaded = false;

    static HWND OpenDialog() {
        auto boxes = desktop::DialogBoxes();
        return boxes.empty() ? nullptr : boxes.back();
    }
    static void CALLBACK Unload(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        current->dialog = OpenDialog();
        try {
            Global::TheForm1().Unload();
        } catch (const orv::Error&) {
        }
        current->unloaded = !Global::TheForm1().IsLoaded();
        // Should the dialog have outlived its owner, nothing waits on it.
        if (HWND left = OpenDialog()) PostMessageW(left, WM_COMMAND, IDCANCEL, 0);
    }
    static void CALLBACK CancelAnything(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        if (HWND left = OpenDialog()) PostMessageW(left, WM_COMMAND, IDCANCEL, 0);
    }
};
UnloadDuringSave* UnloadDuringSave::current = nullptr;

TEST(Form1Shutdown, UnloadWhileTheSaveAsDialogIsOpenEndsTheSaveQuietly) {
    simclient::LoadScenario(kScenario);
    Form1& form = Global::TheForm1();
    form.hWnd();
    Seam::Builder(form).table().Reset();
    Seam::Builder(form).table().AddListEntry(L"Ann Lee", L"", L"", L"ann@example.com", form);
    UnloadDuringSave watch;
    UnloadDuringSave::current = &watch;
    UINT_PTR unload = SetTimer(nullptr, 0, 500, &UnloadDuringSave::Unload);
    UINT_PTR rescue = SetTimer(nullptr, 0, 8000, &UnloadDuringSave::CancelAnything);
    Click(form, form1::kCmdSave);
    KillTimer(nullptr, unload);
    KillTimer(nullptr, rescue);
    EXPECT_NE(nullptr, watch.dialog) << "the Save As dialog was open when the host unloaded the window";
    EXPECT_TRUE(watch.unloaded);
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(0, simclient::LiveObjects(L"Session"));
    EXPECT_EQ(nullptr, UnloadDuringSave::OpenDialog());
    EXPECT_EQ(1, Seam::Builder(form).table().memberCount()) << "the list is still there for the next window";
}

}  // namespace
