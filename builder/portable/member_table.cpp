#include "member_table.h"

#include <utility>

#include "line_breaks.h"

namespace orvalis {

MemberTable::MemberTable() : address_(kRows), name_(kRows), lineBreaks_(kRows, 0) {
    // Every address of a full table fits without the index ever rehashing.
    rowOf_.reserve(kRows);
}

std::wstring ListBoxLine(const std::wstring& displayName, const std::wstring& address) {
    std::wstring line;
    line.reserve(displayName.size() + address.size() + 3);
    line.append(displayName).append(L" (").append(address).append(L")");
    return line;
}

namespace {

// The name the output carries: given name, blank, surname; the display name when the
// directory gave neither part.
std::wstring RowName(const std::wstring& displayName, const std::wstring& givenName,
                     const std::wstring& surname) {
    if (givenName.empty() && surname.empty()) return displayName;
    std::wstring name;
    name.reserve(givenName.size() + 1 + surname.size());
    name.append(givenName).append(L" ").append(surname);
    return name;
}

}  // namespace

AddOutcome MemberTable::AddListEntry(const std::wstring& displayName, const std::wstring& givenName,
                                     const std::wstring& surname, const std::wstring& address,
                                     ListSink& list) {
    if (address.empty()) return AddOutcome::NoAddress;
    // The index holds exactly the addresses of rows in use, each pointing at its first
    // (and only) row, so a lookup answers what a scan of rows 0..memberCount-1 would.
    if (rowOf_.count(address) != 0) return AddOutcome::Duplicate;
    if (memberCount_ >= kRows) return AddOutcome::TableFull;

    // Everything that can throw happens before the row is stored; the index entry is
    // taken back if the list box refuses the line, so a failure leaves no trace.
    const int row = memberCount_;
    std::wstring newAddress = address;
    std::wstring newName = RowName(displayName, givenName, surname);
    const std::wstring line = ListBoxLine(displayName, address);
    const auto entry = rowOf_.emplace(address, row).first;
    try {
        list.AddLine(line);
    } catch (...) {
        rowOf_.erase(entry);
        throw;
    }
    lineBreaks_[row] = HasLineBreaking(newAddress) || HasLineBreaking(newName);
    address_[row] = std::move(newAddress);
    name_[row] = std::move(newName);
    ++memberCount_;
    return AddOutcome::Added;
}

void MemberTable::Reset() {
    // Rows keep their strings until overwritten, but none of them is in use any more.
    rowOf_.clear();
    memberCount_ = 0;
}

}  // namespace orvalis
