// ResetOrvalis.exe run as its own process against the mail-client stand-in: what it removes
// from the command bars kept in the host's state file, which add-ins it disconnects, that it
// quits the client, and the error box it ends in when a step fails.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "clipboard_files.h"
#include "sim_client.h"
#include "utf8.h"
#include "wine_test.h"
#include "winhelp_catcher.h"

namespace {

std::wstring Join(const std::vector<std::wstring>& lines) {
    std::wstring s;
    for (const auto& l : lines) s += l + L"\n";
    return s;
}

struct ResetRun {
    DWORD exitCode = 0;
    std::vector<std::wstring> boxes;  // "title|text" of each message box
    std::vector<std::wstring> log;  // the stand-in's calls in the child
};

// One run of the program in an environment naming the host's state file, the call log and
// the scenario. Every message box of the child is read and answered with OK.
ResetRun RunReset(const std::wstring& dir, DWORD timeoutMs = 60000) {
    ResetRun run;
    std::wstring logPath = dir + L"\\log.txt";
    DeleteFileW(logPath.c_str());

    std::wstring env;
    wchar_t* inherited = GetEnvironmentStringsW();
    for (const wchar_t* p = inherited; *p; p += wcslen(p) + 1)
        if (_wcsnicmp(p, L"ORVALIS_", 8) != 0) env.append(p).push_back(L'\0');
    FreeEnvironmentStringsW(inherited);
    for (const auto& var : {L"ORVALIS_HOST_STATE=" + dir + L"\\state.json", L"ORVALIS_SIM_LOG=" + logPath,
                            L"ORVALIS_SIM_SCENARIO=" + dir + L"\\scenario.json"})
        env.append(var).push_back(L'\0');
    env.push_back(L'\0');

    std::wstring cmd = L"\"" + orvtest::BuildPath(L"Reset\\ResetOrvalis.exe") + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, env.data(),
                        nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << cmd << ": " << GetLastError();
        run.exitCode = static_cast<DWORD>(-2);
        return run;
    }
    std::set<HWND> answered;
    DWORD start = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > timeoutMs) {
            ADD_FAILURE() << "the program did not end within " << timeoutMs << " ms";
            TerminateProcess(pi.hProcess, static_cast<UINT>(-1));
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
        for (HWND box : desktop::DialogBoxes(pi.dwProcessId)) {
            if (!answered.insert(box).second) continue;
            run.boxes.push_back(desktop::BoxText(box));
            desktop::PressButton(box, IDOK);
        }
    }
    GetExitCodeProcess(pi.hProcess, &run.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    run.log = simclient::SplitLines(sim::Widen(orvtest::FileBytes(logPath)));
    return run;
}

std::wstring BoxTexts(const ResetRun& run) {
    std::wstring s;
    for (const auto& b : run.boxes) s += b + L"\n";
    return s;
}

std::vector<std::wstring> LinesWith(const std::vector<std::wstring>& log, const std::wstring& part) {
    std::vector<std::wstring> out;
    for (const auto& l : log)
        if (l.find(part) != std::wstring::npos) out.push_back(l);
    return out;
}

// A layout with the add-in's two controls as its start-up install leaves them, beside the
// client's own controls.
const char kInstalledState[] = R"({"bars":[
 {"name":"Menu Bar","menuBar":true,"controls":[
   {"caption":"&File","controls":[{"caption":"&Open"}]},
   {"caption":"&Tools","controls":[{"caption":"&Address Book..."},{"caption":"&Options..."},
     {"type":1,"caption":"&Orvalis Utility","enabled":true,"helpContextId":1100,"helpFile":"orvalis.hlp",
      "onAction":"!<OrvalisUtility.Addin>"}]},
   {"caption":"&Help","controls":[{"caption":"&About"}]}]},
 {"name":"Standard","controls":[{"caption":"&New"},{"caption":"&Reply"},
   {"type":1,"caption":"Orvalis","enabled":true,"style":3,"tooltipText":"Orvalis DL Utility",
    "helpFile":"orvalis.hlp","helpContextId":1100,"faceId":5,"onAction":"!<OrvalisUtility.Addin>"}]},
 {"name":"Advanced","controls":[{"caption":"&Back"}]}]})";

