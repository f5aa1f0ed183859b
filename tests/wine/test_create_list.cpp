// "Create List" through either address book, CDO's and the mail client's own: one table of
// picks and what they give, run over both (with the book's own answer only where the two
// differ), the steps and the exact calls of each, cancel and rebuild, the skip rules under
// injected faults, the full table and the releases; then what only a pair of books can show.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "clipboard_files.h"
#include "create_list.h"
#include "dispatch.h"
#include "host_contract.h"
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

// One directory for every case and both books: people of each kind and name form, addresses
// differing in case, address types differing in case, a fax number, entries without an address,
// an Exchange list holding a nested list, personal lists, a contact, and a person whose SMTP
// address is only a Unicode property (which the client reads and CDO, asking for the 8-bit
// tag, doesn't).
const wchar_t kDirectory[] = LR"J([
 {"id":"ann","name":"Ann Lee (Sales)","type":"SMTP","address":"ann@example.com"},
 {"id":"up","name":"Ann Upper","type":"SMTP","address":"ANN@example.com"},
 {"id":"paren","name":"(x)","type":"SMTP","address":"p@example.com"},
 {"id":"bob","name":"Lee, Bob","type":"EX","address":"/o=Ex/cn=bob","fields":[["PR_SMTP_ADDRESS","bob@example.com"],["PR_GIVEN_NAME","Bob"],["PR_SURNAME","Lee"]]},
 {"id":"cy","name":"Cy (HQ)","type":"EX","fields":[["PR_SMTP_ADDRESS","cy@example.com"],["PR_GIVEN_NAME","Cy"]]},
 {"id":"di","name":"Di Ray","type":"EX","fields":[["PR_SURNAME","Ray"],["PR_SMTP_ADDRESS","di@example.com"]]},
 {"id":"ed","name":"Ed (Ops)","type":"EX","fields":{"PR_SMTP_ADDRESS":"ed@example.com"}},
 {"id":"dee","name":"Dee","type":"EX","primarySmtpAddress":"","fields":{"0x39FE001F":"dee@example.com"}},
 {"id":"eve","name":"Eve","type":"EX","address":"/o=Ex/cn=eve"},
 {"id":"low","type":"smtp","address":"l@example.com"},{"id":"mix","type":"Ex","address":"m@example.com"},
 {"id":"fax","name":"Front desk","type":"FAX","address":"+1 555 0100"},
 {"id":"noad","name":"No Address","type":"SMTP"},
 {"id":"noex","name":"No Smtp","type":"EX","fields":[["PR_GIVEN_NAME","No"]]},
 {"id":"con","name":"Cora","type":"SMTP","address":"cora@example.com","userType":10},
 {"id":"dl1","name":"Sales","type":"EX","fields":{"PR_SMTP_ADDRESS":"sales@example.com"},"members":["ann","bob","dl2","fax"]},
 {"id":"dl2","name":"Team Two","type":"EX","members":["cy"],"fields":[["PR_SMTP_ADDRESS","dl2@example.com"]]},
 {"id":"pdl","name":"Mine","type":"MAPIPDL","displayType":5,"members":["di","ann"]},
 {"id":"grp","name":"Group","type":"MAPIPDL","displayType":5,"members":["con","ann"]}])J";

std::wstring Scenario(const std::wstring& picks, const std::wstring& faults = L"[]", const wchar_t* dir = kDirectory) {
    return L"{\"cdo\":{\"directory\":" + std::wstring(dir) + L",\"picks\":" + picks + L"},\"faults\":" + faults + L"}";
}

std::wstring Text(const LeftOut& l) {
    return std::to_wstring(l.skipped) + L"/" + std::to_wstring(l.didNotFit) + L"/" + std::to_wstring(l.noAddress);
}

enum class Book { Cdo, Client };

std::string BookName(const testing::TestParamInfo<Book>& info) { return info.param == Book::Cdo ? "Cdo" : "Client"; }

// A CDO session logged on as the window's load step does, or the namespace of the client's
// application.
Ptr OpenSession(Book book) {
    if (book == Book::Client) {
        Ptr app = orv::QueryAs<IDispatch>(orv::CreateObject(contract::kOutlookProgId).Get(), IID_IDispatch);
        return orv::GetObj(app.Get(), L"GetNamespace", {L"MAPI"});
    }
    Ptr session = orv::QueryAs<IDispatch>(orv::CreateObject(contract::kCdoProgId).Get(), contract::IID_CdoSession);
    orv::Call(session.Get(), L"Logon", {orv::Named(L"ShowDialog", orv::Variant::Bool(false)),
                                         orv::Named(L"NewSession", orv::Variant::Bool(false))});
    return session;
}

