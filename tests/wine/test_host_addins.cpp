// The mail-client stand-in's COM add-in list: indexing and enumeration, and what switching
// Connect does to a connect object.
#include <gtest/gtest.h>

#include "dispatch.h"
#include "sim_client.h"
#include "test_host_addin.h"
#include "wine_test.h"

namespace {

using orvtest::Contains;
using hosttest::TestAddIn;
using Microsoft::WRL::ComPtr;
using orv::Variant;

const CLSID kTestClsid = {0x6C0E3A51, 0x2B7D, 0x4E1A, {0x9F, 0x30, 0x11, 0x5A, 0x7E, 0x42, 0xC8, 0x01}};

ComPtr<TestAddIn> NewAddIn() {
    ComPtr<TestAddIn> p(new TestAddIn);  // mingw's ComPtr adds a reference even on Attach
    p->Release();
    return p;
}

ComPtr<IDispatch> AddInByDescription(IDispatch* app, const std::wstring& description) {
    ComPtr<IDispatch> found;
    orv::ForEach(orv::GetObj(app, L"COMAddIns").Get(), [&](const Variant& item) {
        auto addIn = orv::AsObject(item);
        if (orv::GetString(addIn.Get(), L"Description") != description) return true;
        found = addIn;
        return false;
    });
    return found;
}

class HostAddIns : public ::testing::Test {
protected:
    void SetUp() override {
        simclient::LoadScenario(LR"({"host":{"addinsKey":"Software\\OrvalisTest\\Outlook\\Addins","addins":[
            {"description":"Spam Filter","progId":"Vendor.SpamFilter"},
            {"description":"Orvalis Outlook DL Utility","progId":"ORVALISutility.Addin"},
            {"description":"Fax Cover","progId":"Vendor.Fax","connected":true}]}})");
        simclient::ClearLog();
    }
    void TearDown() override {
        simclient::LoadScenario(LR"({"host":{}})");
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
    }
};

TEST_F(HostAddIns, ItemTakesOneBasedIndexesInAnyIntegerFormAndProgIds) {
    auto app = hosttest::CreateApplication();
    auto addIns = orv::GetObj(app.Get(), L"COMAddIns");
    int16_t three = 3;
    struct Row {
        const char* label;
        Variant index;
        const wchar_t* description;
    } rows[] = {
        {"I4 1", Variant::I4(1), L"Spam Filter"},
        {"I2 2", Variant::I2(2), L"Orvalis Outlook DL Utility"},
        {"reference to I2 3", Variant::RefI2(&three), L"Fax Cover"},
        {"ProgID in other case", Variant::Str(L"orvalisUTILITY.addin"), L"Orvalis Outlook DL Utility"},
    };
    EXPECT_EQ(3, orv::ToLong(orv::Call(addIns.Get(), L"Count")));
    for (const Row& r : rows) {
        auto addIn = orv::GetObj(addIns.Get(), L"Item", {r.index});
        EXPECT_EQ(r.description, orv::GetString(addIn.Get(), L"Description")) << r.label;
    }
    for (int bad : {0, 4, -1}) {
        try {
            orv::Call(addIns.Get(), L"Item", {Variant::I4(bad)});
            ADD_FAILURE() << "Item(" << bad << ") should fail";
        } catch (const orv::Error& e) {
            EXPECT_EQ(DISP_E_BADINDEX, e.hr()) << bad;
        }
    }
    std::vector<std::wstring> order;
    orv::ForEach(addIns.Get(), [&](const Variant& item) {
        auto addIn = orv::AsObject(item);
        order.push_back(orv::GetString(addIn.Get(), L"ProgId") + L"=" +
                        (orv::ToBool(orv::Call(addIn.Get(), L"Connect")) ? L"on" : L"off"));
        return true;
    });
    EXPECT_EQ((std::vector<std::wstring>{L"Vendor.SpamFilter=off", L"ORVALISutility.Addin=off", L"Vendor.Fax=on"}), order);
}

TEST_F(HostAddIns, ApplicationIsOneObjectWhileAnyoneHoldsIt) {
    {
        auto first = hosttest::CreateApplication();
        auto second = hosttest::CreateApplication();
        EXPECT_EQ(first.Get(), second.Get());
        EXPECT_EQ(1, simclient::LiveObjects(L"Application"));
    }
    EXPECT_EQ(0, simclient::LiveObjects(L"Application"));
    auto again = hosttest::CreateApplication();
    EXPECT_EQ(1, simclient::LiveObjects(L"Application"));
}

