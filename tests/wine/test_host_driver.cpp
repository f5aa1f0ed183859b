// The host driver: start-up from the registry's add-in entries, clicks that load an add-in on
// demand, shutdown; in this process and as OrvalisHost.exe.
#include <gtest/gtest.h>

#include <memory>

#include "dispatch.h"
#include "sim_client.h"
#include "test_host_addin.h"
#include "clipboard_files.h"
#include "wine_test.h"

namespace {

using orvtest::Contains;
using hosttest::TestAddIn;
using Microsoft::WRL::ComPtr;
using orv::Variant;

const CLSID kStartupClsid = {0x6C0E3A51, 0x2B7D, 0x4E1A, {0x9F, 0x30, 0x11, 0x5A, 0x7E, 0x42, 0xC8, 0x02}};
const CLSID kOtherClsid = {0x6C0E3A51, 0x2B7D, 0x4E1A, {0x9F, 0x30, 0x11, 0x5A, 0x7E, 0x42, 0xC8, 0x03}};

const wchar_t kBars[] = LR"({"host":{"addinsKey":"Software\\OrvalisTest\\Outlook\\Addins","bars":[
    {"name":"Menu Bar","menuBar":true,"controls":[{"caption":"&Tools","type":10,"controls":[
        {"caption":"&Orvalis Utility","onAction":"!<ORVALISTEST.startupaddin>"}]}]},
    {"name":"Standard","controls":[{"caption":"Orvalis","onAction":"!<orvalistest.StartupAddIn>"},
        {"caption":"Plain"},{"caption":"Unregistered","onAction":"!<Nobody.There>"},
        {"caption":"Unlisted","onAction":"!OrvalisTest.Other"}]}]}})";

class HostDriver : public ::testing::Test {
protected:
    void SetUp() override {
        simclient::LoadScenario(kBars);
        simclient::ClearLog();
    }
    void TearDown() override {
        simclient::LoadScenario(LR"({"host":{}})");
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
        EXPECT_EQ(0, TestAddIn::alive);
    }
    // The add-in objects the class handed out, oldest first (the test keeps a reference to each).
    std::vector<ComPtr<TestAddIn>> made_;
    std::wstring failMethod_;
    std::function<void(TestAddIn&)> setUp_;
    TestAddIn* Make() {
        auto* a = new TestAddIn;
        a->failMethod = failMethod_;
        if (setUp_) setUp_(*a);
        made_.emplace_back(a);
        return a;
    }
};

TEST_F(HostDriver, StartupListsRegistryEntriesAndConnectsThoseThatLoadAtStartup) {
    hosttest::RegisteredClass cls(kStartupClsid, L"OrvalisTest.StartupAddIn", [this] { return Make(); });
    hosttest::AddInEntry startup(L"OrvalisTest.StartupAddIn", 3, L"Startup Test", L"Ignored Friendly Name");
    hosttest::AddInEntry demand(L"OrvalisTest.Other", 2, L"", L"Friendly Other");
    hosttest::AddInEntry bare(L"OrvalisTest.Bare", 0, L"");
    simclient::HostStartup();

    ASSERT_EQ(1u, made_.size());
    EXPECT_EQ((std::vector<std::wstring>{L"OnConnection(1)", L"OnStartupComplete"}), made_[0]->calls);
    EXPECT_TRUE(made_[0]->customWasEmptyArray);
    struct Row {
        const wchar_t* progId;
        const wchar_t* description;
        bool connected;
    } rows[] = {
        {L"OrvalisTest.StartupAddIn", L"Startup Test", true},
        {L"OrvalisTest.Other", L"Friendly Other", false},
        {L"OrvalisTest.Bare", L"OrvalisTest.Bare", false},
    };
    auto list = simclient::HostAddIns();
    for (const Row& r : rows) {
        bool seen = false;
        for (const auto& a : list) {
            if (a.progId != r.progId) continue;
            seen = true;
            EXPECT_EQ(r.description, a.description) << a.progId;
            EXPECT_EQ(r.connected, a.connected) << a.progId;
        }
        EXPECT_TRUE(seen) << r.progId;
    }
    EXPECT_TRUE(Contains(simclient::Log(), L"Host.Startup()\nAddIn[OrvalisTest.StartupAddIn].Create()\n"
                                           L"AddIn[OrvalisTest.StartupAddIn].OnConnection(mode 1)\n"
                                           L"AddIn[OrvalisTest.StartupAddIn].OnStartupComplete()\n"))
        << simclient::Log();

    simclient::HostShutdown();
    EXPECT_EQ((std::vector<std::wstring>{L"OnConnection(1)", L"OnStartupComplete", L"OnBeginShutdown",
                                         L"OnDisconnection(0)"}),
              made_[0]->calls);
    EXPECT_EQ(1, made_[0]->refs()) << "the host let go";
    made_.clear();
}

