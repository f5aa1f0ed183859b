#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "member_table.h"

using orvalis::AddOutcome;
using orvalis::MemberTable;

namespace {

struct RecordingList : orvalis::ListSink {
    std::vector<std::wstring> lines;
    void AddLine(const std::wstring& line) override { lines.push_back(line); }
};

struct RefusingList : orvalis::ListSink {
    void AddLine(const std::wstring&) override { throw std::runtime_error("list box refused"); }
};

std::wstring Numbered(int i) { return L"m" + std::to_wstring(i) + L"@example.org"; }

AddOutcome AddSmtp(MemberTable& t, const std::wstring& display, const std::wstring& address,
                   orvalis::ListSink& list) {
    return t.AddListEntry(display, L"", L"", address, list);
}

}  // namespace

TEST(MemberTable, NameColumnAndListLine) {
    struct Row {
        const char* label;
        std::wstring display, given, surname, name;
    } rows[] = {
        {"given and surname, display as surname-comma-given", L"Lee, Ann", L"Ann", L"Lee", L"Ann Lee"},
        {"given only keeps a trailing blank", L"Ann", L"Ann", L"", L"Ann "},
        {"surname only keeps a leading blank", L"Lee", L"", L"Lee", L" Lee"},
        {"neither gives the display name", L"Ann Lee", L"", L"", L"Ann Lee"},
        {"nothing at all gives an empty name", L"", L"", L"", L""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        MemberTable t;
        RecordingList list;
        ASSERT_EQ(AddOutcome::Added, t.AddListEntry(r.display, r.given, r.surname, L"ann@x.org", list));
        EXPECT_EQ(1, t.memberCount());
        EXPECT_EQ(L"ann@x.org", t.Address(0));
        EXPECT_EQ(r.name, t.Name(0));
        EXPECT_EQ(std::vector<std::wstring>{r.display + L" (ann@x.org)"}, list.lines);
    }
}

TEST(MemberTable, FirstOccurrenceWinsAndEmptyAddressIsDropped) {
    MemberTable t;
    RecordingList list;
    struct Step {
        const char* label;
        std::wstring display, address;
        AddOutcome outcome;
    } steps[] = {
        {"first add", L"Ann", L"ann@x.org", AddOutcome::Added},
        {"differs only in case", L"Ann Upper", L"Ann@x.org", AddOutcome::Added},
        {"same address, other name", L"Other", L"ann@x.org", AddOutcome::Duplicate},
        {"empty address", L"Nobody", L"", AddOutcome::NoAddress},
        {"empty address again", L"Nobody", L"", AddOutcome::NoAddress},
        {"trailing blank is another address", L"Blank", L"ann@x.org ", AddOutcome::Added},
    };
    for (const auto& s : steps) EXPECT_EQ(s.outcome, AddSmtp(t, s.display, s.address, list)) << s.label;
    ASSERT_EQ(3, t.memberCount());
    EXPECT_EQ(L"Ann", t.Name(0));
    EXPECT_EQ(L"Ann@x.org", t.Address(1));
    EXPECT_EQ(L"ann@x.org ", t.Address(2));
    EXPECT_EQ((std::vector<std::wstring>{L"Ann (ann@x.org)", L"Ann Upper (Ann@x.org)", L"Blank (ann@x.org )"}),
              list.lines);
}

TEST(MemberTable, FullTableRefusesNewAddressWithoutLineOrChange) {
    MemberTable t;
    RecordingList list;
    for (int i = 0; i < MemberTable::kRows; ++i) ASSERT_EQ(AddOutcome::Added, AddSmtp(t, L"n", Numbered(i), list));
    ASSERT_EQ(8001, t.memberCount());

    EXPECT_EQ(AddOutcome::TableFull, AddSmtp(t, L"late", L"late@x.org", list));
    EXPECT_EQ(AddOutcome::Duplicate, AddSmtp(t, L"again", Numbered(4000), list));
    EXPECT_EQ(AddOutcome::NoAddress, AddSmtp(t, L"none", L"", list));
    EXPECT_EQ(8001, t.memberCount());
    EXPECT_EQ(8001u, list.lines.size());
    EXPECT_EQ(Numbered(8000), t.Address(8000));
    EXPECT_EQ(L"n (" + Numbered(8000) + L")", list.lines.back());
}

TEST(MemberTable, ResetForgetsEveryAddress) {
    MemberTable t;
    RecordingList list;
    AddSmtp(t, L"Ann", L"ann@x.org", list);
    AddSmtp(t, L"Bob", L"bob@x.org", list);
    t.Reset();
    EXPECT_EQ(0, t.memberCount());
    // bob's row still holds its strings, but it is no longer part of the table.
    EXPECT_EQ(AddOutcome::Added, AddSmtp(t, L"Bob again", L"bob@x.org", list));
    EXPECT_EQ(AddOutcome::Added, AddSmtp(t, L"Ann again", L"ann@x.org", list));
    EXPECT_EQ(AddOutcome::Duplicate, AddSmtp(t, L"Bob thrice", L"bob@x.org", list));
    ASSERT_EQ(2, t.memberCount());
    EXPECT_EQ(L"bob@x.org", t.Address(0));
    EXPECT_EQ(L"Bob again", t.Name(0));
    EXPECT_EQ(L"Ann again", t.Name(1));
}

TEST(MemberTable, RefusedLineLeavesTableUntouched) {
    MemberTable t;
    RecordingList list;
    RefusingList refusing;
    AddSmtp(t, L"Ann", L"ann@x.org", list);
    EXPECT_THROW(AddSmtp(t, L"Bob", L"bob@x.org", refusing), std::runtime_error);
    EXPECT_EQ(1, t.memberCount());
    EXPECT_EQ(L"", t.Address(1));
    // The address was not remembered either: it is new to the next attempt.
    EXPECT_EQ(AddOutcome::Added, AddSmtp(t, L"Bob", L"bob@x.org", list));
    EXPECT_EQ(L"Bob", t.Name(1));
    EXPECT_EQ(2u, list.lines.size());
}

TEST(MemberTable, AddressesSharingAHashAreTwoMembers) {
    // Wide units overlap their neighbours in the index's hash: these two addresses of the
    // same length hash alike, so only the comparison of the stored addresses tells them apart.
    const std::wstring wide = std::wstring(1, static_cast<wchar_t>(0x10061)) + L"xby@x.org";
    const std::wstring plain = L"axcy@x.org";
    MemberTable t;
    RecordingList list;
    EXPECT_EQ(AddOutcome::Added, AddSmtp(t, L"Wide", wide, list));
    EXPECT_EQ(AddOutcome::Added, AddSmtp(t, L"Plain", plain, list));
    EXPECT_EQ(AddOutcome::Duplicate, AddSmtp(t, L"Wide again", wide, list));
    EXPECT_EQ(AddOutcome::Duplicate, AddSmtp(t, L"Plain again", plain, list));
    ASSERT_EQ(2, t.memberCount());
    EXPECT_EQ(wide, t.Address(0));
    EXPECT_EQ(plain, t.Address(1));
}

TEST(MemberTable, FullTableResetTakesAFullListOfOtherAddresses) {
    MemberTable t;
    RecordingList list;
    for (int i = 0; i < MemberTable::kRows; ++i) ASSERT_EQ(AddOutcome::Added, AddSmtp(t, L"n", Numbered(i), list));
    t.Reset();
    EXPECT_EQ(L"", t.Address(0));
    EXPECT_EQ(L"", t.Lines());
    // Shifted by half a table: the first half was in the old list, the second half is new.
    for (int i = 0; i < MemberTable::kRows; ++i)
        ASSERT_EQ(AddOutcome::Added, AddSmtp(t, L"n", Numbered(i + 4000), list)) << i;
    for (int i = 0; i < MemberTable::kRows; ++i)
        ASSERT_EQ(AddOutcome::Duplicate, AddSmtp(t, L"n", Numbered(i + 4000), list)) << i;
    EXPECT_EQ(AddOutcome::TableFull, AddSmtp(t, L"n", Numbered(0), list));
    EXPECT_EQ(Numbered(4000), t.Address(0));
    EXPECT_EQ(Numbered(12000), t.Address(8000));
    EXPECT_EQ(2u * MemberTable::kRows, list.lines.size());
}

TEST(MemberTable, RowsReadBackAfterTheStorageGrows) {
    MemberTable t;
    RecordingList list;
    RefusingList refusing;
    ASSERT_EQ(AddOutcome::Added, t.AddListEntry(L"Ann", L"Ann", L"Lee", L"ann@x.org", list));
    const std::wstring huge(100000, L'h');
    // Refused after the storage has grown for it: nothing of it is kept.
    EXPECT_THROW(t.AddListEntry(huge, L"", L"", huge + L"@x.org", refusing), std::runtime_error);
    EXPECT_EQ(L"ann@x.org Ann Lee\r\n", t.Lines());
    ASSERT_EQ(AddOutcome::Added, t.AddListEntry(huge, L"", L"", huge + L"@x.org", list));
    ASSERT_EQ(AddOutcome::Added, t.AddListEntry(L"Bob", L"", L"Roe", L"bob@x.org", list));
    ASSERT_EQ(3, t.memberCount());
    EXPECT_EQ(L"ann@x.org", t.Address(0));
    EXPECT_EQ(L"Ann Lee", t.Name(0));
    EXPECT_EQ(huge + L"@x.org", t.Address(1));
    EXPECT_EQ(huge, t.Name(1));
    EXPECT_EQ(L" Roe", t.Name(2));
    EXPECT_EQ(L"ann@x.org Ann Lee\r\n" + huge + L"@x.org " + huge + L"\r\nbob@x.org  Roe\r\n", t.Lines());
    EXPECT_EQ(huge + L" (" + huge + L"@x.org)", list.lines[1]);
}
