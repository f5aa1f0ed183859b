// "Create List" and the list output on hostile answers from the address book: huge, empty,
// absent and malformed strings, counts and types that don't fit, enumerations that yield
// non-objects or break off, the largest list picked twice. Each row states what a user gets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clipboard_files.h"
#include "create_list.h"
#include "dispatch.h"
#include "host_contract.h"
#include "list_output.h"
#include "list_text.h"
#include "recording_view.h"
#include "sim_client.h"
#include "wine_test.h"

namespace {

using Lines = std::vector<std::wstring>;
using orvtest::RecordingView;

// Which address book a row reads the directory through.
enum class Book { Cdo, Client };

std::wstring Repeat(wchar_t c, size_t n) { return std::wstring(n, c); }

struct Row {
    const char* label;
    std::wstring directory;  // the entries besides "ann" (SMTP) and "bob" (EX)
    std::wstring picks;      // one dialog's picks
    std::wstring faults;
    Lines output;            // the list text's lines, without CR LF
    int skipped, noAddress;
    // Through CDO, or through the mail client's own address book (the same directory).
    Book book = Book::Cdo;
};

const wchar_t kBase[] =
    LR"({"id":"ann","name":"Ann Lee","type":"SMTP","address":"ann@example.com"},)"
    LR"({"id":"bob","name":"Lee, Bob","type":"EX","fields":[["PR_SMTP_ADDRESS","bob@example.com"],["PR_GIVEN_NAME","Bob"],["PR_SURNAME","Lee"]]})";

// A list "dl" of ann and bob whose Members.Count answers count.
std::wstring ListCounting(const std::wstring& count) {
    return LR"(,{"id":"dl","name":"DL","type":"EX","members":["ann","bob"],"answers":{"Count":)" + count + L"}}";
}

std::vector<Row> Rows() {
    const std::wstring longName = Repeat(L'N', 65536), longAddress = Repeat(L'a', 65530) + L"@x.com";
    return {
        {"64 K name and address", LR"(,{"id":"big","type":"SMTP","name":")" + longName + LR"(","address":")" + longAddress + L"\"}",
         LR"(["big"])", L"[]", {longAddress + L" " + longName}, 0, 0},
        {"embedded NUL in the name is written as a blank", LR"(,{"id":"nul","type":"SMTP","name":"An\u0000n","address":"nul@example.com"})",
         LR"(["nul"])", L"[]", {L"nul@example.com An n"}, 0, 0},
        {"name and address absent (VT_NULL, VT_EMPTY): no address, left out",
         LR"(,{"id":"none","type":"SMTP","answers":{"Name":{"vt":"VT_NULL"},"Address":{"vt":"VT_EMPTY"}}})", LR"(["none","ann"])", L"[]",
         {L"ann@example.com Ann Lee"}, 0, 1},
        {"type absent: no member, nothing counted", LR"(,{"id":"t","answers":{"Type":{"vt":"VT_NULL"}},"address":"t@x"})",
         LR"(["t","ann"])", L"[]", {L"ann@example.com Ann Lee"}, 0, 0},
        {"count -1: an empty list", ListCounting(L"-1"), LR"(["dl","ann"])", L"[]", {L"ann@example.com Ann Lee"}, 0, 0},
        {"count above 2^31: the list is skipped", ListCounting(L"3000000000"), LR"(["dl","ann"])", L"[]", {L"ann@example.com Ann Lee"}, 1, 0},
        {"count a string that is no number: skipped", ListCounting(L"\"many\""), LR"(["dl"])", L"[]", {}, 1, 0},
        {"count a numeric string: used", ListCounting(L"\"2\""), LR"(["dl"])", L"[]",
         {L"ann@example.com Ann Lee", L"bob@example.com Bob Lee"}, 0, 0},
        {"count VT_NULL or VT_EMPTY: an empty list", ListCounting(LR"({"vt":"VT_NULL"})") , LR"(["dl"])", L"[]", {}, 0, 0},
        {"count beyond the members: the rest are skipped", ListCounting(L"4"), LR"(["dl"])", L"[]",
         {L"ann@example.com Ann Lee", L"bob@example.com Bob Lee"}, 2, 0},
        {"display type a string: the recipient is skipped",
         LR"(,{"id":"odd","type":"SMTP","address":"o@x","answers":{"DisplayType":"list"}})", LR"(["odd","ann"])", L"[]",
         {L"ann@example.com Ann Lee"}, 1, 0},
        {"field ID of the wrong type: the entry is skipped",
         LR"(,{"id":"ex","name":"Ex","type":"EX","fields":[["PR_SMTP_ADDRESS","ex@x","0x39FE001E?"]]})", LR"(["ex","ann"])", L"[]",
         {L"ann@example.com Ann Lee"}, 1, 0},
        {"field Value an array: the entry is skipped",
         LR"(,{"id":"ex","name":"Ex","type":"EX","fields":[["PR_SMTP_ADDRESS",{"vt":"VT_ARRAY","value":["a","b"]}]]})", LR"(["ex","ann"])",
         L"[]", {L"ann@example.com Ann Lee"}, 1, 0},
        {"field Value VT_NULL: no address, left out",
         LR"(,{"id":"ex","name":"Ex","type":"EX","fields":[["PR_SMTP_ADDRESS",{"vt":"VT_NULL"}]]})", LR"(["ex","ann"])", L"[]",
         {L"ann@example.com Ann Lee"}, 0, 1},
        {"the selection yields a non-object: it alone is skipped", L"", LR"(["ann",5,{"vt":"VT_DISPATCH"},"bob"])", L"[]",
         {L"ann@example.com Ann Lee", L"bob@example.com Bob Lee"}, 2, 0},
        {"the selection's enumeration breaks off: what came before stays", L"", LR"(["ann","bob"])",
         LR"([{"object":"Enum","member":"Next","skip":1}])", {L"ann@example.com Ann Lee"}, 0, 0},
        {"the selection's Count of the wrong type: not read, the whole selection is added", L"", LR"(["ann","bob"])",
         LR"([{"object":"Recipients","member":"Count","returns":"wrongType"}])",
         {L"ann@example.com Ann Lee", L"bob@example.com Bob Lee"}, 0, 0},
        {"an entry's ID of the wrong type: not read, the entry is added",
         LR"(,{"id":"odd","name":"Odd","type":"SMTP","address":"odd@x","answers":{"ID":{"vt":"VT_ARRAY","value":[1]}}})",
         LR"(["odd"])", L"[]", {L"odd@x Odd"}, 0, 0},
        {"client: the user type of the wrong type: the recipient is skipped", L"", LR"(["bob","ann"])",
         LR"([{"object":"AddressEntry","id":"bob","member":"AddressEntryUserType","returns":"wrongType"}])",
         {L"ann@example.com Ann Lee"}, 1, 0, Book::Client},
        {"client: an Exchange list that gives no list object: the list is skipped", ListCounting(L"2"), LR"(["dl","bob"])",
         LR"([{"object":"AddressEntry","id":"dl","member":"GetExchangeDistributionList","returns":"nothing"}])",
         {L"bob@example.com Bob Lee"}, 1, 0, Book::Client},
        {"client: the same list as it is: both members", ListCounting(L"2"), LR"(["dl"])", L"[]",
         {L"ann@example.com Ann Lee", L"bob@example.com Bob Lee"}, 0, 0, Book::Client},
        {"unpaired surrogate and a character beyond the BMP in names",
         LR"(,{"id":"s1","type":"SMTP","address":"s1@x","answers":{"Name":{"utf16":[55296,65]}}},)"
         LR"({"id":"s2","type":"SMTP","address":"s2@x","name":"Smile \ud83d\ude00"})", LR"(["s1","s2"])", L"[]",
         {L"s1@x \xD800" L"A", L"s2@x Smile \xD83D\xDE00"}, 0, 0},
    };
}