TEST_F(HostDriver, AddInOffAfterStartupIsLoadedAgainByAClickInAnyLetterCase) {
    // As the real add-in does: it switches itself off once start-up is complete.
    setUp_ = [](TestAddIn& a) {
        a.onStartupComplete = [] {
            auto app = hosttest::CreateApplication();
            auto self = orv::GetObj(orv::GetObj(app.Get(), L"COMAddIns").Get(), L"Item", {L"OrvalisTest.StartupAddIn"});
            orv::Put(self.Get(), L"Connect", Variant::Bool(false));
        };
    };
    hosttest::RegisteredClass cls(kStartupClsid, L"OrvalisTest.StartupAddIn", [this] { return Make(); });
    hosttest::AddInEntry startup(L"OrvalisTest.StartupAddIn", 3, L"Startup Test");
    simclient::HostStartup();
    ASSERT_EQ(1u, made_.size());
    EXPECT_EQ((std::vector<std::wstring>{L"OnConnection(1)", L"OnStartupComplete", L"OnDisconnection(1)"}), made_[0]->calls);
    EXPECT_EQ(1, made_[0]->refs());

    setUp_ = nullptr;
    struct Click {
        const wchar_t* path;
        size_t objects;  // add-in objects made so far
    } clicks[] = {
        {L"Standard/Orvalis", 2},                     // demand load, mode 0
        {L"Menu Bar/&Tools/&Orvalis Utility", 2},     // already connected: nothing more
        {L"Standard/Plain", 2},                       // no action
    };
    for (const Click& c : clicks) {
        simclient::HostClick(c.path);
        EXPECT_EQ(c.objects, made_.size()) << c.path;
    }
    EXPECT_EQ((std::vector<std::wstring>{L"OnConnection(0)"}), made_[1]->calls);

    simclient::HostShutdown();
    EXPECT_EQ((std::vector<std::wstring>{L"OnConnection(0)", L"OnBeginShutdown", L"OnDisconnection(0)"}), made_[1]->calls);
    EXPECT_EQ(3u, made_[0]->calls.size()) << "the switched-off add-in hears nothing at shutdown";
    made_.clear();
}

TEST_F(HostDriver, FailedStartupConnectionIsLoggedAndGetsNoStartupComplete) {
    failMethod_ = L"OnConnection";
    hosttest::RegisteredClass cls(kStartupClsid, L"OrvalisTest.StartupAddIn", [this] { return Make(); });
    hosttest::AddInEntry startup(L"OrvalisTest.StartupAddIn", 3, L"Startup Test");
    hosttest::AddInEntry missing(L"OrvalisTest.NotRegistered", 3, L"Not Registered");
    simclient::HostStartup();
    ASSERT_EQ(1u, made_.size());
    EXPECT_EQ((std::vector<std::wstring>{L"OnConnection(1)"}), made_[0]->calls);
    EXPECT_EQ(1, made_[0]->refs());
    std::wstring log = simclient::Log();
    EXPECT_TRUE(Contains(log, L"AddIn[OrvalisTest.StartupAddIn].OnConnection failed 0x80004005 \"The test add-in refused\"\n"))
        << log;
    EXPECT_TRUE(Contains(log, L"AddIn[OrvalisTest.NotRegistered].Create failed 0x800401F3")) << log;
    EXPECT_FALSE(Contains(log, L"OnStartupComplete")) << log;
    simclient::HostShutdown();
    made_.clear();
}