const wchar_t kInstalledLayoutAfterReset[] =
    L"Menu Bar (menu bar)\n"
    L"  &File\n"
    L"    &Open\n"
    L"  &Tools\n"
    L"    &Address Book...\n"
    L"    &Options...\n"
    L"  &Help\n"
    L"    &About\n"
    L"Standard\n"
    L"  &New\n"
    L"  &Reply\n"
    L"Advanced\n"
    L"  &Back\n";

class Reset : public testing::Test {
protected:
    void SetUp() override {
        dir_ = orvtest::ScratchDir(L"reset_" + sim::Widen(testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", nullptr);
        simclient::LoadScenario(LR"({"host":{}})");
    }

    std::wstring StatePath() const { return dir_ + L"\\state.json"; }
    void Prepare(const std::string& state, const std::string& scenario) {
        if (!state.empty()) orvtest::WriteBytes(StatePath(), state);
        orvtest::WriteBytes(dir_ + L"\\scenario.json", scenario);
    }

    // The bars the state file holds now, as the stand-in lays them out after a restart.
    std::wstring LayoutInStateFile() {
        SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", StatePath().c_str());
        simclient::HostReset();
        std::wstring layout = simclient::HostLayout();
        SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", nullptr);
        simclient::HostReset();
        return layout;
    }

    std::wstring dir_;
};

TEST_F(Reset, RemovesBothControlsOfAStartupInstallAndQuits) {
    // No explorer open at first: the passes can only reach the bars after the Inbox is shown.
    Prepare(kInstalledState, R"({"host":{"explorer":false}})");
    ResetRun run = RunReset(dir_);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(L"", BoxTexts(run));
    EXPECT_EQ(kInstalledLayoutAfterReset, LayoutInStateFile());
    EXPECT_EQ(2u, LinesWith(run.log, L".Delete()").size()) << Join(run.log);
    auto appCalls = LinesWith(run.log, L"Application.");
    ASSERT_FALSE(appCalls.empty()) << Join(run.log);
    EXPECT_EQ(L"Application.Quit()", appCalls.back()) << Join(run.log);
}

// The controls as this build's add-in installs them at the client's start-up, in this process,
// and then the reset program, which is 32-bit for both builds, on the same state file.
TEST_F(Reset, RemovesWhatThisBuildsAddinInstalledAtStartup) {
    orvtest::WinHelpCatcher help;  // the start-up pop-up, without a help viewer
    Prepare("", R"({"host":{}})");
    const std::wstring fresh = LayoutInStateFile();
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", StatePath().c_str());
    simclient::HostReset();
    simclient::HostStartup();
    simclient::HostShutdown();
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", nullptr);
    simclient::HostReset();
    const std::wstring installed = LayoutInStateFile();
    ASSERT_NE(std::wstring::npos, installed.find(L"  Orvalis\n")) << installed;
    ASSERT_NE(std::wstring::npos, installed.find(L"    &Orvalis Utility\n")) << installed;

    ResetRun run = RunReset(dir_);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(L"", BoxTexts(run));
    EXPECT_EQ(fresh, LayoutInStateFile());
}

// The calls the host sees, in the forms its object model expects.
TEST_F(Reset, CallsTheHostInItsOwnForms) {
    Prepare(kInstalledState, R"({"host":{"addins":[{"description":"Orvalis Outlook DL Utility","progId":"Test.Orvalis"}]}})");
    ResetRun run = RunReset(dir_);
    ASSERT_EQ(0u, run.exitCode);
    const struct {
        const char* label;
        const wchar_t* line;
        size_t count;
    } rows[] = {
        {"created by its ProgID", L"CreateInstance Outlook.Application", 1},
        {"MAPI namespace", L"Application.GetNamespace(BSTR \"MAPI\")", 1},
        {"Inbox as a 32-bit code", L"NameSpace.GetDefaultFolder(I4 6)", 1},
        {"Inbox shown", L"Folder[Inbox].Display()", 1},
        {"bar count read once", L"CommandBars.Count()", 1},
        {"Standard fetched for the name and again for its controls", L"CommandBars.Item(I2 2)", 2},
        {"button deleted without the temporary flag", L"Control[11].Delete()", 1},
        {"menu-bar entries counted once", L"Controls[Menu Bar].Count()", 1},
        {"menu item through Controls, the counter by reference", L"Control[3].Controls(BYREF I2 3)", 2},
        {"menu item deleted", L"Control[6].Delete()", 1},
        {"add-in count read once", L"COMAddIns.Count()", 1},
        {"add-in indexed by reference, again for the put", L"COMAddIns.Item(BYREF I2 1)", 2},
        {"add-in switched off", L"COMAddIn[Test.Orvalis].Connect() = BOOL False", 1},
        {"client quit", L"Application.Quit()", 1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.count, LinesWith(run.log, row.line).size()) << row.label << "\n" << Join(run.log);
    EXPECT_EQ(L"CreateInstance Outlook.Application", run.log.front());
}

// Duplicates go, lookalikes stay: each row is one state file and the layout it must leave.
TEST_F(Reset, DeletesExactMatchesOnlyWhereTheAddinPutsThem) {
    const struct {
        const char* label;
        const char* bars;
        const wchar_t* after;
    } rows[] = {
        {"adjacent duplicate buttons",
         R"([{"name":"Menu Bar","menuBar":true,"controls":[]},
             {"name":"Standard","controls":[{"caption":"&New"},{"caption":"Orvalis"},{"caption":"Orvalis"},{"caption":"Orvalis"},{"caption":"Find"}]}])",
         L"Menu Bar (menu bar)\nStandard\n  &New\n  Find\n"},
        {"adjacent duplicate menu items",
         R"([{"name":"Menu Bar","menuBar":true,"controls":[{"caption":"&Tools","controls":[
               {"caption":"&Orvalis Utility"},{"caption":"&Orvalis Utility"},{"caption":"&Options..."},{"caption":"&Orvalis Utility"}]}]}])",
         L"Menu Bar (menu bar)\n  &Tools\n    &Options...\n"},
        {"every bar named Standard and every entry captioned &Tools",
         R"([{"name":"Menu Bar","menuBar":true,"controls":[
               {"caption":"&Tools","controls":[{"caption":"&Orvalis Utility"}]},
               {"caption":"&Tools","controls":[{"caption":"A"},{"caption":"&Orvalis Utility"}]}]},
             {"name":"Standard","controls":[{"caption":"Orvalis"}]},
             {"name":"Standard","controls":[{"caption":"B"},{"caption":"Orvalis"}]}])",
         L"Menu Bar (menu bar)\n  &Tools\n  &Tools\n    A\nStandard\nStandard\n  B\n"},
        {"letter case differs",
         R"([{"name":"Menu Bar","menuBar":true,"controls":[{"caption":"&Tools","controls":[
               {"caption":"&orvalis utility"},{"caption":"&ORVALIS UTILITY"}]}]},
             {"name":"Standard","controls":[{"caption":"orvalis"},{"caption":"ORVALIS"}]},
             {"name":"standard","controls":[{"caption":"Orvalis"}]}])",
         L"Menu Bar (menu bar)\n  &Tools\n    &orvalis utility\n    &ORVALIS UTILITY\n"
         L"Standard\n  orvalis\n  ORVALIS\nstandard\n  Orvalis\n"},
        {"ampersand missing or added, blanks around",
         R"([{"name":"Menu Bar","menuBar":true,"controls":[
               {"caption":"&Tools","controls":[{"caption":"Orvalis Utility"},{"caption":"&Orvalis Utility "}]},
               {"caption":"Tools","controls":[{"caption":"&Orvalis Utility"}]}]},
             {"name":"Standard","controls":[{"caption":"&Orvalis"},{"caption":" Orvalis"}]}])",
         L"Menu Bar (menu bar)\n  &Tools\n    Orvalis Utility\n    &Orvalis Utility \n  Tools\n    &Orvalis Utility\n"
         L"Standard\n  &Orvalis\n   Orvalis\n"},
        {"button on another bar",
         R"([{"name":"Menu Bar","menuBar":true,"controls":[]},
             {"name":"Advanced","controls":[{"caption":"Orvalis"}]}])",
         L"Menu Bar (menu bar)\nAdvanced\n  Orvalis\n"},
        {"button inside a pop-up on Standard",
         R"([{"name":"Menu Bar","menuBar":true,"controls":[]},
             {"name":"Standard","controls":[{"caption":"More","controls":[{"caption":"Orvalis"}]}]}])",
         L"Menu Bar (menu bar)\nStandard\n  More\n    Orvalis\n"},
        {"item in a sub-menu of &Tools",
         R"([{"name":"Menu Bar","menuBar":true,"controls":[{"caption":"&Tools","controls":[
               {"caption":"&Macro","controls":[{"caption":"&Orvalis Utility"}]}]}]}])",
         L"Menu Bar (menu bar)\n  &Tools\n    &Macro\n      &Orvalis Utility\n"},
        {"nothing of ours at all",
         R"([{"name":"Menu Bar","menuBar":true,"controls":[{"caption":"&Tools","controls":[{"caption":"&Options..."}]}]},
             {"name":"Standard","controls":[{"caption":"&New"}]}])",
         L"Menu Bar (menu bar)\n  &Tools\n    &Options...\nStandard\n  &New\n"},
        {"item under another menu-bar entry",
         R"([{"name":"Menu Bar","menuBar":true,"controls":[{"caption":"&Help","controls":[{"caption":"&Orvalis Utility"}]}]}])",
         L"Menu Bar (menu bar)\n  &Help\n    &Orvalis Utility\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        Prepare(std::string(R"({"bars":)") + row.bars + "}", R"({"host":{}})");
        ResetRun run = RunReset(dir_);
        EXPECT_EQ(0u, run.exitCode);
        EXPECT_EQ(L"", BoxTexts(run));
        EXPECT_EQ(row.after, LayoutInStateFile());
        EXPECT_EQ(1u, LinesWith(run.log, L"Application.Quit()").size()) << Join(run.log);
    }
}

