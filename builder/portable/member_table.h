#pragma once
// The member table: one row for each distinct e-mail address, in the order added.
// Portable: no Windows headers, so it also builds natively under the sanitizers.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvalis {

// Where a new member's line goes: the window's list box List1.
class ListSink {
public:
    virtual ~ListSink() = default;
    virtual void AddLine(const std::wstring& line) = 0;
};

enum class AddOutcome {
    Added,      // a new row and one list line
    Duplicate,  // the address is already in the table: nothing shown, nothing stored
    NoAddress,  // an empty address is never a member: nothing shown, nothing stored
    TableFull,  // all rows in use: nothing shown, nothing stored
};

class MemberTable {
public:
    static constexpr int kRows = 8001;  // rows 0 to 8000

    MemberTable();

    // Adds one member unless its address is already in the table (exact, case-sensitive,
    // first occurrence wins). The row's name is given name, blank, surname; or the display
    // name when both are empty. The list line (display name, " (", address, ")") goes to
    // list before the row is stored; if list throws, the table is untouched.
    AddOutcome AddListEntry(const std::wstring& displayName, const std::wstring& givenName,
                            const std::wstring& surname, const std::wstring& address, ListSink& list);

    // Sets memberCount to 0 (the rows' strings stay until overwritten).
    void Reset();

    int16_t memberCount() const { return memberCount_; }
    const std::wstring& Address(int row) const { return address_.at(row); }
    const std::wstring& Name(int row) const { return name_.at(row); }
    // True when the row's address or name holds a line-breaking character; noted once per
    // add so that writing the list needs no character scan for ordinary rows.
    bool HasLineBreaks(int row) const { return lineBreaks_.at(row) != 0; }

private:
    std::vector<std::wstring> address_;
    std::vector<std::wstring> name_;
    std::vector<unsigned char> lineBreaks_;
    int16_t memberCount_ = 0;
    std::unordered_map<std::wstring, int> rowOf_;  // addresses of rows in use
};

// The list box line of a member: display name, " (", address, ")".
std::wstring ListBoxLine(const std::wstring& displayName, const std::wstring& address);

}  // namespace orvalis