class HostileInput : public ::testing::TestWithParam<Row> {
protected:
    void TearDown() override {
        session_.Reset();
        simclient::LoadScenario(L"{}");
        EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
    }
    orvalis::LeftOut Run(const std::wstring& directory, const std::wstring& picks, const std::wstring& faults,
                         Book book, orvalis::ListBuilder& builder, RecordingView& view) {
        simclient::LoadScenario(L"{\"cdo\":{\"directory\":[" + std::wstring(kBase) + directory + L"],\"picks\":" + picks +
                                L"},\"faults\":" + faults + L"}");
        if (book == Book::Client) {
            auto app = orv::CreateObject(contract::kOutlookProgId, IID_IDispatch);
            session_ = orv::GetObj(static_cast<IDispatch*>(app.Get()), L"GetNamespace", {L"MAPI"});
            orvalis::ClientAddressBook client(session_);
            return builder.CreateList(client, view);
        }
        session_ = orv::QueryAs<IDispatch>(orv::CreateObject(L"MAPI.Session").Get(), contract::IID_CdoSession);
        orv::Call(session_.Get(), L"Logon", {orv::Named(L"ShowDialog", orv::Variant::Bool(false)),
                                              orv::Named(L"NewSession", orv::Variant::Bool(false))});
        orvalis::CdoAddressBook cdo(session_);
        return builder.CreateList(cdo, view);
    }
    Microsoft::WRL::ComPtr<IDispatch> session_;
};