std::unique_ptr<orvalis::AddressBook> BookOn(Book book, Ptr session) {
    if (book == Book::Cdo) return std::make_unique<orvalis::CdoAddressBook>(std::move(session));
    return std::make_unique<orvalis::ClientAddressBook>(std::move(session));
}

// The CDO dialog's call, and the client's dialog set up and shown, up to the user's answer.
const std::wstring kCdoDialogCall =
    L"Session.AddressBook(Title:=BSTR \"Select Names\", ForceResolution:=BOOL True, RecipLists:=I2 1, "
    L"ToLabel:=BSTR \"Names\")\n";
const std::wstring kClientDialogCalls =
    L"NameSpace.GetSelectNamesDialog()\n"
    L"SelectNamesDialog.Caption() = BSTR \"Select Names\"\n"
    L"SelectNamesDialog.ToLabel() = BSTR \"Names\"\n"
    L"SelectNamesDialog.NumberOfRecipientSelectors() = I4 1\n"
    L"SelectNamesDialog.AllowMultipleSelection() = BOOL True\n"
    L"SelectNamesDialog.ForceResolution() = BOOL True\n"
    L"SelectNamesDialog.Display()\n";

class CreateList : public ::testing::TestWithParam<Book> {
protected:
    void SetUp() override { simclient::LoadScenario(Scenario(L"[]")); }
    void TearDown() override {
        builder_.reset();
        session_.Reset();
        simclient::LoadScenario(L"{}");
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
    }
    Book book() const { return GetParam(); }
    // A run in a new book of this kind on the test's one session, as each load of the window
    // makes one.
    LeftOut Run(const std::wstring& scenario) {
        simclient::LoadScenario(scenario);
        if (!session_) session_ = OpenSession(book());
        simclient::ClearLog();
        view_ = RecordingView{};
        return builder_->CreateList(*BookOn(book(), session_), view_);
    }
    // The fault rule that makes this book's dialog fail.
    std::wstring FailingDialog() const {
        return book() == Book::Cdo ? LR"([{"object":"Session","member":"AddressBook","hresult":"0x80004005"}])"
                                   : LR"([{"object":"SelectNamesDialog","member":"Display","hresult":"0x80004005"}])";
    }
    Lines Members() const { return orvtest::MemberLines(builder_->table(), view_.lines); }
    Lines Addresses() const { return orvtest::Addresses(builder_->table()); }

    std::unique_ptr<orvalis::ListBuilder> builder_ = std::make_unique<orvalis::ListBuilder>();
    Ptr session_;
    RecordingView view_;
};

INSTANTIATE_TEST_SUITE_P(BothBooks, CreateList, testing::Values(Book::Cdo, Book::Client), BookName);

