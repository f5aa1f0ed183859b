// A picked list's members through the mail client's own address book: each read in three
// calls (Item, PropertyAccessor, GetProperties), the same list as the member-by-member read
// gives, element errors, and the fallback to that read when the one read can't be had.
#include <gtest/gtest.h>

#include <memory>

#include "create_list.h"
#include "dispatch.h"
#include "host_contract.h"
#include "clipboard_files.h"
#include "list_text.h"
#include "member_lines.h"
#include "recording_view.h"
#include "sim_client.h"
#include "wine_test.h"

namespace {

using orvalis::LeftOut;
using orvtest::RecordingView;
using Lines = std::vector<std::wstring>;
using Ptr = orv::ComPtr<IDispatch>;

// Every kind of entry a list holds: people with all, some or none of their names and
// addresses (one whose primary address the directory knows without the SMTP property), a
// remote user, a public folder, inner lists with and without an address, a contact, a fax,
// a type in the wrong case, a name that trimming empties, addresses that differ in case.
const std::wstring& EveryKindOfMember() {
    static const std::wstring* directory = [] {
        const std::string text = orvtest::FileBytes(orvtest::SourcePath(L"tests\\wine\\data\\every_kind_of_member.json"));
        return new std::wstring(text.begin(), text.end());  // the file is ASCII
    }();
    return *directory;
}

std::wstring Scenario(const std::wstring& picks, const std::wstring& faults = L"[]",
                      const std::wstring& directory = EveryKindOfMember()) {
    return L"{\"cdo\":{\"directory\":" + directory + L",\"picks\":" + picks + L"},\"faults\":" + faults + L"}";
}

std::wstring Text(const LeftOut& l) {
    return std::to_wstring(l.skipped) + L"/" + std::to_wstring(l.didNotFit) + L"/" + std::to_wstring(l.noAddress);
}

// What a run gave: the list text, List1's lines and the left-out report, to compare whole.
struct Result {
    std::wstring text;
    Lines lines;
    std::wstring leftOut;
    bool operator==(const Result& o) const { return text == o.text && lines == o.lines && leftOut == o.leftOut; }
};

void PrintTo(const Result& r, std::ostream* os) {
    *os << ::testing::PrintToString(r.text) << " " << ::testing::PrintToString(r.lines) << " left out " << ::testing::PrintToString(r.leftOut);
}

class ClientMemberRead : public ::testing::Test {
protected:
    void TearDown() override {
        ns_.Reset();
        simclient::LoadScenario(L"{}");
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
    }
    Result Run(const std::wstring& scenario) {
        simclient::LoadScenario(scenario);
        if (!ns_) {
            Ptr app = orv::QueryAs<IDispatch>(orv::CreateObject(contract::kOutlookProgId).Get(), IID_IDispatch);
            ns_ = orv::GetObj(app.Get(), L"GetNamespace", {L"MAPI"});
        }
        simclient::ClearLog();
        orvalis::ListBuilder builder;
        RecordingView view;
        orvalis::ClientAddressBook book(ns_);
        const LeftOut leftOut = builder.CreateList(book, view);
        members_ = orvtest::MemberLines(builder.table(), view.lines);
        return Result{orvalis::BuildListText(builder.table()), view.lines, Text(leftOut)};
    }

