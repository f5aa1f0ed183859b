// The CDO stand-in as any client sees it: logging, the dialog's answers, the objects below
// it, and rejection of a broken scenario with its place. (Fault rules by entry id: test_create_list.)
#include <gtest/gtest.h>

#include <functional>

#include "dispatch.h"
#include "host_contract.h"
#include "sim_client.h"
#include "wine_test.h"

namespace {

using orv::Call;
using orv::Variant;
using Ptr = orv::ComPtr<IDispatch>;
using contract::IID_CdoSession;

const wchar_t kScenario[] = LR"J({"cdo":{"directory":[
 {"id":"ann","name":"Ann Lee","type":"SMTP","address":"ann@example.com"},
 {"id":"bob","name":"Bob","type":"EX","address":"/o=Ex/cn=bob","fields":[["0x3A11001E","Lee"],[972947486,"bob@example.com"],["PR_DISPLAY_NAME","B. Lee"]]},
 {"id":"dl","name":"Team","type":"EX","members":["ann","bob"]}],
 "picks":[["dl","ann"],"cancel",[]]}})J";

using orvtest::FailureOf;

class CdoStandIn : public ::testing::Test {
protected:
    void SetUp() override { simclient::LoadScenario(kScenario); }
    void TearDown() override { EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport(); }
    static Ptr LoggedOn() {
        Ptr s = orv::QueryAs<IDispatch>(orv::CreateObject(L"MAPI.Session").Get(), IID_CdoSession);
        Call(s.Get(), L"Logon", {orv::Named(L"ShowDialog", Variant::Bool(false)), orv::Named(L"NewSession", Variant::Bool(false))});
        return s;
    }
    static long Count(const Ptr& p) { return orv::ToLong(Call(p.Get(), L"Count")); }
    static Ptr Item(const Ptr& p, long i) { return orv::GetObj(p.Get(), L"Item", {Variant::I4(i)}); }
};

TEST_F(CdoStandIn, LogsCallsWithArgumentNamesAndTypes) {
    simclient::ClearLog();
    Ptr s = LoggedOn();
    Call(s.Get(), L"AddressBook", {Variant(), L"Pick", orv::Named(L"RecipLists", Variant::I2(1))});
    EXPECT_EQ(L"CreateInstance MAPI.Session\n"
              L"Session.Logon(ShowDialog:=BOOL False, NewSession:=BOOL False)\n"
              L"Session.AddressBook(EMPTY, BSTR \"Pick\", RecipLists:=I2 1)\n", simclient::Log());
}

TEST_F(CdoStandIn, DialogAnswersFollowThePicksAcrossSessions) {
    Ptr a = LoggedOn(), b = LoggedOn();
    Ptr idle = orv::QueryAs<IDispatch>(orv::CreateObject(L"MAPI.Session").Get(), IID_CdoSession);
    auto dialog = [](const Ptr& s) { return orv::GetObj(s.Get(), L"AddressBook"); };
    EXPECT_EQ(static_cast<HRESULT>(0x80040605), FailureOf([&] { dialog(idle); }));  // not logged on: uses no pick
    EXPECT_EQ(2, Count(dialog(a)));
    EXPECT_EQ(static_cast<HRESULT>(0x80040113), FailureOf([&] { dialog(b); }));
    EXPECT_EQ(0, Count(dialog(a)));
    EXPECT_EQ(static_cast<HRESULT>(0x80040113), FailureOf([&] { dialog(b); }));  // picks used up
    EXPECT_EQ(static_cast<HRESULT>(0x80070057), FailureOf([&] { Call(a.Get(), L"AddressBook", {orv::Named(L"RecipLists", Variant::I2(4))}); }));
    simclient::LoadScenario(kScenario);
    EXPECT_EQ(2, Count(dialog(b)));
    Call(b.Get(), L"Logoff");
    EXPECT_EQ(static_cast<HRESULT>(0x80040605), FailureOf([&] { dialog(b); }));
}

TEST_F(CdoStandIn, ObjectsAnswerLikeTheAddressBook) {
    Ptr picks = orv::GetObj(LoggedOn().Get(), L"AddressBook");
    Ptr dl = Item(picks, 1);
    EXPECT_EQ(1, orv::ToLong(Call(dl.Get(), L"DisplayType")));
    EXPECT_EQ(0, orv::ToLong(Call(Item(picks, 2).Get(), L"DisplayType")));
    EXPECT_EQ(static_cast<HRESULT>(0x8004010F), FailureOf([&] { Item(picks, 3); }));
    Ptr members = orv::GetObj(orv::GetObj(dl.Get(), L"AddressEntry").Get(), L"Members");
    Ptr bob = Item(members, 2);
    EXPECT_EQ(L"/o=Ex/cn=bob 00000000626F62", orv::GetString(bob.Get(), L"Address") + L" " + orv::GetString(bob.Get(), L"ID"));
    // Fields: the entry's own properties first (a scenario field replaces one in place), then the rest in order.
    std::wstring fields;
    orv::ForEach(orv::GetObj(bob.Get(), L"Fields").Get(), [&](const Variant& f) {
        wchar_t tag[12];
        swprintf(tag, 12, L"%08lX", static_cast<unsigned long>(orv::ToLong(Call(orv::AsObject(f).Get(), L"ID"))));
        fields += std::wstring(tag) + L"=" + orv::GetString(orv::AsObject(f).Get(), L"Value") + L" ";
        return true;
    });
    EXPECT_EQ(L"3001001E=B. Lee 3002001E=EX 3003001E=/o=Ex/cn=bob 39000003=0 3A11001E=Lee 39FE001E=bob@example.com ", fields);
    Ptr byTag = Item(orv::GetObj(bob.Get(), L"Fields"), 0x39FE001E);
    EXPECT_EQ(L"bob@example.com", orv::GetString(byTag.Get(), L"Value"));
    EXPECT_EQ(static_cast<HRESULT>(0x80040102), FailureOf([&] { orv::GetObj(bob.Get(), L"Members"); }));
    EXPECT_EQ(static_cast<HRESULT>(0x8004010F), FailureOf([&] { Item(members, 3); }));
    // The list is read at each call: a changed directory shows through an old collection.
    std::wstring grown = kScenario;
    grown.replace(grown.find(LR"(["ann","bob"])"), 13, LR"(["ann","bob","ann"])");
    simclient::LoadScenario(grown);
    EXPECT_EQ(3, Count(members));
}

