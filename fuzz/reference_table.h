#pragma once
// The member table's rule written out directly, to check the real one against: rows in a
// plain array, a linear scan for the address (exact, whole strings), the first occurrence
// wins, 8001 rows at most, an empty address never a member; the name is given name, blank,
// surname, or the display name when both are empty; the list line is display name, " (",
// address, ")".
#include <algorithm>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "member_table.h"

namespace fuzz {

// One call's four strings, in the order the table takes them.
struct Member {
    std::wstring display, given, surname, address;
};

inline Member TakeMember(Input& in) {
    Member m;
    m.display = in.String();
    m.given = in.String();
    m.surname = in.String();
    m.address = in.String();
    return m;
}

struct ReferenceTable {
    static constexpr std::size_t kRows = 8001;
    std::vector<std::wstring_view> addresses, names;  // the rows in use, in order

    // The outcome, and the line the list box gets (when the outcome is Added).
    orvalis::AddOutcome Add(const Member& m, std::wstring& line) {
        const std::wstring& address = m.address;
        if (address.empty()) return orvalis::AddOutcome::NoAddress;
        if (std::find(addresses.begin(), addresses.end(), address) != addresses.end())
            return orvalis::AddOutcome::Duplicate;
        if (addresses.size() == kRows) return orvalis::AddOutcome::TableFull;
        line = m.display + L" (" + address + L")";
        addresses.push_back(Keep(address));
        names.push_back(Keep(m.given.empty() && m.surname.empty() ? m.display : m.given + L" " + m.surname));
        return orvalis::AddOutcome::Added;
    }

    // Takes back the last add.
    void Unadd() {
        addresses.pop_back();
        names.pop_back();
    }

    void Reset() {
        addresses.clear();
        names.clear();
    }

    // Strings that outlive the caller's; a deque never moves what it holds.
    std::wstring_view Keep(std::wstring s) { return kept.emplace_back(std::move(s)); }
    std::deque<std::wstring> kept;
};

// The list box: how many lines it was given, and the last one.
struct RecordingList : orvalis::ListSink {
    std::size_t count = 0;
    std::wstring last;
    void AddLine(const std::wstring& line) override {
        ++count;
        last = line;
    }
};

inline bool IsControl(wchar_t c) { return c <= 0x1F || c == 0x7F || c == 0x85 || c == 0x2028 || c == 0x2029; }

// Every row, its line-breaking note and the stored lines agree with the reference.
inline void ExpectSameRows(const orvalis::MemberTable& table, const ReferenceTable& ref) {
    Expect(static_cast<std::size_t>(table.memberCount()) == ref.addresses.size(), "memberCount differs");
    std::wstring lines;
    for (std::size_t row = 0; row < ref.addresses.size(); ++row) {
        const int r = static_cast<int>(row);
        const std::wstring_view address = ref.addresses[row], name = ref.names[row];
        Expect(table.Address(r) == address, "a row's address differs");
        Expect(table.Name(r) == name, "a row's name differs");
        const bool breaks = std::any_of(address.begin(), address.end(), IsControl) ||
                            std::any_of(name.begin(), name.end(), IsControl);
        Expect(table.HasLineBreaks(r) == breaks, "a row's line-breaking note differs");
        lines.append(address).append(L" ").append(name).append(L"\r\n");
    }
    Expect(table.Lines() == lines, "the stored lines differ");
}

}  // namespace fuzz