TEST_F(HostDriver, ClicksThatLoadNothingSayWhy) {
    hosttest::RegisteredClass other(kOtherClsid, L"OrvalisTest.Other", [this] { return Make(); });
    struct Row {
        const wchar_t* path;
        const wchar_t* logged;
    } rows[] = {
        {L"Standard/Unregistered", L"Host: no class is registered as \"Nobody.There\"\n"},
        {L"Standard/Unlisted", L"Host: \"OrvalisTest.Other\" is not in the add-in list\n"},
    };
    for (const Row& r : rows) {
        simclient::ClearLog();
        simclient::HostClick(r.path);
        EXPECT_EQ(L"Host.Click(\"" + std::wstring(r.path) + L"\")\n" + r.logged, simclient::Log()) << r.path;
    }
    EXPECT_TRUE(made_.empty());
    try {
        simclient::HostClick(L"Standard/Nothing Here");
        ADD_FAILURE() << "a click on no control should fail";
    } catch (const orv::Error& e) {
        EXPECT_EQ(E_INVALIDARG, e.hr());
    }
    simclient::HostShutdown();
}

TEST_F(HostDriver, HostProgramRunsStepsInItsOwnProcess) {
    std::wstring dir = orvtest::ScratchDir(L"host_driver");
    std::wstring log = dir + L"\\log.txt", state = dir + L"\\state.json", scenario = dir + L"\\scenario.json",
                 script = dir + L"\\steps.txt";
    orvtest::WriteBytes(scenario, R"({"host":{"addinsKey":"Software\\OrvalisTest\\Outlook\\Addins","bars":[{"name":"Menu Bar","menuBar":true},
        {"name":"Standard","controls":[{"caption":"Go Now","onAction":"!<Nobody.There>"}]}]}})");
    orvtest::WriteBytes(script, "# a script\nstartup\nclick Standard/Go Now\n\nshutdown\n");
    SetEnvironmentVariableW(L"ORVALIS_SIM_LOG", log.c_str());
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", state.c_str());
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", scenario.c_str());
    std::wstring exe = L"\"" + orvtest::BuildPath(L"sim\\host\\OrvalisHost.exe") + L"\"";
    struct Row {
        const char* label;
        std::wstring args;
        DWORD exitCode;
        const wchar_t* logged;  // the whole log the run leaves
    } rows[] = {
        {"steps on the command line", L"startup click \"Standard/Go Now\" pump 10 shutdown", 0,
         L"Host.Startup()\nHost.Click(\"Standard/Go Now\")\nHost: no class is registered as \"Nobody.There\"\n"
         L"Host.Shutdown()\n"},
        {"a script", L"script \"" + script + L"\"", 0,
         L"Host.Startup()\nHost.Click(\"Standard/Go Now\")\nHost: no class is registered as \"Nobody.There\"\n"
         L"Host.Shutdown()\n"},
        {"a failing step ends the run", L"click Standard/Missing shutdown", 1, L"Host.Click(\"Standard/Missing\")\n"},
        {"an unknown step runs nothing", L"startup fly", 2, L""},
        {"a step without its argument", L"startup click", 2, L""},
        {"a choice without its item", L"startup ribbon-select Format", 2, L""},
    };
    for (const Row& r : rows) {
        DeleteFileW(log.c_str());
        EXPECT_EQ(r.exitCode, orvtest::RunProcess(exe + L" " + r.args, 60000)) << r.label;
        EXPECT_EQ(r.logged, orvtest::FileText(log)) << r.label;
    }
    EXPECT_TRUE(Contains(orvtest::FileText(state), L"\"caption\": \"Go Now\"")) << orvtest::FileText(state);
    SetEnvironmentVariableW(L"ORVALIS_SIM_LOG", nullptr);
    SetEnvironmentVariableW(L"ORVALIS_HOST_STATE", nullptr);
    SetEnvironmentVariableW(L"ORVALIS_SIM_SCENARIO", nullptr);
}

}  // namespace
