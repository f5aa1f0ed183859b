// The stand-ins' data files as a user writes them by hand: a scenario or a host state file
// that doesn't load is refused whole, with the place (line and column, or the key's path)
// and what is wrong. (The CDO section's own cases: test_cdo_standin.)
#include <gtest/gtest.h>

#include "clipboard_files.h"
#include "dispatch.h"
#include "error.h"
#include "sim_client.h"
#include "wine_test.h"

namespace {

std::wstring ProblemOf(const std::wstring& scenario) {
    try {
        simclient::LoadScenario(scenario);
    } catch (const orv::Error& e) {
        return e.description();
    }
    return L"<loaded>";
}

TEST(DataFiles, ScenarioThatDoesNotLoadNamesThePlace) {
    struct Row {
        const wchar_t* scenario;
        const wchar_t* problem;
    } rows[] = {
        // Text that isn't JSON: the line and column (in characters) where reading stopped.
        {L"{\"cdo\":{\"directory\":[\n  {\"id\":\"ann\"", L"2:14: syntax error while parsing object - unexpected end of input; expected '}'"},
        {L"{\"cdo\":{\"directory\":[{\"id\":\"Zo\u00EB\",}]}}",
         L"1:34: syntax error while parsing object key - unexpected '}'; expected string literal"},
        {L"", L"1:1: syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal"},
        {L"{\"host\":{}}\n}", L"2:1: syntax error while parsing value - unexpected '}'; expected end of input"},
        {L"[]", L"expected an object, not a list"},
        {LR"({"cod":{}})", L"cod: unknown key"},
        // The host's section.
        {LR"({"host":[]})", L"host: expected an object, not a list"},
        {LR"({"host":{"explorer":"no"}})", L"host.explorer: expected true or false, not a string"},
        {LR"({"host":{"barCount":"many"}})", L"host.barCount: expected a whole number, not a string"},
        {LR"({"host":{"barcount":3}})", L"host.barcount: unknown key"},
        {LR"({"host":{"bars":[{"name":"Standard","controls":[{"caption":"Go"},{"caption":"Stop","type":5}]}]}})",
         L"host.bars[0].controls[1].type: 5 is not a control type (1 button, 10 pop-up)"},
        {LR"({"host":{"bars":[{"name":"Menu Bar","controls":[{"caption":"&Tools","type":1,"controls":[]}]}]}})",
         L"host.bars[0].controls[0].controls: only a pop-up (type 10) holds controls"},
        {LR"({"host":{"bars":[{"name":"Menu Bar","controls":[{"caption":"&Tools","controls":[{"caption":"x","onaction":"!<A.B>"}]}]}]}})",
         L"host.bars[0].controls[0].controls[0].onaction: unknown key"},
        {LR"({"host":{"bars":[{"name":"Standard"},"Advanced"]}})", L"host.bars[1]: expected an object, not a string"},
        {LR"({"host":{"addins":[{"progID":"Vendor.Fax"}]}})", L"host.addins[0].progID: unknown key"},
        {LR"({"host":{"addins":[{"progId":"Vendor.Fax","connected":1}]}})", L"host.addins[0].connected: expected true or false, not a number"},
        // Fault rules.
        {LR"({"faults":{"member":"Logon"}})", L"faults: expected a list, not an object"},
        {LR"({"faults":[{"object":"Session","membre":"Logon"}]})", L"faults[0].membre: unknown key"},
        {LR"({"faults":[{"object":"Session"}]})", L"faults[0].member: a rule needs the member that fails"},
        {LR"({"faults":[{"member":"Logon","hresult":"E_FAIL"}]})", LR"(faults[0].hresult: "E_FAIL" is not a number)"},
        {LR"({"faults":[{"member":"Logon","times":"once"}]})", L"faults[0].times: expected a whole number, not a string"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(r.scenario)));
        EXPECT_EQ(r.problem, ProblemOf(r.scenario));
    }
}

