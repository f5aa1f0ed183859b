// Building the list text of a full table, against copying the same number of bytes. Each
// run times both back to back; the median of the runs' ratios is printed.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "list_text.h"
#include "member_table.h"

namespace {

struct NoList : orvalis::ListSink {
    void AddLine(const std::wstring&) override {}
};

}  // namespace

int main() {
    constexpr int kRuns = 51;
    orvalis::MemberTable table;
    NoList list;
    for (int i = 0; i < orvalis::MemberTable::kRows; ++i) {
        const std::wstring n = std::to_wstring(i);
        table.AddListEntry(L"", L"Given" + n, L"Surname" + n, L"member" + n + L"@lists.example.org", list);
    }
    const std::size_t units = orvalis::BuildListText(table).size();
    const std::size_t bytes = units * sizeof(wchar_t);
    std::vector<char> from(bytes, 'x');
    std::vector<char> to(bytes);
    volatile std::size_t seen = 0;

    std::vector<double> buildTimes, copyTimes, ratios;
    for (int r = 0; r < kRuns; ++r) {
        buildTimes.push_back(bench::Micros([&] { seen = orvalis::BuildListText(table).size(); }));
        copyTimes.push_back(bench::Micros([&] {
            std::memcpy(to.data(), from.data(), bytes);
            seen = static_cast<unsigned char>(to[bytes - 1]);
        }));
        ratios.push_back(buildTimes.back() / copyTimes.back());
    }

    std::printf("list text of 8001 rows: %zu units, median %.0f us\n", units, bench::Median(buildTimes));
    std::printf("memcpy of %zu bytes:    median %.0f us\n", bytes, bench::Median(copyTimes));
    std::printf("ratio list text / memcpy (median of %d runs): %.1f\n", kRuns, bench::Median(ratios));
    return 0;
}
