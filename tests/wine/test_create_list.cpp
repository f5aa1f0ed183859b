// "Create List" through the CDO stand-in: expansion, names, duplicates, cancel and rebuild,
// the exact calls made, the skip rules under injected faults, the full table, and releases.
#include <gtest/gtest.h>

#include <memory>

#include "create_list.h"
#include "dispatch.h"
#include "host_contract.h"
#include "member_lines.h"
#include "recording_view.h"
#include "sim_client.h"

namespace {

using orvalis::LeftOut;
using orvtest::RecordingView;
using Lines = std::vector<std::wstring>;
using contract::IID_CdoSession;

// One directory for every case; the cases differ in what is picked and what fails.
const wchar_t kDirectory[] = LR"J([
 {"id":"ann","name":"Ann Lee (Sales)","type":"SMTP","address":"ann@example.com"},
 {"id":"up","name":"Ann Upper","type":"SMTP","address":"ANN@example.com"},
 {"id":"paren","name":"(x)","type":"SMTP","address":"p@example.com"},
 {"id":"bob","name":"Lee, Bob","type":"EX","address":"/o=Ex/cn=bob","fields":[["PR_SMTP_ADDRESS","bob@example.com"],["PR_GIVEN_NAME","Bob"],["PR_SURNAME","Lee"]]},
 {"id":"cy","name":"Cy (HQ)","type":"EX","fields":[["PR_SMTP_ADDRESS","cy@example.com"],["PR_GIVEN_NAME","Cy"]]},
 {"id":"di","name":"Di Ray","type":"EX","fields":[["PR_SURNAME","Ray"],["PR_SMTP_ADDRESS","di@example.com"]]},
 {"id":"ed","name":"Ed (Ops)","type":"EX","fields":{"PR_SMTP_ADDRESS":"ed@example.com"}},
 {"id":"low","type":"smtp","address":"l@example.com"},{"id":"mix","type":"Ex","address":"m@example.com"},
 {"id":"fax","type":"FAX","address":"+1 555 0100"},
 {"id":"noad","name":"No Address","type":"SMTP"},
 {"id":"noex","name":"No Smtp","type":"EX","fields":[["PR_GIVEN_NAME","No"]]},
 {"id":"dl1","name":"Sales","type":"EX","members":["ann","bob","dl2"]},
 {"id":"dl2","name":"Team Two","type":"EX","members":["cy"],"fields":[["PR_SMTP_ADDRESS","dl2@example.com"]]},
 {"id":"pdl","name":"Mine","type":"MAPIPDL","displayType":5,"members":["di","ann"]}])J";

std::wstring Scenario(const std::wstring& picks, const std::wstring& faults = L"[]", const wchar_t* dir = kDirectory) {
    return L"{\"cdo\":{\"directory\":" + std::wstring(dir) + L",\"picks\":" + picks + L"},\"faults\":" + faults + L"}";
}

class CreateList : public ::testing::Test {
protected:
    void SetUp() override { simclient::LoadScenario(Scenario(L"[]")); }
    void TearDown() override {
        builder_.reset();
        session_.Reset();
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
    }
    void LogOn() {
        session_ = orv::QueryAs<IDispatch>(orv::CreateObject(L"MAPI.Session").Get(), IID_CdoSession);
        orv::Call(session_.Get(), L"Logon", {orv::Named(L"ShowDialog", orv::Variant::Bool(false)),
                                              orv::Named(L"NewSession", orv::Variant::Bool(false))});
    }
    LeftOut Run(const std::wstring& scenario) {
        simclient::LoadScenario(scenario);
        if (!session_) LogOn();
        simclient::ClearLog();
        view_ = RecordingView{};
        orvalis::CdoAddressBook book(session_);
        return builder_->CreateList(book, view_);
    }
    Lines Members() const { return orvtest::MemberLines(builder_->table(), view_.lines); }
    Lines Addresses() const { return orvtest::Addresses(builder_->table()); }

    std::unique_ptr<orvalis::ListBuilder> builder_ = std::make_unique<orvalis::ListBuilder>();
    orv::ComPtr<IDispatch> session_;
    RecordingView view_;
};

std::wstring Text(const LeftOut& l) {
    return std::to_wstring(l.skipped) + L"/" + std::to_wstring(l.didNotFit) + L"/" + std::to_wstring(l.noAddress);
}

