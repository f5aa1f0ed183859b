// The member table against the reference: a run of adds (some refused by the list box)
// and resets, optionally on a table that starts a few rows short of full, so that the
// limit is within reach of a short input.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "member_table.h"
#include "reference_table.h"

namespace {

struct RefusingList : orvalis::ListSink {
    void AddLine(const std::wstring&) override { throw std::runtime_error("list box refused"); }
};

// The rows a table starts with; an input may repeat one of their addresses, which the
// reference's scan finds like any other. Made once: the limit is reached in every run
// that asks for it, and the run stays fast.
const std::vector<std::wstring>& FillAddresses() {
    static const std::vector<std::wstring> addresses = [] {
        std::vector<std::wstring> a;
        for (std::size_t i = 0; i < fuzz::ReferenceTable::kRows; ++i) a.push_back(L"row" + std::to_wstring(i) + L"@fill");
        return a;
    }();
    return addresses;
}

void FillAllBut(std::size_t free, orvalis::MemberTable& table, fuzz::ReferenceTable& ref, fuzz::RecordingList& list) {
    static const std::wstring name = L"Row", none;
    const auto& addresses = FillAddresses();
    for (std::size_t i = 0; i + free < fuzz::ReferenceTable::kRows; ++i) {
        table.AddListEntry(name, none, none, addresses[i], list);
        // Distinct by construction, so appending them is what the scan would do.
        ref.addresses.push_back(addresses[i]);
        ref.names.push_back(name);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    orvalis::MemberTable table;
    fuzz::ReferenceTable ref;
    fuzz::RecordingList list;
    const uint8_t start = in.Byte();
    if (start % 16 == 15) FillAllBut(start / 16 % 8, table, ref, list);
    std::size_t expectedLines = list.count;

    while (!in.empty()) {
        const uint8_t op = in.Byte();
        if (op % 8 == 0) {
            table.Reset();
            ref.Reset();
            fuzz::Expect(table.memberCount() == 0 && table.Lines().empty(), "reset left rows");
            continue;
        }
        const fuzz::Member m = fuzz::TakeMember(in);
        std::wstring line;
        const int16_t before = table.memberCount();
        if (op % 8 == 1) {
            const std::wstring stored(table.Lines());
            RefusingList refusing;
            // What the reference would do, taken back again: a refused line stores nothing.
            const orvalis::AddOutcome would = ref.Add(m, line);
            if (would == orvalis::AddOutcome::Added) ref.Unadd();
            bool threw = false;
            try {
                table.AddListEntry(m.display, m.given, m.surname, m.address, refusing);
            } catch (const std::runtime_error&) {
                threw = true;
            }
            fuzz::Expect(threw == (would == orvalis::AddOutcome::Added), "a refused line was not passed on");
            fuzz::Expect(table.memberCount() == before && table.Lines() == stored, "a refused line changed the table");
            continue;
        }
        const orvalis::AddOutcome outcome = table.AddListEntry(m.display, m.given, m.surname, m.address, list);
        fuzz::Expect(outcome == ref.Add(m, line), "outcome differs");
        if (outcome == orvalis::AddOutcome::Added) {
            ++expectedLines;
            fuzz::Expect(list.count == expectedLines && list.last == line, "list line differs");
        }
        fuzz::Expect(list.count == expectedLines, "a line was shown for a member not added");
        fuzz::Expect(static_cast<std::size_t>(table.memberCount()) == ref.addresses.size(), "memberCount differs");
    }
    fuzz::ExpectSameRows(table, ref);
    return 0;
}
