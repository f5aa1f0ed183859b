#pragma once
// The member table: one row for each distinct e-mail address, in the order added.
// Portable: no Windows headers, so it also builds natively under the sanitizers.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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

    // Sets memberCount to 0; the storage is kept for the next list.
    void Reset();

    int16_t memberCount() const { return memberCount_; }
    // Row 0 to kRows - 1; a row not in use reads as empty. The views stay valid until the
    // next add or reset.
    std::wstring_view Address(int row) const;
    std::wstring_view Name(int row) const;
    // True when the row's address or name holds a line-breaking character; noted once per
    // add so that writing the list needs no character scan for ordinary rows.
    bool HasLineBreaks(int row) const { return rows_.at(row).lineBreaks && row < memberCount_; }
    // The rows in use as their list lines back to back, each address, blank, name, CR LF,
    // exactly as stored (no character blanked). The rows are kept in this form so that
    // writing the list is one copy.
    std::wstring_view Lines() const { return {text_.get(), textSize_}; }

private:
    struct Row {
        std::size_t start = 0;  // of the row's line in text_
        std::size_t addressLength = 0;
        std::size_t nameLength = 0;
        bool lineBreaks = false;
    };
    // The index: open addressing over the rows' stored addresses, so no address is kept
    // twice. A slot holds the row number plus one in its low bits (0 is a free slot) and
    // the high bits of the row's hash above them, so most probes end without touching a
    // row. The low bits of the hash pick the slot; a table at most half full keeps the
    // probes short.
    using Slot = uint32_t;
    static constexpr int kRowBits = 14;
    static constexpr std::size_t kSlots = std::size_t{1} << kRowBits;
    static_assert(kRows < kSlots / 2 + 1, "the index must stay at most half full");

    // The slot holding address, or the free slot where it would go.
    std::size_t FindSlot(std::wstring_view address, uint32_t hash) const;
    // Room for extra more units of text; may throw, and then nothing has changed.
    void ReserveText(std::size_t extra);

    std::vector<Row> rows_;
    std::vector<Slot> slots_;
    std::unique_ptr<wchar_t[]> text_;
    std::size_t textSize_ = 0;
    std::size_t textCapacity_ = 0;
    std::wstring line_;  // the list box line, reused from add to add
    int16_t memberCount_ = 0;
};

}  // namespace orvalis
