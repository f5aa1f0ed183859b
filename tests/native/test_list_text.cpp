#include <gtest/gtest.h>

#include <string>

#include "list_text.h"
#include "member_table.h"

using orvalis::BuildListText;
using orvalis::MemberTable;

namespace {

struct DiscardingList : orvalis::ListSink {
    void AddLine(const std::wstring&) override {}
};

void Add(MemberTable& t, const std::wstring& address, const std::wstring& name) {
    DiscardingList list;
    ASSERT_EQ(orvalis::AddOutcome::Added, t.AddListEntry(name, L"", L"", address, list));
}

}  // namespace

TEST(ListText, LinesAreAddressBlankNameCrLf) {
    struct Row {
        const char* label;
        std::wstring address, name, text;
    } rows[] = {
        {"address and name", L"ann@x.o", L"Ann Lee", L"ann@x.o Ann Lee\r\n"},
        {"empty name keeps the blank", L"ann@x.o", L"", L"ann@x.o \r\n"},
        {"blanks written as they stand", L" ann@x.o ", L"  Ann  ", L" ann@x.o    Ann  \r\n"},
        {"CR LF and TAB in a name", L"ann@x.o", L"Ann\r\nLee\tSales", L"ann@x.o Ann  Lee Sales\r\n"},
        {"control characters in an address", std::wstring(L"a\0b\x1f" L"c", 5), L"n", L"a b c n\r\n"},
        {"DEL, NEL and Unicode separators", L"a@x", L"A\x7f" L"B\x85" L"C\x2028" L"D\x2029" L"E",
         L"a@x A B C D E\r\n"},
        {"quotes and commas untouched", L"a@x", L"\"Lee, Ann\"", L"a@x \"Lee, Ann\"\r\n"},
    };
    for (const auto& r : rows) {
        MemberTable t;
        Add(t, r.address, r.name);
        EXPECT_EQ(r.text, BuildListText(t)) << r.label;
    }
}

TEST(ListText, EmptyTableGivesEmptyText) {
    MemberTable t;
    EXPECT_EQ(L"", BuildListText(t));
    Add(t, L"ann@x.o", L"Ann");
    t.Reset();
    EXPECT_EQ(L"", BuildListText(t));
}

TEST(ListText, FullTableInRowOrder) {
    MemberTable t;
    std::wstring expected;
    for (int i = 0; i < MemberTable::kRows; ++i) {
        const std::wstring address = L"m" + std::to_wstring(i) + L"@x.org";
        const std::wstring name = L"Member " + std::to_wstring(i);
        Add(t, address, name);
        expected += address + L" " + name + L"\r\n";
    }
    EXPECT_EQ(expected, BuildListText(t));
}

TEST(SanitizeField, OnlyControlCharactersBecomeBlanks) {
    EXPECT_EQ(L"a b c", orvalis::SanitizeField(L"a\rb\nc"));
    EXPECT_EQ(L"\x00e9\x2027\x202a ok", orvalis::SanitizeField(L"\x00e9\x2027\x202a ok"));
}
