// Filling the member table and offering every address again, against appending the same
// strings to a plain vector. Each run times both back to back; the median of the runs'
// ratios is printed, which holds up on a busy machine.
#include <cstdio>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "member_table.h"

namespace {

struct CountingList : orvalis::ListSink {
    long lines = 0;
    void AddLine(const std::wstring&) override { ++lines; }
};

}  // namespace

int main() {
    constexpr int kRuns = 21;
    std::vector<std::wstring> addresses;
    for (int i = 0; i < orvalis::MemberTable::kRows; ++i) {
        addresses.push_back(L"member" + std::to_wstring(i * 7919 % 100003) + L"@lists.example.org");
    }
    // The names are strings the caller already holds, as "Create List" passes them.
    const std::wstring name = L"Member Name", none;
    orvalis::MemberTable table;
    CountingList list;
    auto fillTwice = [&] {
        table.Reset();
        for (const auto& a : addresses) table.AddListEntry(name, none, none, a, list);
        for (const auto& a : addresses) table.AddListEntry(name, none, none, a, list);
    };
    std::size_t appended = 0;
    auto append = [&] {
        std::vector<std::wstring> plain;
        for (const auto& a : addresses) plain.push_back(a);
        appended = plain.size();
    };
    // The same work with a first-match scan over the rows in use, for scale.
    std::size_t scanned = 0;
    auto scanTwice = [&] {
        std::vector<std::wstring> rows;
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto& a : addresses) {
                if (std::find(rows.begin(), rows.end(), a) == rows.end()) rows.push_back(a);
            }
        }
        scanned = rows.size();
    };

    std::vector<double> tableTimes, vectorTimes, ratios, scanRatios;
    for (int r = 0; r < kRuns; ++r) {
        tableTimes.push_back(bench::Micros(fillTwice));
        vectorTimes.push_back(bench::Micros(append));
        ratios.push_back(tableTimes.back() / vectorTimes.back());
        if (r < 3) scanRatios.push_back(bench::Micros(scanTwice) / bench::Micros(fillTwice));
    }

    std::printf("member table, 8001 adds + 8001 duplicates: median %.0f us (count %d, lines per run %ld)\n",
                bench::Median(tableTimes), table.memberCount(), list.lines / (kRuns + 3));
    std::printf("vector append of %zu strings:             median %.0f us\n", appended, bench::Median(vectorTimes));
    std::printf("ratio member table / vector append (median of %d runs): %.1f\n", kRuns, bench::Median(ratios));
    std::printf("ratio linear scan (%zu rows) / member table (median of 3): %.0f\n", scanned, bench::Median(scanRatios));
    return 0;
}