TEST_F(CreateList, TurnsPicksIntoMembers) {
    struct Case { const char* label; const wchar_t* picks; Lines members; const wchar_t* leftOut; };
    const Case cases[] = {
        {"SMTP remark trimmed; Exchange given and surname", LR"([["ann","bob"]])",
         {L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee", L"Lee, Bob (bob@example.com) => bob@example.com|Bob Lee"}, L"0/0/0"},
        {"Exchange with one name part, or none: untrimmed display name", LR"([["cy","di","ed"]])",
         {L"Cy (HQ) (cy@example.com) => cy@example.com|Cy ", L"Di Ray (di@example.com) => di@example.com| Ray",
          L"Ed (Ops) (ed@example.com) => ed@example.com|Ed (Ops)"}, L"0/0/0"},
        {"a name that is only a remark becomes empty", LR"([["paren"]])", {L" (p@example.com) => p@example.com|"}, L"0/0/0"},
        {"display type 1 expanded one level; inner list is one member", LR"([["dl1"]])",
         {L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee", L"Lee, Bob (bob@example.com) => bob@example.com|Bob Lee",
          L"Team Two (dl2@example.com) => dl2@example.com|Team Two"}, L"0/0/0"},
        {"display type 5 expanded", LR"([["pdl"]])",
         {L"Di Ray (di@example.com) => di@example.com| Ray", L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee"}, L"0/0/0"},
        {"duplicates keep the first occurrence", LR"([["bob","dl1","bob"]])",
         {L"Lee, Bob (bob@example.com) => bob@example.com|Bob Lee", L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee",
          L"Team Two (dl2@example.com) => dl2@example.com|Team Two"}, L"0/0/0"},
        {"addresses differing in case are two members", LR"([["ann","up"]])",
         {L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee", L"Ann Upper (ANN@example.com) => ANN@example.com|Ann Upper"}, L"0/0/0"},
        {"types compared exactly; other types ignored", LR"([["low","mix","fax"]])", {}, L"0/0/0"},
        {"an empty selection", LR"([[]])", {}, L"0/0/0"},
        {"entries without an address are counted, not added", LR"([["noad","noex","noad"]])", {}, L"0/0/3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        LeftOut leftOut = Run(Scenario(c.picks));
        EXPECT_EQ(c.members, Members());
        EXPECT_EQ(c.leftOut, Text(leftOut));
    }
}

TEST_F(CreateList, StepsRunInOrderWithTheHourglassAroundTheExpansion) {
    Run(Scenario(LR"([["ann"]])"));
    EXPECT_EQ((Lines{L"clear", L"process, 0 lines", L"pointer 11", L"pointer 0"}), view_.events);
    EXPECT_EQ(Lines{L"Ann Lee (ann@example.com)"}, view_.lines);
}

TEST_F(CreateList, CancelOrFailedDialogExpandsThePreviousSelectionAsItIsNow) {
    Run(Scenario(LR"(["cancel"])"));  // first use: nothing to rebuild
    EXPECT_EQ(Lines{}, Members());
    EXPECT_EQ(nullptr, builder_->myRecips());
    EXPECT_EQ((Lines{L"clear", L"process, 0 lines", L"pointer 11", L"pointer 0"}), view_.events);

    Run(Scenario(LR"([["pdl"]])"));
    EXPECT_EQ((Lines{L"di@example.com", L"ann@example.com"}), Addresses());
    // The list changed in the directory since; the user cancels: the old picks, new members.
    std::wstring changed = kDirectory;
    changed.replace(changed.find(LR"(["di","ann"])"), 12, LR"(["ed","di"])");
    Run(Scenario(LR"(["cancel"])", L"[]", changed.c_str()));
    EXPECT_EQ((Lines{L"ed@example.com", L"di@example.com"}), Addresses());
    Run(Scenario(LR"([["ann"]])", LR"([{"object":"Session","member":"AddressBook","hresult":"0x80004005"}])"));
    EXPECT_EQ((Lines{L"di@example.com", L"ann@example.com"}), Addresses());
    // No session at all counts as a failed dialog too.
    view_ = RecordingView{};
    orvalis::CdoAddressBook noSession(nullptr);
    builder_->CreateList(noSession, view_);
    EXPECT_EQ((Lines{L"di@example.com", L"ann@example.com"}), Addresses());
    EXPECT_EQ(1, simclient::LiveObjects(L"Recipients"));  // myRecips keeps its collection
}

TEST_F(CreateList, MakesExactlyTheseCalls) {
    Run(Scenario(LR"([["ann","pdl"]])"));
    const wchar_t* expected =
        L"Session.AddressBook(Title:=BSTR \"Select Names\", ForceResolution:=BOOL True, RecipLists:=I2 1, "
        L"ToLabel:=BSTR \"Names\")\nRecipients._NewEnum()\n"
        L"Recipient[ann].DisplayType()\nRecipient[ann].AddressEntry()\n"
        L"AddressEntry[ann].Type()\nAddressEntry[ann].Address()\nAddressEntry[ann].Name()\n"
        L"Recipient[pdl].DisplayType()\nRecipient[pdl].AddressEntry()\nAddressEntry[pdl].Members()\nAddressEntries[pdl].Count()\n"
        L"Recipient[pdl].AddressEntry()\nAddressEntry[pdl].Members()\nAddressEntries[pdl].Item(I4 1)\n"
        L"AddressEntry[di].Type()\nAddressEntry[di].Fields()\nFields[di]._NewEnum()\n"
        L"Field[di].ID()\nField[di].ID()\nField[di].ID()\nField[di].ID()\n"  // name, type, address, display type
        L"Field[di].ID()\nField[di].Value()\nField[di].ID()\nField[di].Value()\nAddressEntry[di].Name()\n"
        L"Recipient[pdl].AddressEntry()\nAddressEntry[pdl].Members()\nAddressEntries[pdl].Item(I4 2)\n"
        L"AddressEntry[ann].Type()\nAddressEntry[ann].Address()\nAddressEntry[ann].Name()\n";
    EXPECT_EQ(expected, simclient::Log());
}

TEST_F(CreateList, AFailingMemberIsSkippedAndAFailingRecipientWhollySo) {
    struct Case { const char* label; std::wstring faults; Lines addresses; int skipped; };
    const wchar_t* after = LR"(","hresult":"0x80004005","skip":1,"times":1}])";
    const Case cases[] = {
        {"member fetch", LR"([{"object":"AddressEntries","id":"dl1","member":"Item)" + std::wstring(after),
         {L"ann@example.com", L"dl2@example.com", L"ed@example.com"}, 1},
        {"member's Type", LR"([{"object":"AddressEntry","id":"bob","member":"Type"}])",
         {L"ann@example.com", L"dl2@example.com", L"ed@example.com"}, 1},
        {"member's Address", LR"([{"object":"AddressEntry","id":"ann","member":"Address"}])",
         {L"bob@example.com", L"dl2@example.com", L"ed@example.com"}, 1},
        {"member's Fields", LR"([{"object":"AddressEntry","id":"bob","member":"Fields"}])",
         {L"ann@example.com", L"dl2@example.com", L"ed@example.com"}, 1},
        {"a field's Value", LR"([{"object":"Field","id":"bob","member":"Value","skip":1}])",
         {L"ann@example.com", L"dl2@example.com", L"ed@example.com"}, 1},
        {"the list's members on the second fetch", LR"([{"object":"AddressEntry","id":"dl1","member":"Members)" + std::wstring(after),
         {L"bob@example.com", L"dl2@example.com", L"ed@example.com"}, 1},
        {"recipient's DisplayType", LR"([{"object":"Recipient","id":"dl1","member":"DisplayType"}])", {L"ed@example.com"}, 1},
        {"recipient's Members", LR"([{"object":"AddressEntry","id":"dl1","member":"Members","times":1}])", {L"ed@example.com"}, 1},
        {"recipient's Count", LR"([{"object":"AddressEntries","id":"dl1","member":"Count"}])", {L"ed@example.com"}, 1},
        {"enumerating the picks", LR"([{"object":"Recipients","member":"_NewEnum"}])", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        LeftOut leftOut = Run(Scenario(LR"([["dl1","ed"]])", c.faults));
        EXPECT_EQ(c.addresses, Addresses());
        EXPECT_EQ(c.skipped, leftOut.skipped);
        EXPECT_EQ(L"pointer 0", view_.events.back());
    }
}

TEST_F(CreateList, AFullTableCountsWhatDidNotFit) {
    std::wstring dir = L"[{\"id\":\"big\",\"name\":\"All\",\"type\":\"SMTP\",\"members\":[";
    for (int i = 0; i <= orvalis::MemberTable::kRows; ++i) dir += (i ? L",\"m" : L"\"m") + std::to_wstring(i) + L"\"";
    dir += L",\"m0\"]}";
    for (int i = 0; i <= orvalis::MemberTable::kRows; ++i)
        dir += L",{\"id\":\"m" + std::to_wstring(i) + L"\",\"type\":\"SMTP\",\"address\":\"m" + std::to_wstring(i) + L"@x\"}";
    dir += L"]";
    LeftOut leftOut = Run(Scenario(LR"([["big","m0","m8001"]])", L"[]", dir.c_str()));
    EXPECT_EQ(8001, builder_->table().memberCount());
    EXPECT_EQ(8001u, view_.lines.size());
    EXPECT_EQ(L"m8000@x", builder_->table().Address(8000));
    EXPECT_EQ(L"0/2/0", Text(leftOut));  // m8001 twice; m0 is a duplicate, not a misfit
}

TEST(DescribeLeftOut, SaysHowManyAndWhy) {
    EXPECT_EQ(L"", orvalis::DescribeLeftOut(LeftOut{}));
    EXPECT_EQ(L"1 entry was left out of the list:\r\n1 entry has no e-mail address.",
              orvalis::DescribeLeftOut(LeftOut{0, 0, 1}));
    EXPECT_EQ(L"6 entries were left out of the list:\r\n1 entry could not be read from the address book.\r\n"
              L"2 entries came after the list was full (8001 members).\r\n3 entries have no e-mail address.",
              orvalis::DescribeLeftOut(LeftOut{1, 2, 3}));
}

}  // namespace