// A refused scenario changes nothing, not even the parts that were right.
TEST(DataFiles, RefusedScenarioLeavesTheLoadedOneInPlace) {
    simclient::LoadScenario(LR"({"faults":[{"object":"Session","member":"Logon","hresult":"0x80004005","description":"Kept"}]})");
    EXPECT_EQ(L"host.explorer: expected true or false, not a string", ProblemOf(LR"({"faults":[],"host":{"explorer":"no"}})"));
    try {
        auto session = orv::QueryAs<IDispatch>(orv::CreateObject(L"MAPI.Session").Get(), IID_IDispatch);
        orv::Call(session.Get(), L"Logon");
        ADD_FAILURE() << "the fault rule is gone";
    } catch (const orv::Error& e) {
        EXPECT_EQ(L"Kept", e.description());
    }
    simclient::LoadScenario(LR"({"host":{}})");
    EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
}

// The host program checks the files its environment names before its first step: a bad one
// runs nothing, with exit code 2 and the one line saying why.
TEST(DataFiles, HostProgramRefusesBadFilesBeforeAnyStep) {
    const std::wstring dir = orvtest::ScratchDir(L"data_files_host");
    const std::wstring scenario = dir + L"\\scenario.json", state = dir + L"\\state.json", log = dir + L"\\log.txt";
    const std::string goodScenario = R"({"host":{"addinsKey":"Software\\OrvalisTest\\Outlook\\Addins"}})";
    const std::string goodState = R"({"bars":[{"name":"Standard","controls":[{"id":3,"caption":"Go"}]}]})";
    struct Row {
        const char* label;
        std::string scenario, state;
        std::wstring output;  // with the files' names put in below
        DWORD exitCode;
    } rows[] = {
        {"both good", goodScenario, goodState, L"startup: ok\nlayout: Standard (menu bar)\n  Go\n\nshutdown: ok\n", 0},
        {"scenario cut short", "{\"host\":{\"addinsKey\":\n", goodState,
         L"<scenario>:2:1: syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal\n", 2},
        {"state file cut short", goodScenario, "{\"bars\":[{\"name\":\"Standard\",", L"<state>:1:29: syntax error while parsing object key - unexpected end of input; expected string literal\n", 2},
        {"state file with an unknown key", goodScenario, R"({"bars":[],"menus":[]})", L"<state>: menus: unknown key\n", 2},
        {"state file without bars", goodScenario, "{}", L"<state>: a state file holds \"bars\"\n", 2},
        {"state control of the wrong type", goodScenario, R"({"bars":[{"name":"Standard","controls":[{"caption":"Go","enabled":"yes"}]}]})",
         L"<state>: bars[0].controls[0].enabled: expected true or false, not a string\n", 2},
    };
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", scenario.c_str());
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", state.c_str());
    SetEnvironmentVariableW(L"ORVALIS_SIM_LOG", log.c_str());
    const std::wstring exe = L"\"" + orvtest::BuildPath(L"sim\\host\\OrvalisHost.exe") + L"\" startup layout shutdown";
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        orvtest::WriteBytes(scenario, r.scenario);
        orvtest::WriteBytes(state, r.state);
        DeleteFileW(log.c_str());
        std::wstring expected = r.output;
        for (const auto& [mark, path] : {std::pair<std::wstring, std::wstring>{L"<scenario>", scenario}, {L"<state>", state}})
            if (size_t at = expected.find(mark); at != std::wstring::npos) expected.replace(at, mark.size(), path);
        std::string output;
        EXPECT_EQ(r.exitCode, orvtest::RunProcess(exe, output));
        EXPECT_EQ(expected, std::wstring(output.begin(), output.end()));
        if (r.exitCode == 0) continue;
        // Nothing ran: no call reached the stand-ins, and the state file is as it was.
        EXPECT_EQ("", orvtest::FileBytes(log));
        EXPECT_EQ(r.state, orvtest::FileBytes(state));
    }
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", nullptr);
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", nullptr);
    SetEnvironmentVariableW(L"ORVALIS_SIM_LOG", nullptr);
}

}  // namespace