TEST_F(Reset, SwitchesOffEveryAddinWithTheExactDescriptionOnly) {
    const std::wstring scenario = LR"({"host":{"addins":[
        {"description":"Orvalis Outlook DL Utility","progId":"Test.Resident","connected":true},
        {"description":"Fax Cover","progId":"Test.Fax","connected":true},
        {"description":"Orvalis Outlook DL Utility","progId":"Test.Idle"},
        {"description":"orvalis outlook dl utility","progId":"Test.Lower","connected":true},
        {"description":"Orvalis Outlook DL Utility ","progId":"Test.Blank"}]}})";
    Prepare("", std::string(scenario.begin(), scenario.end()));
    ResetRun run = RunReset(dir_);
    EXPECT_EQ(0u, run.exitCode);
    // The prefix's own registry entry for the add-in is listed after the scenario's, and goes too.
    EXPECT_EQ(L"COMAddIn[Test.Resident].Connect() = BOOL False\n"
              L"COMAddIn[Test.Idle].Connect() = BOOL False\n"
              L"COMAddIn[ORVALISutility.Addin].Connect() = BOOL False\n",
              Join(LinesWith(run.log, L".Connect() = ")))
        << Join(run.log);
    // Only the connected one is switched off by a put; the others stay connected until the
    // client quits (the host's own disconnection at shutdown is mode 0).
    EXPECT_EQ(L"AddIn[Test.Resident].OnDisconnection(mode 1)\n", Join(LinesWith(run.log, L".OnDisconnection(mode 1)")));
    EXPECT_EQ(1u, LinesWith(run.log, L"Application.Quit()").size()) << Join(run.log);
}