    Ptr ns_;
    Lines members_;
};

TEST_F(ClientMemberRead, EachMemberTakesThreeCallsWhateverItsKind) {
    Run(Scenario(LR"([["grp"]])"));
    const std::wstring log = simclient::Log();
    const std::wstring members = log.substr(log.find(L"AddressEntries[grp].Count()\n") + 28);
    std::wstring expected;
    int i = 0;
    for (const wchar_t* id : {L"con", L"ann", L"bob"})
        expected += L"AddressEntries[grp].Item(I4 " + std::to_wstring(++i) + L")\nAddressEntry[" + id + L"].PropertyAccessor()\n" +
                    L"PropertyAccessor[" + id + L"].GetProperties(ARRAY)\n";
    EXPECT_EQ(expected, members.substr(0, expected.size())) << log;

    // Over the whole big list only the members without an SMTP property take more: they
    // are asked member by member, as before (pat, eve twice, the list without an address).
    Run(Scenario(LR"([["dl1"]])"));
    EXPECT_EQ(19, simclient::CallCount(L"AddressEntries", L"Item"));
    EXPECT_EQ(19, simclient::CallCount(L"PropertyAccessor", L"GetProperties"));
    EXPECT_EQ(4, simclient::CallCount(L"AddressEntry", L"Type")) << simclient::Log();
    EXPECT_EQ(3, simclient::CallCount(L"ExchangeUser", L"PrimarySmtpAddress"));
    EXPECT_EQ(1, simclient::CallCount(L"ExchangeDistributionList", L"PrimarySmtpAddress"));
}

// The strongest check: every selection gives the same bytes, lines and report when each
// member is read by its properties as when it is read member by member (forced by a failing
// GetProperties), on this directory and on the sample.
TEST_F(ClientMemberRead, GivesTheSameListAsTheMemberByMemberRead) {
    std::string sample = orvtest::FileBytes(orvtest::SourcePath(L"samples\\scenario.json"));
    ASSERT_FALSE(sample.empty());
    const std::wstring sampleText(sample.begin(), sample.end());  // the sample is ASCII
    const std::wstring sampleDirectory = sampleText.substr(sampleText.find(L'['), sampleText.find(L"\"picks\"") - sampleText.find(L'['));
    struct Case { const char* label; std::wstring picks; std::wstring directory; } cases[] = {
        {"an Exchange list of every kind", LR"([["dl1"]])", EveryKindOfMember()},
        {"a contact group", LR"([["grp"]])", EveryKindOfMember()},
        {"lists and entries picked together", LR"([["ann","dl2","dl1","grp","pat"]])", EveryKindOfMember()},
        {"the sample", LR"([["ann","sales","friends","omar"]])", sampleDirectory.substr(0, sampleDirectory.rfind(L']') + 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Result byProperties = Run(Scenario(c.picks, L"[]", c.directory));
        const Lines members = members_;
        EXPECT_GT(simclient::CallCount(L"PropertyAccessor", L"GetProperties"), 0);
        EXPECT_FALSE(byProperties.lines.empty());
        // (Not a failing accessor: the member-by-member read asks it too, for an Exchange entry
        // without a primary address.)
        EXPECT_EQ(byProperties, Run(Scenario(c.picks, LR"([{"object":"PropertyAccessor","member":"GetProperties"}])", c.directory)));
        EXPECT_EQ(members, members_);
    }
}

TEST_F(ClientMemberRead, ReadsEachKindOfMemberByTheRulesOfItsType) {
    Run(Scenario(LR"([["dl1"]])"));
    EXPECT_EQ((Lines{
                  L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee",
                  L"Lee, Bob (bob@example.com) => bob@example.com|Bob Lee",
                  L"Cy (HQ) (cy@example.com) => cy@example.com|Cy ",
                  L"Di Ray (di@example.com) => di@example.com| Ray",
                  L"Dee (dee@example.com) => dee@example.com|Dee",
                  L"Pat (pat@example.com) => pat@example.com|Pat ",
                  L"Far Away (far@example.com) => far@example.com|Far ",
                  L"Help Desk (Pub) (help@example.com) => help@example.com|Help Desk (Pub)",
                  L" (p@example.com) => p@example.com|",
                  L"Cora (cora@example.com) => cora@example.com|Cora",
                  L"Ann Upper (ANN@example.com) => ANN@example.com|Ann Upper",
                  L"Team Two (dl2@example.com) => dl2@example.com|Team Two",
              }),
              members_);
}

TEST_F(ClientMemberRead, AnElementThatCannotBeReadIsAbsentOnlyWhenItIsNotThere) {
    struct Case { const char* label; const wchar_t* rule; Lines members; const wchar_t* leftOut; } cases[] = {
        {"given name not found: no given name", LR"("element":3,"hresult":"0x8004010F")", {L"bob@example.com| Lee"}, L"0/0/0"},
        {"given name failed otherwise: read member by member", LR"("element":3,"hresult":"0x80040115")", {L"bob@example.com|Bob Lee"}, L"0/0/0"},
        {"SMTP address not found: the primary address", LR"("element":5,"hresult":"0x8004010F")", {L"bob@example.com|Bob Lee"}, L"0/0/0"},
        {"no address type: no member", LR"("element":0,"hresult":"0x8004010F")", {}, L"0/0/0"},
        {"every element failed: read member by member", LR"("hresult":"0x80004005")", {L"bob@example.com|Bob Lee"}, L"0/0/0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Result r = Run(Scenario(LR"([["grp"]])", LR"([{"object":"PropertyAccessor","id":"bob","member":"GetProperties","returns":"elementError",)" +
                                                           std::wstring(c.rule) + L"}]"));
        Lines bob;
        for (const auto& m : members_)
            if (m.find(L"=> bob@") != std::wstring::npos) bob.push_back(m.substr(m.find(L"=> ") + 3));
        EXPECT_EQ(c.members, bob);
        EXPECT_EQ(c.leftOut, r.leftOut);
    }
}

TEST_F(ClientMemberRead, AMemberWhoseOneReadFailsIsReadMemberByMemberAndOnlyLostWhenThatFailsToo) {
    const Result clean = Run(Scenario(LR"([["grp"]])"));
    struct Case { const char* label; const wchar_t* faults; const wchar_t* then; const wchar_t* leftOut; } cases[] = {
        {"the accessor fails", LR"([{"object":"AddressEntry","id":"bob","member":"PropertyAccessor"}])",
         L"AddressEntry[bob].Type()\nAddressEntry[bob].GetExchangeUser()\n", L"0/0/0"},
        {"the accessor is Nothing", LR"([{"object":"AddressEntry","id":"bob","member":"PropertyAccessor","returns":"nothing"}])",
         L"AddressEntry[bob].Type()\n", L"0/0/0"},
        {"GetProperties fails", LR"([{"object":"PropertyAccessor","id":"ann","member":"GetProperties"}])",
         L"AddressEntry[ann].Type()\nAddressEntry[ann].Address()\nAddressEntry[ann].Name()\n", L"0/0/0"},
        {"GetProperties answers no array", LR"([{"object":"PropertyAccessor","id":"ann","member":"GetProperties","returns":"wrongType"}])",
         L"AddressEntry[ann].Type()\n", L"0/0/0"},
        {"both reads fail", LR"([{"object":"PropertyAccessor","id":"ann","member":"GetProperties"},{"object":"AddressEntry","id":"ann","member":"Type"}])",
         L"AddressEntry[ann].Type()\nAddressEntries[grp].Item(I4 3)\n", L"1/0/0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Result r = Run(Scenario(LR"([["grp"]])", c.faults));
        const std::wstring log = simclient::Log();
        EXPECT_NE(std::wstring::npos, log.find(c.then)) << log;
        if (std::wstring(c.leftOut) == L"0/0/0") {
            EXPECT_EQ(clean, r);
        } else {
            EXPECT_EQ(std::wstring::npos, r.text.find(L"ann@")) << r.text;
            EXPECT_NE(std::wstring::npos, r.text.find(L"bob@")) << "the members after it go on";
            EXPECT_EQ(c.leftOut, r.leftOut);
        }
    }
}

}  // namespace
