// The list builder on a mail client without CDO: the window's load step turning to the
// client's own address book, "Create List" through its Select Names dialog (each kind of
// entry, cancel, faults), the same list text as through CDO, and the unload step.
#include <gtest/gtest.h>

#include <memory>

#include "Global.h"
#include "create_list.h"
#include "dispatch.h"
#include "form1.h"
#include "form1_layout.h"
#include "messages.h"
#include "host_contract.h"
#include "clipboard_files.h"
#include "list_text.h"
#include "member_lines.h"
#include "recording_view.h"
#include "seam.h"
#include "sim_client.h"
#include "wine_test.h"
#include "without_cdo.h"

namespace {

using orvalis::LeftOut;
using orvtest::Seam;
using orvtest::RecordingView;
using Lines = std::vector<std::wstring>;
using Ptr = orv::ComPtr<IDispatch>;

// People, an Exchange list holding a nested list, a contact group, a fax number, a person
// whose SMTP address is only a property, and one who has none at all.
const wchar_t kDirectory[] = LR"J([
 {"id":"ann","name":"Ann Lee (Sales)","type":"SMTP","address":"ann@example.com"},
 {"id":"bob","name":"Lee, Bob","type":"EX","address":"/o=Ex/cn=bob","fields":[["PR_SMTP_ADDRESS","bob@example.com"],["PR_GIVEN_NAME","Bob"],["PR_SURNAME","Lee"]]},
 {"id":"cy","name":"Cy (HQ)","type":"EX","fields":[["PR_SMTP_ADDRESS","cy@example.com"],["PR_GIVEN_NAME","Cy"]]},
 {"id":"dee","name":"Dee","type":"EX","primarySmtpAddress":"","fields":{"0x39FE001F":"dee@example.com"}},
 {"id":"eve","name":"Eve","type":"EX","address":"/o=Ex/cn=eve"},
 {"id":"fax","name":"Front desk","type":"FAX","address":"+1 555 0100"},
 {"id":"paren","name":"(x)","type":"SMTP","address":"p@example.com"},
 {"id":"con","name":"Cora","type":"SMTP","address":"cora@example.com","userType":10},
 {"id":"dl1","name":"Sales","type":"EX","fields":{"PR_SMTP_ADDRESS":"sales@example.com"},"members":["ann","bob","dl2","fax"]},
 {"id":"dl2","name":"Team Two","type":"EX","members":["cy"],"fields":[["PR_SMTP_ADDRESS","dl2@example.com"]]},
 {"id":"grp","name":"Mine","type":"MAPIPDL","displayType":5,"members":["con","ann"]}])J";

std::wstring Scenario(const std::wstring& picks, const std::wstring& faults = L"[]") {
    return L"{\"cdo\":{\"directory\":" + std::wstring(kDirectory) + L",\"picks\":" + picks + L"},\"faults\":" + faults + L"}";
}

Ptr ClientNamespace() {
    Ptr app = orv::QueryAs<IDispatch>(orv::CreateObject(contract::kOutlookProgId).Get(), IID_IDispatch);
    return orv::GetObj(app.Get(), L"GetNamespace", {L"MAPI"});
}

std::wstring Text(const LeftOut& l) {
    return std::to_wstring(l.skipped) + L"/" + std::to_wstring(l.didNotFit) + L"/" + std::to_wstring(l.noAddress);
}

// The Select Names dialog set up and shown, up to the user's answer.
const std::wstring kDialogCalls =
    L"NameSpace.GetSelectNamesDialog()\n"
    L"SelectNamesDialog.Caption() = BSTR \"Select Names\"\n"
    L"SelectNamesDialog.ToLabel() = BSTR \"Names\"\n"
    L"SelectNamesDialog.NumberOfRecipientSelectors() = I4 1\n"
    L"SelectNamesDialog.AllowMultipleSelection() = BOOL True\n"
    L"SelectNamesDialog.ForceResolution() = BOOL True\n"
    L"SelectNamesDialog.Display()\n";

