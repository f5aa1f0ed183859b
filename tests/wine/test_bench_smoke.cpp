// The test bench itself: the stand-ins are registered in the prefix and count their objects.
#include <gtest/gtest.h>

#include "dispatch.h"
#include "host_contract.h"
#include "sim_client.h"
#include "wine_test.h"

namespace {

using contract::IID_CdoSession;

TEST(Bench, SessionStandInIsRegisteredAndCountsItsObjects) {
    simclient::LoadScenario(L"{}");
    {
        auto unk = orv::CreateObject(L"Mapi.Session");
        auto session = orv::QueryAs<IDispatch>(unk.Get(), IID_CdoSession);
        EXPECT_EQ(1, simclient::LiveObjects(L"Session")) << simclient::LiveReport();
    }
    EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
}

TEST(Bench, InjectedCreationFaultFailsTheCreation) {
    simclient::LoadScenario(LR"({"faults":[{"object":"Session","member":"CreateInstance","hresult":"0x80040154"}]})");
    try {
        orv::CreateObject(L"Mapi.Session");
        FAIL() << "creation should have failed";
    } catch (const orv::Error& e) {
        EXPECT_EQ(static_cast<HRESULT>(0x80040154), e.hr());
    }
    simclient::LoadScenario(L"{}");
}

}  // namespace
