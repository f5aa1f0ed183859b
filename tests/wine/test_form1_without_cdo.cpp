// The list builder's window on a machine without CDO, loaded by a connection that hands it the
// mail client: the load step turning to the client's own address book, a run of "Create List"
// through it, the unload step without a logoff; and a client of CDO's own era, whose object
// model has no Select Names dialog.
#include <gtest/gtest.h>

#include "Global.h"
#include "dispatch.h"
#include "form1.h"
#include "form1_layout.h"
#include "host_contract.h"
#include "messages.h"
#include "seam.h"
#include "sim_client.h"
#include "wine_test.h"
#include "without_cdo.h"

namespace {

using orvtest::Seam;
using Ptr = orv::ComPtr<IDispatch>;

class Form1WithoutCdo : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(noCdo_.ok()) << noCdo_.error();
        simclient::LoadScenario(LR"({"cdo":{"directory":[{"id":"ann","name":"Ann Lee","type":"SMTP","address":"ann@example.com"}],
          "picks":[["ann"]]},"host":{"addins":[{"progId":"Orvalis.Ours","description":"Orvalis Outlook DL Utility","connected":true}]}})");
        app_ = orv::QueryAs<IDispatch>(orv::CreateObject(contract::kOutlookProgId).Get(), IID_IDispatch);
        simclient::ClearLog();
    }
    void TearDown() override {
        try {
            form.Unload();
        } catch (const orv::Error&) {
        }
        app_.Reset();
        orvtest::Pump(20);
        simclient::LoadScenario(L"{}");
    }
    Form1& form = Global::TheForm1();
    orvtest::WithoutCdo noCdo_;
    Ptr app_;
    orvtest::DialogWatcher boxes;
};

TEST_F(Form1WithoutCdo, LoadsWithTheClientsNamespaceBuildsTheListAndLetsGoWithoutLoggingOff) {
    form.hWnd(app_.Get());
    ASSERT_TRUE(form.IsLoaded());
    EXPECT_NE(nullptr, dynamic_cast<orvalis::ClientAddressBook*>(Seam::Session(form))) << "the client's own address book";
    EXPECT_EQ(L"Application.GetNamespace(BSTR \"MAPI\")\n", simclient::Log()) << "no logon: the client's session is on";
    EXPECT_EQ(L"Orvalise Utility version 1.3.1", orvtest::WindowText(Seam::Control(form, form1::kLblVersion)));

    SendMessageW(Seam::Control(form, form1::kCmdAdd), BM_CLICK, 0, 0);
    ASSERT_EQ(1, SendMessageW(Seam::List1(form), LB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"ann@example.com", Seam::Builder(form).table().Address(0));

    simclient::ClearLog();
    form.Unload();
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(nullptr, Seam::Session(form));
    const std::wstring log = simclient::Log();
    EXPECT_EQ(std::wstring::npos, log.find(L"Logoff")) << log;
    EXPECT_NE(std::wstring::npos, log.find(L"COMAddIn[Orvalis.Ours].Connect() = BOOL False")) << log;
    EXPECT_EQ(0, simclient::LiveObjects(L"NameSpace")) << simclient::LiveReport();
    EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(Form1WithoutCdo, AClientWithoutTheSelectNamesDialogFailsTheLoadWithTheCdoError) {
    simclient::LoadScenario(LR"({"outlook":{"selectNamesDialog":false}})");
    struct Case { const char* label; bool handsTheClient; } cases[] = {{"client of CDO's era", true}, {"no client given", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        HRESULT hr = S_OK;
        try {
            form.hWnd(c.handsTheClient ? app_.Get() : nullptr);
        } catch (const orv::Error& e) {
            hr = e.hr();
        }
        EXPECT_EQ(orv::RuntimeError(429), hr) << "ActiveX component can't create object";
        EXPECT_FALSE(form.IsLoaded());
        EXPECT_EQ(nullptr, Seam::Session(form));
        const std::vector<std::wstring> seen = boxes.Seen();
        ASSERT_FALSE(seen.empty());
        EXPECT_NE(std::wstring::npos, seen.back().find(messages::kLoadFailed)) << seen.back();
        EXPECT_NE(std::wstring::npos, seen.back().find(L"Error 429: ")) << seen.back();
    }
    EXPECT_EQ(0, simclient::LiveObjects(L"NameSpace")) << simclient::LiveReport();
}

}  // namespace