class ClientCreateList : public ::testing::Test {
protected:
    void SetUp() override { simclient::LoadScenario(Scenario(L"[]")); }
    void TearDown() override {
        builder_.reset();
        ns_.Reset();
        simclient::LoadScenario(L"{}");
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
    }
    LeftOut Run(const std::wstring& scenario) {
        simclient::LoadScenario(scenario);
        if (!ns_) ns_ = ClientNamespace();
        simclient::ClearLog();
        view_ = RecordingView{};
        orvalis::ClientAddressBook book(ns_);
        return builder_->CreateList(book, view_);
    }
    Lines Members() const { return orvtest::MemberLines(builder_->table(), view_.lines); }
    Lines Addresses() const { return orvtest::Addresses(builder_->table()); }

    std::unique_ptr<orvalis::ListBuilder> builder_ = std::make_unique<orvalis::ListBuilder>();
    Ptr ns_;
    RecordingView view_;
};

TEST_F(ClientCreateList, TurnsEachKindOfPickIntoMembers) {
    struct Case { const char* label; const wchar_t* picks; Lines members; const wchar_t* leftOut; };
    const Case cases[] = {
        {"SMTP remark trimmed; Exchange user with first and last name", LR"([["ann","bob"]])",
         {L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee", L"Lee, Bob (bob@example.com) => bob@example.com|Bob Lee"}, L"0/0/0"},
        {"one name part: the blank stays", LR"([["cy"]])", {L"Cy (HQ) (cy@example.com) => cy@example.com|Cy "}, L"0/0/0"},
        {"no primary address: the SMTP property", LR"([["dee"]])", {L"Dee (dee@example.com) => dee@example.com|Dee"}, L"0/0/0"},
        {"neither address nor property: left out", LR"([["eve"]])", {}, L"0/0/1"},
        {"Exchange list expanded one level; nested list one member; fax ignored", LR"([["dl1"]])",
         {L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee", L"Lee, Bob (bob@example.com) => bob@example.com|Bob Lee",
          L"Team Two (dl2@example.com) => dl2@example.com|Team Two"}, L"0/0/0"},
        {"contact group expanded", LR"([["grp"]])",
         {L"Cora (cora@example.com) => cora@example.com|Cora", L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee"}, L"0/0/0"},
        {"duplicates keep the first occurrence", LR"([["bob","dl1","bob"]])",
         {L"Lee, Bob (bob@example.com) => bob@example.com|Bob Lee", L"Ann Lee (ann@example.com) => ann@example.com|Ann Lee",
          L"Team Two (dl2@example.com) => dl2@example.com|Team Two"}, L"0/0/0"},
        {"a name that is only a remark becomes empty", LR"([["paren"]])", {L" (p@example.com) => p@example.com|"}, L"0/0/0"},
        {"a fax entry adds nothing", LR"([["fax"]])", {}, L"0/0/0"},
        {"an empty selection", LR"([[]])", {}, L"0/0/0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        LeftOut leftOut = Run(Scenario(c.picks));
        EXPECT_EQ(c.members, Members());
        EXPECT_EQ(c.leftOut, Text(leftOut));
        EXPECT_EQ((Lines{L"clear", L"process, 0 lines", L"pointer 11", L"pointer 0"}), view_.events);
    }
}

TEST_F(ClientCreateList, MakesExactlyTheseCalls) {
    Run(Scenario(LR"([["ann","grp","dee"]])"));
    const std::wstring log = simclient::Log();
    const std::wstring dialog = kDialogCalls + L"SelectNamesDialog.Recipients()\nRecipients._NewEnum()\n";
    ASSERT_EQ(0u, log.find(dialog)) << log;
    const std::wstring rest = log.substr(dialog.size());
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
              rest);
}

TEST_F(ClientCreateList, CancelOnFirstUseLeavesTheListEmptyAndLaterRebuildsThePreviousSelection) {
    Run(Scenario(LR"(["cancel"])"));
    EXPECT_EQ(Lines{}, Members());
    EXPECT_EQ(nullptr, builder_->myRecips());
    Run(Scenario(LR"([["grp"]])"));
    EXPECT_EQ((Lines{L"cora@example.com", L"ann@example.com"}), Addresses());
    Run(Scenario(LR"(["cancel"])"));
    EXPECT_EQ((Lines{L"cora@example.com", L"ann@example.com"}), Addresses()) << "the previous selection, rebuilt";
    Run(Scenario(LR"([["ann"]])", LR"([{"object":"SelectNamesDialog","member":"Display","hresult":"0x80004005"}])"));
    EXPECT_EQ((Lines{L"cora@example.com", L"ann@example.com"}), Addresses()) << "a failing dialog counts as cancelled";
}

TEST_F(ClientCreateList, AFailureSkipsTheMemberOrTheRecipientItHitAndTheRunGoesOn) {
    // A list member is read by its properties; where that read fails it is read member by member.
    const std::wstring kByMembers = LR"({"object":"PropertyAccessor","member":"GetProperties"},)";
    struct Case { const char* label; std::wstring faults; Lines addresses; int skipped; };
    const Case cases[] = {
        {"a member fetch", LR"([{"object":"AddressEntries","id":"dl1","member":"Item","skip":1,"times":1}])",
         {L"ann@example.com", L"dl2@example.com", L"dee@example.com"}, 1},
        {"a member's Type, read member by member", LR"([)" + kByMembers + LR"({"object":"AddressEntry","id":"ann","member":"Type"}])",
         {L"bob@example.com", L"dl2@example.com", L"dee@example.com"}, 1},
        {"a user's primary address", LR"([)" + kByMembers + LR"({"object":"ExchangeUser","id":"bob","member":"PrimarySmtpAddress"}])",
         {L"ann@example.com", L"dl2@example.com", L"dee@example.com"}, 1},
        {"a user's first name", LR"([)" + kByMembers + LR"({"object":"ExchangeUser","id":"bob","member":"FirstName"}])",
         {L"ann@example.com", L"dl2@example.com", L"dee@example.com"}, 1},
        {"a nested list's address", LR"([)" + kByMembers + LR"({"object":"ExchangeDistributionList","id":"dl2","member":"PrimarySmtpAddress"}])",
         {L"ann@example.com", L"bob@example.com", L"dee@example.com"}, 1},
        {"the property accessor", LR"([{"object":"AddressEntry","id":"dee","member":"PropertyAccessor"}])",
         {L"ann@example.com", L"bob@example.com", L"dl2@example.com"}, 1},
        {"the recipient's user type", LR"([{"object":"AddressEntry","id":"dl1","member":"AddressEntryUserType"}])",
         {L"dee@example.com"}, 1},
        {"the list's members", LR"([{"object":"ExchangeDistributionList","id":"dl1","member":"GetExchangeDistributionListMembers"}])",
         {L"dee@example.com"}, 1},
        {"the list's count", LR"([{"object":"AddressEntries","id":"dl1","member":"Count"}])", {L"dee@example.com"}, 1},
        {"the recipient's entry", LR"([{"object":"Recipient","id":"dee","member":"AddressEntry"}])",
         {L"ann@example.com", L"bob@example.com", L"dl2@example.com"}, 1},
        {"enumerating the picks", LR"([{"object":"Recipients","member":"_NewEnum"}])", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        LeftOut leftOut = Run(Scenario(LR"([["dl1","dee"]])", c.faults));
        EXPECT_EQ(c.addresses, Addresses());
        EXPECT_EQ(c.skipped, leftOut.skipped);
        EXPECT_EQ(L"pointer 0", view_.events.back());
    }
}

// A selection belongs to the address book it was picked in: after CDO came or went, the other
// book's failed dialog rebuilds nothing from it and makes no call on its recipients; the
// selection stays for its own book.
TEST_F(ClientCreateList, ASelectionIsNeverReadThroughTheOtherAddressBook) {
    const std::wstring cdoDialog =
        L"Session.AddressBook(Title:=BSTR \"Select Names\", ForceResolution:=BOOL True, RecipLists:=I2 1, "
        L"ToLabel:=BSTR \"Names\")\n";
    simclient::LoadScenario(Scenario(LR"([["ann","bob"]])"));
    Ptr session = orv::QueryAs<IDispatch>(orv::CreateObject(contract::kCdoProgId).Get(), contract::IID_CdoSession);
    orv::Call(session.Get(), L"Logon");
    orvalis::CdoAddressBook cdo(session);
    auto runCdo = [&](const std::wstring& scenario) {
        simclient::LoadScenario(scenario);
        simclient::ClearLog();
        view_ = RecordingView{};
        return builder_->CreateList(cdo, view_);
    };

    runCdo(Scenario(LR"([["ann","bob"]])"));
    ASSERT_EQ((Lines{L"ann@example.com", L"bob@example.com"}), Addresses());
    LeftOut leftOut = Run(Scenario(LR"(["cancel"])"));
    EXPECT_EQ(kDialogCalls, simclient::Log()) << "the CDO recipients are not read";
    EXPECT_EQ(Lines{}, Addresses());
    EXPECT_EQ(L"0/0/0", Text(leftOut));
    runCdo(Scenario(LR"(["cancel"])"));
    EXPECT_EQ((Lines{L"ann@example.com", L"bob@example.com"}), Addresses()) << "CDO's own selection, rebuilt";

    Run(Scenario(LR"([["grp"]])"));
    ASSERT_EQ((Lines{L"cora@example.com", L"ann@example.com"}), Addresses());
    leftOut = runCdo(Scenario(LR"(["cancel"])"));
    EXPECT_EQ(cdoDialog, simclient::Log()) << "the client's recipients are not read";
    EXPECT_EQ(Lines{}, Addresses());
    EXPECT_EQ(L"0/0/0", Text(leftOut));
    Run(Scenario(LR"(["cancel"])"));
    EXPECT_EQ((Lines{L"cora@example.com", L"ann@example.com"}), Addresses()) << "the client's own selection, rebuilt";
    orv::Call(session.Get(), L"Logoff");
}

// The strongest check: the bundled sample through both address books gives the same bytes.
TEST_F(ClientCreateList, TheSampleGivesTheSameListTextAsThroughCdo) {
    std::string sample = orvtest::FileBytes(orvtest::SourcePath(L"samples\\scenario.json"));
    ASSERT_FALSE(sample.empty());
    const std::wstring scenario(sample.begin(), sample.end());  // the sample is ASCII

    simclient::LoadScenario(scenario);
    Ptr session = orv::QueryAs<IDispatch>(orv::CreateObject(contract::kCdoProgId).Get(), contract::IID_CdoSession);
    orv::Call(session.Get(), L"Logon");
    orvalis::ListBuilder cdo;
    RecordingView cdoView;
    LeftOut cdoLeftOut;
    {
        orvalis::CdoAddressBook cdoBook(session);
        cdoLeftOut = cdo.CreateList(cdoBook, cdoView);
    }
    orv::Call(session.Get(), L"Logoff");
    session.Reset();

    LeftOut clientLeftOut = Run(scenario);  // the first answer of the dialog again
    EXPECT_GT(cdo.table().memberCount(), 0);
    EXPECT_EQ(orvalis::BuildListText(cdo.table()), orvalis::BuildListText(builder_->table()));
    EXPECT_EQ(cdoView.lines, view_.lines);
    EXPECT_EQ(Text(cdoLeftOut), Text(clientLeftOut));
}

// The window on a machine without CDO, loaded by a connection that hands it the client.
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