// Takes the ProgID's class id out of the registry, as on a machine without the client, and
// puts it back whatever the test does.
class ProgIdUnregistered {
public:
    ProgIdUnregistered() {
        wchar_t buf[64] = L"";
        LONG size = sizeof buf;
        saved_ = RegQueryValueW(HKEY_CLASSES_ROOT, L"Outlook.Application\\CLSID", buf, &size) == ERROR_SUCCESS;
        value_ = buf;
        if (saved_) RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Outlook.Application\\CLSID");
    }
    ~ProgIdUnregistered() {
        if (saved_)
            RegSetValueW(HKEY_CLASSES_ROOT, L"Outlook.Application\\CLSID", REG_SZ, value_.c_str(),
                         static_cast<DWORD>(value_.size() * sizeof(wchar_t)));
    }
    bool saved() const { return saved_; }

private:
    bool saved_ = false;
    std::wstring value_;
};

TEST_F(Reset, ClientNotInstalledEndsInTheErrorBoxAndDoesNothingElse) {
    Prepare(kInstalledState, R"({"host":{}})");
    std::string before = orvtest::FileBytes(StatePath());
    ResetRun run;
    {
        ProgIdUnregistered unregistered;
        ASSERT_TRUE(unregistered.saved()) << "the stand-in is not registered in this prefix";
        CLSID clsid;
        ASSERT_TRUE(FAILED(CLSIDFromProgID(L"Outlook.Application", &clsid)));
        run = RunReset(dir_);
    }
    CLSID clsid;
    EXPECT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"Outlook.Application", &clsid)) << "registration not restored";
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ(L"ResetOrvalis|Run-time error 429\r\n\r\nActiveX component can't create object: Outlook.Application\n",
              BoxTexts(run));
    EXPECT_TRUE(run.log.empty()) << Join(run.log);
    EXPECT_EQ(before, orvtest::FileBytes(StatePath()));
}