TEST_P(HostileInput, GivesTheListAUserWouldAccept) {
    const Row& row = GetParam();
    auto builder = std::make_unique<orvalis::ListBuilder>();
    RecordingView view;
    orvalis::LeftOut leftOut = Run(row.directory, L"[" + row.picks + L"]", row.faults, row.book, *builder, view);
    const auto& table = builder->table();
    EXPECT_EQ(row.output, orvtest::ListTextLines(orvalis::BuildListText(table)));
    EXPECT_EQ(row.output.size(), view.lines.size()) << "one list box line per member";
    EXPECT_EQ(row.skipped, leftOut.skipped);
    EXPECT_EQ(row.noAddress, leftOut.noAddress);
    EXPECT_EQ(0, leftOut.didNotFit);

    // The ANSI file: the system's conversion of the same lines, one per member.
    std::wstring path = orvtest::ScratchDir(L"hostile") + L"\\list.txt";
    ASSERT_TRUE(orvalis::WriteListFile(nullptr, path, table));
    std::string expected;
    for (const auto& l : row.output) {
        std::string ansi(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, l.data(), static_cast<int>(l.size()), nullptr, 0, nullptr, nullptr)), '\0');
        WideCharToMultiByte(CP_ACP, 0, l.data(), static_cast<int>(l.size()), ansi.data(), static_cast<int>(ansi.size()), nullptr, nullptr);
        expected += ansi + "\r\n";
    }
    EXPECT_EQ(expected, orvtest::FileBytes(path));
    builder.reset();
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileInput, testing::ValuesIn(Rows()), [](const testing::TestParamInfo<Row>& info) {
    std::string name;
    for (const char* p = info.param.label; *p; ++p) name += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
});

// The largest list there is, picked twice: every member once, in order, nothing left out.
TEST(HostileInputLarge, ListOf8001PickedTwiceFillsTheTableOnce) {
    std::wstring entries = kBase, members;
    for (int i = 0; i < 8001; ++i) {
        std::wstring id = L"m" + std::to_wstring(i);
        entries += L",{\"id\":\"" + id + L"\",\"name\":\"M " + std::to_wstring(i) + L"\",\"address\":\"" + id + L"@x\"}";
        members += (i ? L",\"" : L"\"") + id + L"\"";
    }
    simclient::LoadScenario(L"{\"cdo\":{\"directory\":[" + entries + L",{\"id\":\"big\",\"name\":\"Big\",\"type\":\"EX\",\"members\":[" +
                            members + L"]}],\"picks\":[[\"big\",\"big\"]]}}");
    auto session = orv::QueryAs<IDispatch>(orv::CreateObject(L"MAPI.Session").Get(), contract::IID_CdoSession);
    orv::Call(session.Get(), L"Logon", {orv::Named(L"ShowDialog", orv::Variant::Bool(false)),
                                         orv::Named(L"NewSession", orv::Variant::Bool(false))});
    auto builder = std::make_unique<orvalis::ListBuilder>();
    RecordingView view;
    orvalis::LeftOut leftOut;
    {
        orvalis::CdoAddressBook cdo(session);
        leftOut = builder->CreateList(cdo, view);
    }
    EXPECT_EQ(8001, builder->table().memberCount());
    EXPECT_EQ(8001u, view.lines.size());
    EXPECT_EQ(L"m8000@x", builder->table().Address(8000));
    EXPECT_EQ(0, leftOut.total());
    builder.reset();
    session.Reset();
    EXPECT_EQ(0, simclient::LiveObjects()) << simclient::LiveReport();
}

}  // namespace
