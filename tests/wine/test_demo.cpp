// The demo, run as the README runs it, on the bundled sample: it must keep working.
#include <gtest/gtest.h>

#include <string>

#include "clipboard_files.h"
#include "wine_test.h"

namespace {

TEST(Demo, WholeRunOnTheSampleSavesTheSubscriberList) {
    std::wstring dir = orvtest::ScratchDir(L"demo");
    std::wstring saved = dir + L"\\subscribers.txt";
    std::wstring shot = dir + L"\\window.bmp";
    // The child finds the address book and the host's state through its environment.
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", orvtest::SourcePath(L"samples\\scenario.json").c_str());
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

}  // namespace