// Each row: a scenario that makes one step fail, the box it must show, and whether the
// controls were already gone by then (what earlier steps did stays done; nothing later runs).
TEST_F(Reset, FailureShowsNumberAndDescriptionAndStopsThere) {
    const struct {
        const char* label;
        const char* scenario;
        const wchar_t* box;
        bool controlsGone;
        const wchar_t* connectPuts;
        const wchar_t* lastLine;
    } rows[] = {
        {"client's server does not start",
         R"({"host":{},"faults":[{"object":"Application","member":"CreateInstance","hresult":"0x80080005"}]})",
         // Wine has no system text for this code; the description falls back to the code.
         L"Error 0x80080005 (-2146959355)\r\n\r\nError 0x80080005", false, L"", L"CreateInstance Outlook.Application"},
        {"bar count beyond 16 bits", R"({"host":{"barCount":40000}})", L"Run-time error 6\r\n\r\nOverflow", false, L"",
         L"CommandBars.Count()"},
        {"deletion refused",
         R"({"host":{},"faults":[{"object":"Control","id":"11","member":"Delete","hresult":"0x800A01A8","description":"Object required"}]})",
         L"Run-time error 424\r\n\r\nObject required", false, L"", L"Control[11].Delete()"},
        {"add-in count fails",
         R"({"host":{},"faults":[{"object":"COMAddIns","member":"Count","hresult":"0x80004005","description":"Add-in list unavailable"}]})",
         L"Error 0x80004005 (-2147467259)\r\n\r\nAdd-in list unavailable", true, L"", L"COMAddIns.Count()"},
        {"second add-in's description fails",
         R"({"host":{"addins":[
              {"description":"Orvalis Outlook DL Utility","progId":"Test.First","connected":true},
              {"description":"Orvalis Outlook DL Utility","progId":"Test.Second","connected":true}]},
            "faults":[{"object":"COMAddIn","id":"Test.Second","member":"Description","hresult":"0x80004005","description":"Not now"}]})",
         L"Error 0x80004005 (-2147467259)\r\n\r\nNot now", true, L"COMAddIn[Test.First].Connect() = BOOL False\n",
         L"COMAddIn[Test.Second].Description()"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        Prepare(kInstalledState, row.scenario);
        ResetRun run = RunReset(dir_);
        EXPECT_EQ(1u, run.exitCode);
        EXPECT_EQ(L"ResetOrvalis|" + std::wstring(row.box) + L"\n", BoxTexts(run));
        ASSERT_FALSE(run.log.empty());
        EXPECT_EQ(row.lastLine, run.log.back()) << Join(run.log);
        EXPECT_EQ(row.connectPuts, Join(LinesWith(run.log, L".Connect() = ")));
        EXPECT_TRUE(LinesWith(run.log, L"Application.Quit()").empty());
        std::wstring layout = LayoutInStateFile();
        EXPECT_EQ(row.controlsGone, layout == kInstalledLayoutAfterReset) << layout;
    }
}

}  // namespace