TEST_F(HostAddIns, SwitchingOffCallsOnDisconnectionBeforeThePutReturnsThenLetsGo) {
    auto addIn = NewAddIn();
    addIn->keepAddInInst = true;
    ASSERT_EQ(S_OK, simclient::HostAddAddIn(addIn.Get(), L"Test Add-in", L"Test.AddIn", 1));
    ASSERT_TRUE(addIn->addInInst);
    EXPECT_EQ(L"Test Add-in", orv::GetString(addIn->addInInst.Get(), L"Description"));
    EXPECT_EQ(1, addIn->refs() - 1) << "the host holds one reference while connected";

    bool putRunning = false;
    bool calledDuringPut = false;
    addIn->onDisconnection = [&] { calledDuringPut = putRunning; };
    auto app = hosttest::CreateApplication();
    auto entry = AddInByDescription(app.Get(), L"Test Add-in");
    ASSERT_TRUE(entry);
    auto object = orv::GetObj(entry.Get(), L"Object");
    EXPECT_EQ(static_cast<IDispatch*>(addIn.Get()), object.Get());
    object.Reset();

    simclient::ClearLog();
    putRunning = true;
    orv::Put(entry.Get(), L"Connect", Variant::Bool(false));
    putRunning = false;

    EXPECT_TRUE(calledDuringPut);
    EXPECT_EQ((std::vector<std::wstring>{L"OnConnection(1)", L"OnDisconnection(1)"}), addIn->calls);
    EXPECT_TRUE(addIn->customWasEmptyArray);
    EXPECT_EQ(1, addIn->refs()) << "the host let go of the connect object";
    EXPECT_FALSE(orv::ToBool(orv::Call(entry.Get(), L"Connect")));
    EXPECT_EQ(VT_DISPATCH, orv::Call(entry.Get(), L"Object").vt());
    EXPECT_EQ(nullptr, orv::Call(entry.Get(), L"Object").get().pdispVal);
    EXPECT_EQ(L"COMAddIn[Test.AddIn].Connect() = BOOL False\nAddIn[Test.AddIn].OnDisconnection(mode 1)\n"
              L"COMAddIn[Test.AddIn].Connect()\nCOMAddIn[Test.AddIn].Object()\nCOMAddIn[Test.AddIn].Object()\n",
              simclient::Log());
}

TEST_F(HostAddIns, SwitchingOffTwiceOrInsideOnDisconnectionDisconnectsOnce) {
    auto addIn = NewAddIn();
    ASSERT_EQ(S_OK, simclient::HostAddAddIn(addIn.Get(), L"Test Add-in", L"Test.AddIn", 1));
    auto app = hosttest::CreateApplication();
    auto entry = AddInByDescription(app.Get(), L"Test Add-in");
    // As the add-in's own unload step does: it switches itself off again while being switched off.
    addIn->onDisconnection = [&] { orv::Put(entry.Get(), L"Connect", Variant::Bool(false)); };
    orv::Put(entry.Get(), L"Connect", Variant::Bool(false));
    orv::Put(entry.Get(), L"Connect", Variant::Bool(false));
    EXPECT_EQ((std::vector<std::wstring>{L"OnConnection(1)", L"OnDisconnection(1)"}), addIn->calls);
    EXPECT_EQ(1, addIn->refs());
    auto list = simclient::HostAddIns();
    ASSERT_EQ(4u, list.size());
    EXPECT_FALSE(list[3].connected);
}

TEST_F(HostAddIns, SwitchingOnCreatesTheClassByProgIdAndConnectsAfterStartup) {
    TestAddIn* made = nullptr;
    hosttest::RegisteredClass cls(kTestClsid, L"OrvalisTest.HostAddIn", [&] { return made = new TestAddIn; });
    ASSERT_EQ(S_OK, simclient::HostAddAddIn(nullptr, L"Registered Test", L"orvalistest.hostaddin", -1));
    auto app = hosttest::CreateApplication();
    auto entry = AddInByDescription(app.Get(), L"Registered Test");
    orv::Put(entry.Get(), L"Connect", Variant::Bool(true));
    orv::Put(entry.Get(), L"Connect", Variant::Bool(true));  // already on: nothing more
    ASSERT_EQ(1, cls.created);
    ASSERT_TRUE(made);
    EXPECT_EQ((std::vector<std::wstring>{L"OnConnection(0)"}), made->calls);
    EXPECT_TRUE(orv::ToBool(orv::Call(entry.Get(), L"Connect")));
    orv::Put(entry.Get(), L"Connect", Variant::Bool(false));
    EXPECT_EQ(0, TestAddIn::alive) << "released after OnDisconnection";
}

TEST_F(HostAddIns, FailingOnConnectionIsLoggedWithItsDescriptionAndLeavesTheAddInOff) {
    auto addIn = NewAddIn();
    addIn->failMethod = L"OnConnection";
    EXPECT_EQ(E_FAIL, simclient::HostAddAddIn(addIn.Get(), L"Test Add-in", L"Test.AddIn", 1));
    EXPECT_EQ(1, addIn->refs());
    auto list = simclient::HostAddIns();
    ASSERT_EQ(4u, list.size());
    EXPECT_FALSE(list[3].connected);
    EXPECT_TRUE(Contains(simclient::Log(), L"AddIn[Test.AddIn].OnConnection(mode 1)\n"
                                           L"AddIn[Test.AddIn].OnConnection failed 0x80004005 \"The test add-in refused\"\n"))
        << simclient::Log();
}

}  // namespace
