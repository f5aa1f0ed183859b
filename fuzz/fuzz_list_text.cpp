// The list text and field blanking against the line format written out directly: for each
// row in order, the address, one blank, the name, CR LF, with every control character
// (U+0000-U+001F, U+007F, U+0085, U+2028, U+2029) of the address and the name as a blank.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "list_text.h"
#include "member_table.h"
#include "reference_table.h"

namespace {

std::wstring Blanked(std::wstring_view field) {
    std::wstring out;
    for (wchar_t c : field) out.push_back(fuzz::IsControl(c) ? L' ' : c);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    orvalis::MemberTable table;
    fuzz::ReferenceTable ref;
    fuzz::RecordingList list;
    while (!in.empty()) {
        const fuzz::Member m = fuzz::TakeMember(in);
        fuzz::Expect(orvalis::SanitizeField(m.display) == Blanked(m.display), "blanked field differs");
        std::wstring line;
        ref.Add(m, line);
        table.AddListEntry(m.display, m.given, m.surname, m.address, list);
    }
    std::wstring text;
    for (std::size_t row = 0; row < ref.addresses.size(); ++row)
        text += Blanked(ref.addresses[row]) + L" " + Blanked(ref.names[row]) + L"\r\n";
    fuzz::Expect(orvalis::BuildListText(table) == text, "list text differs");
    return 0;
}