TEST_P(CreateList, TurnsPicksIntoMembers) {
    struct Answer {
        Lines members;
        const wchar_t* leftOut;
    };
    struct Case {
        const char* label;
        const wchar_t* picks;
        Answer both;
        std::optional<Answer> cdo;  // where CDO's answer differs
    };
    const Lines annAndBob = {L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee",
                             L"Lee, Bob (bob@example.com) => bob@example.com|Bob Lee"};
    const Lines salesList = {L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee",
                             L"Lee, Bob (bob@example.com) => bob@example.com|Bob Lee",
                             L"Team Two (dl2@example.com) => dl2@example.com|Team Two"};
    const Case cases[] = {
        {"SMTP remark trimmed; Exchange given and surname", LR"([["ann","bob"]])", {annAndBob, L"0/0/0"}, {}},
        {"Exchange with one name part, or none: untrimmed display name", LR"([["cy","di","ed"]])",
         {{L"Cy (HQ) (cy@example.com) => cy@example.com|Cy ", L"Di Ray (di@example.com) => di@example.com| Ray",
           L"Ed (Ops) (ed@example.com) => ed@example.com|Ed (Ops)"}, L"0/0/0"}, {}},
        {"one name part: the blank stays", LR"([["cy"]])", {{L"Cy (HQ) (cy@example.com) => cy@example.com|Cy "}, L"0/0/0"}, {}},
        {"a name that is only a remark becomes empty", LR"([["paren"]])", {{L" (p@example.com) => p@example.com|"}, L"0/0/0"}, {}},
        {"a list expanded one level; the inner list is one member; a fax member adds nothing", LR"([["dl1"]])",
         {salesList, L"0/0/0"}, {}},
        {"a personal list (display type 5) expanded", LR"([["pdl"]])",
         {{L"Di Ray (di@example.com) => di@example.com| Ray", L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee"}, L"0/0/0"}, {}},
        {"a contact group of a contact and a person expanded", LR"([["grp"]])",
         {{L"Cora (cora@example.com) => cora@example.com|Cora", L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee"}, L"0/0/0"}, {}},
        {"duplicates keep the first occurrence", LR"([["bob","dl1","bob"]])",
         {{L"Lee, Bob (bob@example.com) => bob@example.com|Bob Lee", L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee",
           L"Team Two (dl2@example.com) => dl2@example.com|Team Two"}, L"0/0/0"}, {}},
        {"addresses differing in case are two members", LR"([["ann","up"]])",
         {{L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee", L"Ann Upper (ANN@example.com) => ANN@example.com|Ann Upper"},
          L"0/0/0"}, {}},
        {"types compared exactly; other types ignored", LR"([["low","mix","fax"]])", {{}, L"0/0/0"}, {}},
        {"a fax entry adds nothing", LR"([["fax"]])", {{}, L"0/0/0"}, {}},
        {"an empty selection", LR"([[]])", {{}, L"0/0/0"}, {}},
        {"entries without an address are counted, not added", LR"([["noad","noex","noad"]])", {{}, L"0/0/3"}, {}},
        {"neither address nor property: left out", LR"([["eve"]])", {{}, L"0/0/1"}, {}},
        {"no primary address: the client reads the SMTP property", LR"([["dee"]])",
         {{L"Dee (dee@example.com) => dee@example.com|Dee"}, L"0/0/0"}, Answer{{}, L"0/0/1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Answer& want = book() == Book::Cdo && c.cdo ? *c.cdo : c.both;
        LeftOut leftOut = Run(Scenario(c.picks));
        EXPECT_EQ(want.members, Members());
        EXPECT_EQ(want.leftOut, Text(leftOut));
        EXPECT_EQ((Lines{L"clear", L"process, 0 lines", L"pointer 11", L"pointer 0"}), view_.events);
    }
}

TEST_P(CreateList, StepsRunInOrderWithTheHourglassAroundTheExpansion) {
    Run(Scenario(LR"([["ann"]])"));
    EXPECT_EQ((Lines{L"clear", L"process, 0 lines", L"pointer 11", L"pointer 0"}), view_.events);
    EXPECT_EQ(Lines{L"Ann Lee (ann@example.com)"}, view_.lines);
}

TEST_P(CreateList, MakesExactlyTheseCalls) {
    if (book() == Book::Cdo) {
        Run(Scenario(LR"([["ann","pdl"]])"));
        EXPECT_EQ(kCdoDialogCall +
                      L"Recipients._NewEnum()\n"
                      L"Recipient[ann].DisplayType()\nRecipient[ann].AddressEntry()\n"
                      L"AddressEntry[ann].Type()\nAddressEntry[ann].Address()\nAddressEntry[ann].Name()\n"
                      L"Recipient[pdl].DisplayType()\nRecipient[pdl].AddressEntry()\nAddressEntry[pdl].Members()\n"
                      L"AddressEntries[pdl].Count()\n"
                      L"Recipient[pdl].AddressEntry()\nAddressEntry[pdl].Members()\nAddressEntries[pdl].Item(I4 1)\n"
                      L"AddressEntry[di].Type()\nAddressEntry[di].Fields()\nFields[di]._NewEnum()\n"
                      L"Field[di].ID()\nField[di].ID()\nField[di].ID()\nField[di].ID()\n"  // name, type, address, display type
                      L"Field[di].ID()\nField[di].Value()\nField[di].ID()\nField[di].Value()\nAddressEntry[di].Name()\n"
                      L"Recipient[pdl].AddressEntry()\nAddressEntry[pdl].Members()\nAddressEntries[pdl].Item(I4 2)\n"
                      L"AddressEntry[ann].Type()\nAddressEntry[ann].Address()\nAddressEntry[ann].Name()\n",
                  simclient::Log());
        return;
    }
    Run(Scenario(LR"([["ann","grp","dee"]])"));
    const std::wstring log = simclient::Log();
    const std::wstring dialog = kClientDialogCalls + L"SelectNamesDialog.Recipients()\nRecipients._NewEnum()\n";
    ASSERT_EQ(0u, log.find(dialog)) << log;
    EXPECT_EQ(L"Recipient[ann].AddressEntry()\nAddressEntry[ann].AddressEntryUserType()\n"
              L"AddressEntry[ann].Type()\nAddressEntry[ann].Address()\nAddressEntry[ann].Name()\n"
              L"Recipient[grp].AddressEntry()\nAddressEntry[grp].AddressEntryUserType()\nAddressEntry[grp].Members()\n"
              L"AddressEntries[grp].Count()\n"
              L"AddressEntries[grp].Item(I4 1)\nAddressEntry[con].PropertyAccessor()\nPropertyAccessor[con].GetProperties(ARRAY)\n"
              L"AddressEntries[grp].Item(I4 2)\nAddressEntry[ann].PropertyAccessor()\nPropertyAccessor[ann].GetProperties(ARRAY)\n"
              L"Recipient[dee].AddressEntry()\nAddressEntry[dee].AddressEntryUserType()\n"
              L"AddressEntry[dee].Type()\nAddressEntry[dee].GetExchangeUser()\n"
              L"ExchangeUser[dee].PrimarySmtpAddress()\nExchangeUser[dee].FirstName()\nExchangeUser[dee].LastName()\n"
              L"ExchangeUser[dee].Name()\nAddressEntry[dee].PropertyAccessor()\n"
              L"PropertyAccessor[dee].GetProperty(BSTR \"http://schemas.microsoft.com/mapi/proptag/0x39FE001F\")\n",
              log.substr(dialog.size()));
}

TEST_P(CreateList, CancelOrFailedDialogExpandsThePreviousSelectionAsItIsNow) {
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
    EXPECT_EQ((Lines{L"ed@example.com", L"di@example.com"}), Addresses()) << "the previous selection, rebuilt";
    Run(Scenario(LR"([["ann"]])", FailingDialog()));
    EXPECT_EQ((Lines{L"di@example.com", L"ann@example.com"}), Addresses()) << "a failing dialog counts as cancelled";
    // No session at all counts as a failed dialog too.
    view_ = RecordingView{};
    builder_->CreateList(*BookOn(book(), nullptr), view_);
    EXPECT_EQ((Lines{L"di@example.com", L"ann@example.com"}), Addresses());
    EXPECT_EQ(1, simclient::LiveObjects(L"Recipients"));  // myRecips keeps its collection
}

TEST_P(CreateList, AFailureSkipsTheMemberOrTheRecipientItHitAndTheRunGoesOn) {
    struct Case {
        const char* label;
        std::optional<Book> only;  // a rule for objects only that book has
        std::wstring picks, faults;
        Lines addresses;
        int skipped;
    };
    const std::wstring dl1ed = LR"([["dl1","ed"]])", dl1dee = LR"([["dl1","dee"]])";
    // The client reads a list's member by its properties, in one call; where that read fails it
    // reads it member by member, as CDO always does, and a fault on those members counts.
    const std::wstring byMembers = book() == Book::Client ? LR"({"object":"PropertyAccessor","member":"GetProperties"},)" : L"";
    const wchar_t* once = LR"(","hresult":"0x80004005","skip":1,"times":1}])";
    const Case cases[] = {
        {"a member fetch", {}, dl1ed, LR"([{"object":"AddressEntries","id":"dl1","member":"Item)" + std::wstring(once),
         {L"ann@example.com", L"dl2@example.com", L"ed@example.com"}, 1},
        {"a member's Type", {}, dl1ed, L"[" + byMembers + LR"({"object":"AddressEntry","id":"bob","member":"Type"}])",
         {L"ann@example.com", L"dl2@example.com", L"ed@example.com"}, 1},
        {"a member's Address", {}, dl1ed, L"[" + byMembers + LR"({"object":"AddressEntry","id":"ann","member":"Address"}])",
         {L"bob@example.com", L"dl2@example.com", L"ed@example.com"}, 1},
        {"the list's count", {}, dl1ed, LR"([{"object":"AddressEntries","id":"dl1","member":"Count"}])", {L"ed@example.com"}, 1},
        {"enumerating the picks", {}, dl1ed, LR"([{"object":"Recipients","member":"_NewEnum"}])", {}, 0},
        {"a member's Fields", Book::Cdo, dl1ed, LR"([{"object":"AddressEntry","id":"bob","member":"Fields"}])",
         {L"ann@example.com", L"dl2@example.com", L"ed@example.com"}, 1},
        {"a field's Value", Book::Cdo, dl1ed, LR"([{"object":"Field","id":"bob","member":"Value","skip":1}])",
         {L"ann@example.com", L"dl2@example.com", L"ed@example.com"}, 1},
        {"the list's members on the second fetch", Book::Cdo, dl1ed,
         LR"([{"object":"AddressEntry","id":"dl1","member":"Members)" + std::wstring(once),
         {L"bob@example.com", L"dl2@example.com", L"ed@example.com"}, 1},
        {"the recipient's DisplayType", Book::Cdo, dl1ed, LR"([{"object":"Recipient","id":"dl1","member":"DisplayType"}])",
         {L"ed@example.com"}, 1},
        {"the recipient's Members", Book::Cdo, dl1ed, LR"([{"object":"AddressEntry","id":"dl1","member":"Members","times":1}])",
         {L"ed@example.com"}, 1},
        {"a member fetch, once", Book::Client, dl1dee, LR"([{"object":"AddressEntries","id":"dl1","member":"Item","skip":1,"times":1}])",
         {L"ann@example.com", L"dl2@example.com", L"dee@example.com"}, 1},
        {"the first member's Type, read member by member", Book::Client, dl1dee,
         L"[" + byMembers + LR"({"object":"AddressEntry","id":"ann","member":"Type"}])",
         {L"bob@example.com", L"dl2@example.com", L"dee@example.com"}, 1},
        {"a user's primary address", Book::Client, dl1dee,
         L"[" + byMembers + LR"({"object":"ExchangeUser","id":"bob","member":"PrimarySmtpAddress"}])",
         {L"ann@example.com", L"dl2@example.com", L"dee@example.com"}, 1},
        {"a user's first name", Book::Client, dl1dee, L"[" + byMembers + LR"({"object":"ExchangeUser","id":"bob","member":"FirstName"}])",
         {L"ann@example.com", L"dl2@example.com", L"dee@example.com"}, 1},
        {"a nested list's address", Book::Client, dl1dee,
         L"[" + byMembers + LR"({"object":"ExchangeDistributionList","id":"dl2","member":"PrimarySmtpAddress"}])",
         {L"ann@example.com", L"bob@example.com", L"dee@example.com"}, 1},
        {"the property accessor", Book::Client, dl1dee, LR"([{"object":"AddressEntry","id":"dee","member":"PropertyAccessor"}])",
         {L"ann@example.com", L"bob@example.com", L"dl2@example.com"}, 1},
        {"the recipient's user type", Book::Client, dl1dee,
         LR"([{"object":"AddressEntry","id":"dl1","member":"AddressEntryUserType"}])", {L"dee@example.com"}, 1},
        {"the list's members", Book::Client, dl1dee,
         LR"([{"object":"ExchangeDistributionList","id":"dl1","member":"GetExchangeDistributionListMembers"}])", {L"dee@example.com"}, 1},
        {"the list's count, with dee", Book::Client, dl1dee, LR"([{"object":"AddressEntries","id":"dl1","member":"Count"}])",
         {L"dee@example.com"}, 1},
        {"the recipient's entry", Book::Client, dl1dee, LR"([{"object":"Recipient","id":"dee","member":"AddressEntry"}])",
         {L"ann@example.com", L"bob@example.com", L"dl2@example.com"}, 1},
        {"enumerating the picks, with dee", Book::Client, dl1dee, LR"([{"object":"Recipients","member":"_NewEnum"}])", {}, 0},
    };
    for (const Case& c : cases) {
        if (c.only && *c.only != book()) continue;
        SCOPED_TRACE(c.label);
        LeftOut leftOut = Run(Scenario(c.picks, c.faults));
        EXPECT_EQ(c.addresses, Addresses());
        EXPECT_EQ(c.skipped, leftOut.skipped);
        EXPECT_EQ(L"pointer 0", view_.events.back());
    }
}

TEST_P(CreateList, AFullTableCountsWhatDidNotFit) {
    std::wstring dir = L"[{\"id\":\"big\",\"name\":\"All\",\"type\":\"EX\",\"members\":[";
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

// Both books at once, in one builder.
class TwoBooks : public ::testing::Test {
protected:
    void TearDown() override {
        builder_.reset();
        simclient::LoadScenario(L"{}");
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
    }
    LeftOut RunIn(orvalis::AddressBook& book, const std::wstring& scenario) {
        simclient::LoadScenario(scenario);
        simclient::ClearLog();
        view_ = RecordingView{};
        return builder_->CreateList(book, view_);
    }
    Lines Addresses() const { return orvtest::Addresses(builder_->table()); }

    std::unique_ptr<orvalis::ListBuilder> builder_ = std::make_unique<orvalis::ListBuilder>();
    RecordingView view_;
};

// A selection belongs to the address book it was picked in: after CDO came or went, the other
// book's failed dialog rebuilds nothing from it and makes no call on its recipients; the
// selection stays for its own book.
TEST_F(TwoBooks, ASelectionIsNeverReadThroughTheOtherAddressBook) {
    simclient::LoadScenario(Scenario(LR"([["ann","bob"]])"));
    Ptr session = OpenSession(Book::Cdo);
    orvalis::CdoAddressBook cdo(session);
    orvalis::ClientAddressBook client(OpenSession(Book::Client));

    RunIn(cdo, Scenario(LR"([["ann","bob"]])"));
    ASSERT_EQ((Lines{L"ann@example.com", L"bob@example.com"}), Addresses());
    LeftOut leftOut = RunIn(client, Scenario(LR"(["cancel"])"));
    EXPECT_EQ(kClientDialogCalls, simclient::Log()) << "the CDO recipients are not read";
    EXPECT_EQ(Lines{}, Addresses());
    EXPECT_EQ(L"0/0/0", Text(leftOut));
    RunIn(cdo, Scenario(LR"(["cancel"])"));
    EXPECT_EQ((Lines{L"ann@example.com", L"bob@example.com"}), Addresses()) << "CDO's own selection, rebuilt";

    RunIn(client, Scenario(LR"([["grp"]])"));
    ASSERT_EQ((Lines{L"cora@example.com", L"ann@example.com"}), Addresses());
    leftOut = RunIn(cdo, Scenario(LR"(["cancel"])"));
    EXPECT_EQ(kCdoDialogCall, simclient::Log()) << "the client's recipients are not read";
    EXPECT_EQ(Lines{}, Addresses());
    EXPECT_EQ(L"0/0/0", Text(leftOut));
    RunIn(client, Scenario(LR"(["cancel"])"));
    EXPECT_EQ((Lines{L"cora@example.com", L"ann@example.com"}), Addresses()) << "the client's own selection, rebuilt";
    orv::Call(session.Get(), L"Logoff");
}

// The strongest check: the bundled sample through both address books gives the same bytes.
TEST_F(TwoBooks, TheSampleGivesTheSameListTextThroughEither) {
    std::string sample = orvtest::FileBytes(orvtest::SourcePath(L"samples\\scenario.json"));
    ASSERT_FALSE(sample.empty());
    const std::wstring scenario(sample.begin(), sample.end());  // the sample is ASCII

    simclient::LoadScenario(scenario);
    Ptr session = OpenSession(Book::Cdo);
    orvalis::ListBuilder cdo;
    RecordingView cdoView;
    LeftOut cdoLeftOut;
    {
        orvalis::CdoAddressBook cdoBook(session);
        cdoLeftOut = cdo.CreateList(cdoBook, cdoView);
    }
    orv::Call(session.Get(), L"Logoff");
    session.Reset();

    orvalis::ClientAddressBook client(OpenSession(Book::Client));
    LeftOut clientLeftOut = RunIn(client, scenario);  // the first answer of the dialog again
    EXPECT_GT(cdo.table().memberCount(), 0);
    EXPECT_EQ(orvalis::BuildListText(cdo.table()), orvalis::BuildListText(builder_->table()));
    EXPECT_EQ(cdoView.lines, view_.lines);
    EXPECT_EQ(Text(cdoLeftOut), Text(clientLeftOut));
}

}  // namespace
