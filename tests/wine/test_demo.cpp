// The demo, run as the README runs it, on the bundled sample: it must keep working.
#include <gtest/gtest.h>

#include <string>

#include "clipboard_files.h"
#include "wine_test.h"

namespace {

std::wstring SourcePath(const std::wstring& relative) {
    std::wstring path = L"Z:";
    for (char c : std::string(ORVALIS_SOURCE_DIR)) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path + L"\\" + relative;
}

TEST(Demo, WholeRunOnTheSampleSavesTheSubscriberList) {
    std::wstring dir = orvtest::ScratchDir(L"demo");
    std::wstring saved = dir + L"\\subscribers.txt";
    std::wstring shot = dir + L"\\window.bmp";
    // The child finds the address book and the host's state through its environment.
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", SourcePath(L"samples\\scenario.json").c_str());
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", (dir + L"\\host-state.json").c_str());
    DWORD code = orvtest::RunProcess(L"\"" + orvtest::BuildPath(L"sim\\demo\\OrvalisDemo.exe") + L"\" \"" + saved +
                                         L"\" \"" + shot + L"\"",
                                     90000);
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", nullptr);
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", nullptr);

    EXPECT_EQ(0u, code);
    // People, an Exchange list with a nested list and a fax number, a personal list and
    // duplicates across them: five subscribers, each once, where first reached.
    EXPECT_EQ(
        "ann.lee@example.com Ann Lee\r\n"
        "priya.nair@example.com Priya Nair\r\n"
        "team-leads@example.com Team Leads\r\n"
        "omar@example.org Omar Haddad\r\n"
        "mei.chen@example.com Mei Chen\r\n",
        orvtest::FileBytes(saved));
    EXPECT_GT(orvtest::FileBytes(shot).size(), 1000u) << "no screenshot of the window";
}

// A scenario of the user's own that doesn't load stops the demo before the mail client
// starts: one line naming the file as the user did, the place and what is wrong; exit code 2;
// no call reached the stand-ins, and no list, screenshot or host state was written.
TEST(Demo, ScenarioThatDoesNotLoadStopsItBeforeAnythingRuns) {
    std::wstring dir = orvtest::ScratchDir(L"demo_bad_input");
    const std::wstring scenario = dir + L"\\mine.json", log = dir + L"\\log.txt", state = dir + L"\\host-state.json";
    const std::wstring saved = dir + L"\\subscribers.txt", shot = dir + L"\\window.bmp";
    struct Row {
        const char* label;
        std::string text;
        const char* output;
    } rows[] = {
        {"cut short", "{\"cdo\": {\"directory\": [\n  {\"id\": \"ann\", \"address\": \"ann@example.com\"},\n",
         "my/mine.json:3:1: syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal\n"},
        {"misspelt key", R"({"cdo": {"directory": [{"id": "ann"}, {"id": "bob", "adress": "bob@example.com"}]}})",
         "my/mine.json: cdo.directory[1].adress: unknown key\n"},
        {"value of the wrong type", R"({"cdo": {"directory": [{"id": "ann", "displayType": "user"}]}})",
         "my/mine.json: cdo.directory[0].displayType: expected a whole number, not a string\n"},
        {"pick not in the directory", R"({"cdo": {"directory": [{"id": "ann"}], "picks": [["ann", "bob"]]}})",
         "my/mine.json: cdo.picks[0][1]: \"bob\" is not in the directory\n"},
    };
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", scenario.c_str());
    SetEnvironmentVariableW(L"ORVALIS_SCENARIO_FILE", L"my/mine.json");
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", state.c_str());
    SetEnvironmentVariableW(L"ORVALIS_SIM_LOG", log.c_str());
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        orvtest::WriteBytes(scenario, r.text);
        std::string output;
        const DWORD code = orvtest::RunProcess(L"\"" + orvtest::BuildPath(L"sim\\demo\\OrvalisDemo.exe") + L"\" \"" + saved +
                                                   L"\" \"" + shot + L"\"",
                                               output, 90000);
        EXPECT_EQ(2u, code);
        EXPECT_EQ(r.output, output);
        EXPECT_EQ((std::vector<std::wstring>{L"mine.json"}), orvtest::FilesIn(dir));
    }
    for (const wchar_t* name : {L"ORVALIS_SIM_SCENARIO", L"ORVALIS_SCENARIO_FILE", L"ORVALIS_HOST_STATE", L"ORVALIS_SIM_LOG"})
        SetEnvironmentVariableW(name, nullptr);
}

}  // namespace