TEST_F(CdoStandIn, RejectsABrokenScenarioNamingThePlace) {
    struct Row {
        const wchar_t* scenario;
        const wchar_t* problem;
    } rows[] = {
        {LR"({"cdo":{"directory":[{"id":"dl","members":["nobody"]}]}})", LR"(cdo.directory[0].members[0]: "nobody" is not in the directory)"},
        {LR"({"cdo":{"directory":[{"id":"ann"}],"picks":[["ann"],["ann","bob"]]}})", LR"(cdo.picks[1][1]: "bob" is not in the directory)"},
        {LR"({"cdo":{"directory":[{"id":"ann"},{"id":"ann"}]}})", LR"(cdo.directory[1].id: "ann" is already the id of cdo.directory[0])"},
        {LR"({"cdo":{"directory":[{"id":"ann","fields":{"PR_NOTHING":"x"}}]}})",
         LR"(cdo.directory[0].fields.PR_NOTHING: "PR_NOTHING" is neither a property tag's number nor one of its names)"},
        {LR"({"cdo":{"directory":[{"id":"ann"},{"id":"bob","adress":"b@x.org"}]}})", L"cdo.directory[1].adress: unknown key"},
        {LR"({"cdo":{"directroy":[]}})", L"cdo.directroy: unknown key"},
        {LR"({"cdo":{"directory":[{"name":"Ann"}]}})", L"cdo.directory[0]: an entry needs an id"},
        {LR"({"cdo":{"directory":[{"id":""}]}})", L"cdo.directory[0].id: the id is empty"},
        {LR"({"cdo":{"directory":[{"id":"ann","name":5}]}})", L"cdo.directory[0].name: expected a string, not a number"},
        {LR"({"cdo":{"directory":[{"id":"ann","displayType":1.5}]}})",
         L"cdo.directory[0].displayType: expected a whole number, not a fractional number"},
        {LR"({"cdo":{"directory":[{"id":"dl","members":"ann"}]}})", L"cdo.directory[0].members: expected a list, not a string"},
        {LR"({"cdo":{"directory":{"id":"ann"}}})", L"cdo.directory: expected a list, not an object"},
        {LR"({"cdo":{"directory":[{"id":"a","fields":[["PR_SURNAME"]]}]}})", L"cdo.directory[0].fields[0]: expected a [tag, value] pair or [tag, value, ID answer], not a list of 1"},
        {LR"({"cdo":{"directory":[{"id":"a","fields":[["PR_SURNAME",["Lee"]]]}]}})",
         L"cdo.directory[0].fields[0][1]: a value is neither a string, a number, a boolean, null nor {\"vt\": ...}"},
        {LR"({"cdo":{"directory":[{"id":"a","fields":"PR_SURNAME"}]}})",
         L"cdo.directory[0].fields: expected an object or a list of [tag, value] pairs, not a string"},
        {LR"({"cdo":{"picks":["all"]}})", LR"(cdo.picks[0]: expected a list of entry ids or "cancel", not a string)"},
        {LR"({"cdo":{"picks":[[{"vt":"VT_BOGUS"}]]}})", L"cdo.picks[0][0]: unknown vt \"VT_BOGUS\""},
        {LR"({"cdo":{"directory":[{"id":"a","answers":{"Nmae":"x"}}]}})",
         L"cdo.directory[0].answers.Nmae: no member of an entry answers by that name"},
        {LR"({"faults":[{"member":"Name","returns":"garbage"}]})",
         LR"(faults[0].returns: "garbage" is none of failure, nothing, wrongType, elementError)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(r.scenario)));
        try {
            simclient::LoadScenario(r.scenario);
            ADD_FAILURE() << "loaded";
        } catch (const orv::Error& e) {
            EXPECT_EQ(E_INVALIDARG, e.hr());
            EXPECT_EQ(r.problem, e.description());
        }
    }
    // Each was refused whole: the directory and the picks are still the fixture's.
    EXPECT_EQ(2, Count(orv::GetObj(LoggedOn().Get(), L"AddressBook")));
}

}  // namespace
