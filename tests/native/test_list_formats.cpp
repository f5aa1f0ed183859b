// The list in the list server's and the spreadsheet's forms, read back through parsers of the
// kinds those programs use: an RFC 5322 mailbox parser for "Name <address>" lines (with
// RFC 6532's UTF-8), an RFC 4180 reader for the CSV; and the UTF-8 the files are written in.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "list_formats.h"
#include "member_table.h"

using orvalis::ListFormat;
using orvalis::MemberTable;

namespace {

struct DiscardingList : orvalis::ListSink {
    void AddLine(const std::wstring&) override {}
};

// A table of members whose row names are exactly these (given name alone would add a blank).
MemberTable TableOf(const std::vector<std::pair<std::wstring, std::wstring>>& members) {
    MemberTable t;
    DiscardingList list;
    for (const auto& [address, name] : members) t.AddListEntry(name, L"", L"", address, list);
    return t;
}

// --- RFC 5322 mailbox (name-addr / addr-spec), display-name as a phrase of atoms and
// quoted-strings; atext also takes every character beyond ASCII (RFC 6532).
struct Mailbox {
    std::wstring name, address;
};

bool IsAtext(wchar_t c) {
    if (c > 0x7F) return true;
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9')) return true;
    return std::wstring_view(L"!#$%&'*+-/=?^_`{|}~").find(c) != std::wstring_view::npos;
}

std::optional<Mailbox> ParseMailbox(const std::wstring& s) {
    size_t i = 0;
    auto skipBlanks = [&] { while (i < s.size() && (s[i] == L' ' || s[i] == L'\t')) ++i; };
    std::vector<std::wstring> words;
    skipBlanks();
    while (i < s.size() && s[i] != L'<') {
        std::wstring word;
        if (s[i] == L'"') {
            for (++i;; ++i) {
                if (i >= s.size()) return std::nullopt;  // unterminated
                if (s[i] == L'"') break;
                if (s[i] == L'\\') {
                    if (++i >= s.size()) return std::nullopt;
                }
                word += s[i];
            }
            ++i;
        } else {
            while (i < s.size() && IsAtext(s[i])) word += s[i++];
            if (word.empty()) break;  // a special outside quotes: not a phrase
        }
        words.push_back(word);
        skipBlanks();
    }
    if (i < s.size() && s[i] == L'<') {
        const size_t close = s.find(L'>', i);
        if (close == std::wstring::npos || close + 1 != s.size()) return std::nullopt;
        Mailbox m{L"", s.substr(i + 1, close - i - 1)};
        for (size_t w = 0; w < words.size(); ++w) m.name += (w ? L" " : L"") + words[w];
        return m;
    }
    // No angle brackets: the whole line must be a bare addr-spec, with no display name.
    if (words.size() > 1 || s.find_first_of(L" \"") != std::wstring::npos) return std::nullopt;
    return Mailbox{L"", s};
}

// --- RFC 4180: records of fields, CRLF between records, quoted fields with doubled quotes.
std::optional<std::vector<std::vector<std::wstring>>> ReadCsv(const std::wstring& s) {
    std::vector<std::vector<std::wstring>> records;
    std::vector<std::wstring> record;
    size_t i = 0;
    while (i < s.size()) {
        std::wstring field;
        if (s[i] == L'"') {
            for (++i;; ++i) {
                if (i >= s.size()) return std::nullopt;
                if (s[i] == L'"') {
                    if (i + 1 < s.size() && s[i + 1] == L'"') {
                        field += L'"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += s[i];
            }
        } else {
            while (i < s.size() && s[i] != L',' && s[i] != L'\r') {
                if (s[i] == L'"' || s[i] == L'\n') return std::nullopt;  // only inside quotes
                field += s[i++];
            }
        }
        record.push_back(field);
        if (i < s.size() && s[i] == L',') {
            ++i;
            continue;
        }
        if (s.compare(i, 2, L"\r\n") != 0) return std::nullopt;
        i += 2;
        records.push_back(record);
        record.clear();
    }
    return records;
}

// Names that matter to one or the other form.
const std::vector<std::wstring> kHardNames = [] {
    std::vector<std::wstring> names = {L"Ann Lee", L"Lee, Ann", L"Ann \"Nan\" Lee", L"Back\\slash", L"\\\"", L"\"", L"\\",
                                       L"Ann (Sales)", L"<ann@x>", L"a@b", L"Dr. Lee", L"x;y:z", L"[boxed]",
                                       L"Zoë Ça Ñandú", L"\u674e\u5a1c", L"Smile \U0001F600 face", L"=SUM(A1)", L"+1 555",
                                       L"-minus", L"@home", L" leading", L"trailing ", L"two  blanks", L" ", L"'quoted'",
                                       L"!#$%&'*+-/=?^_`{|}~"};
    for (wchar_t c : std::wstring(L"()<>@,;:\\\".[]")) names.push_back(std::wstring(L"A") + c + L"B");
    return names;
}();

TEST(ListFormats, MailmanLinesReadBackAsTheSameNameAndAddress) {
    for (const std::wstring& name : kHardNames) {
        SCOPED_TRACE(testing::PrintToString(name));
        const std::wstring line = orvalis::MailmanLine(L"ann@example.com", name);
        const auto parsed = ParseMailbox(line);
        ASSERT_TRUE(parsed.has_value()) << testing::PrintToString(line);
        EXPECT_EQ(name, parsed->name);
        EXPECT_EQ(L"ann@example.com", parsed->address);
    }
}

TEST(ListFormats, MailmanQuotesOnlyWhatNeedsIt) {
    const struct {
        const char* label;
        std::wstring name, line;
    } rows[] = {
        {"a plain name", L"Ann Lee", L"Ann Lee <a@x>"},
        {"non-ASCII stands as it is", L"Zoë", L"Zoë <a@x>"},
        {"a comma", L"Lee, Ann", L"\"Lee, Ann\" <a@x>"},
        {"a quote and a backslash, escaped", L"A\"B\\C", L"\"A\\\"B\\\\C\" <a@x>"},
        {"a point", L"Dr. Lee", L"\"Dr. Lee\" <a@x>"},
        {"a trailing blank", L"Cy ", L"\"Cy \" <a@x>"},
        {"an empty name: the address alone", L"", L"a@x"},
        {"a line break, blanked first", L"Ann\r\nLee", L"\"Ann  Lee\" <a@x>"},
    };
    for (const auto& r : rows) EXPECT_EQ(r.line, orvalis::MailmanLine(L"a@x", r.name)) << r.label;
}

TEST(ListFormats, CsvRecordsReadBackWithFormulasDefused) {
    std::vector<std::pair<std::wstring, std::wstring>> members;
    for (size_t i = 0; i < kHardNames.size(); ++i) members.push_back({L"m" + std::to_wstring(i) + L"@x", kHardNames[i]});
    members.push_back({L"=cmd|' /c calc'!A0", L"-2+3"});
    const MemberTable table = TableOf(members);
    const auto records = ReadCsv(orvalis::BuildListText(table, ListFormat::Csv));
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(members.size() + 1, records->size());
    EXPECT_EQ((std::vector<std::wstring>{L"address", L"name"}), (*records)[0]);
    for (size_t i = 0; i < members.size(); ++i) {
        SCOPED_TRACE(testing::PrintToString(members[i].second));
        auto expected = [](const std::wstring& field) {
            const bool formula = !field.empty() && std::wstring_view(L"=+-@").find(field[0]) != std::wstring_view::npos;
            return formula ? L"'" + field : field;
        };
        EXPECT_EQ((std::vector<std::wstring>{expected(members[i].first), expected(members[i].second)}), (*records)[i + 1]);
    }
}

TEST(ListFormats, EachFormatIsOneLinePerMemberEndingInCrLf) {
    const MemberTable table = TableOf({{L"ann@x", L"Ann Lee"}, {L"bob@x", L"Lee, Bob"}, {L"cy@x", L""}});
    EXPECT_EQ(L"ann@x Ann Lee\r\nbob@x Lee, Bob\r\ncy@x \r\n", orvalis::BuildListText(table, ListFormat::AddressName));
    EXPECT_EQ(L"Ann Lee <ann@x>\r\n\"Lee, Bob\" <bob@x>\r\ncy@x\r\n", orvalis::BuildListText(table, ListFormat::Mailman));
    EXPECT_EQ(L"address,name\r\nann@x,Ann Lee\r\nbob@x,\"Lee, Bob\"\r\ncy@x,\r\n", orvalis::BuildListText(table, ListFormat::Csv));
    const MemberTable empty;
    EXPECT_EQ(L"", orvalis::BuildListText(empty, ListFormat::Mailman));
    EXPECT_EQ(L"address,name\r\n", orvalis::BuildListText(empty, ListFormat::Csv));
}

TEST(ListFormats, Utf8WithAndWithoutTheByteOrderMark) {
    EXPECT_EQ("ann", orvalis::ToUtf8(L"ann"));
    EXPECT_EQ("\xEF\xBB\xBF" "ann", orvalis::ToUtf8(L"ann", true));
    EXPECT_EQ("Zo\xC3\xAB \xE6\x9D\x8E \xF0\x9F\x98\x80", orvalis::ToUtf8(L"Zoë \u674e \U0001F600"));
    // A surrogate standing alone is no character: the replacement character stands for it.
    EXPECT_EQ("a\xEF\xBF\xBD" "b", orvalis::ToUtf8(std::wstring(L"a") + static_cast<wchar_t>(0xDC00) + L"b"));
}

}  // namespace
