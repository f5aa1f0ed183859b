// The test bench itself: the stand-ins are registered in the prefix and count their objects.
#include <gtest/gtest.h>

#include "dispatch.h"
#include "sim_client.h"
#include "wine_test.h"

namespace {

const IID IID_CdoSession = {0x3FA7DEA8, 0x6438, 0x101B, {0xAC, 0xC1, 0x00, 0xAA, 0x00, 0x42, 0x33, 0x26}};

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
