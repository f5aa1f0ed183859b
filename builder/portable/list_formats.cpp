#include "list_formats.h"

#include <cstdint>

#include "list_text.h"

namespace orvalis {

namespace {

constexpr std::wstring_view kSpecials = L"()<>@,;:\\\".[]";

// A name an address-list parser reads back as it stands when written bare: no special
// character, and no blank at either end or next to another (a phrase's words are read back
// joined by single blanks).
bool NeedsQuotes(std::wstring_view name) {
    if (name.front() == L' ' || name.back() == L' ') return true;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (kSpecials.find(name[i]) != std::wstring_view::npos) return true;
        if (name[i] == L' ' && i + 1 < name.size() && name[i + 1] == L' ') return true;
    }
    return false;
}

bool StartsLikeAFormula(std::wstring_view field) {
    if (field.empty()) return false;
    const wchar_t c = field.front();
    return c == L'=' || c == L'+' || c == L'-' || c == L'@' || c == L'\t' || c == L'\r';
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | c >> 6));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | c >> 12));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | c >> 18));
        out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

bool IsHighSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::wstring MailmanLine(std::wstring_view address, std::wstring_view name) {
    const std::wstring cleanAddress = SanitizeField(std::wstring(address));
    const std::wstring cleanName = SanitizeField(std::wstring(name));
    if (cleanName.empty()) return cleanAddress;
    std::wstring line;
    line.reserve(cleanName.size() + cleanAddress.size() + 5);
    if (NeedsQuotes(cleanName)) {
        line += L'"';
        for (wchar_t c : cleanName) {
            if (c == L'"' || c == L'\\') line += L'\\';
            line += c;
        }
        line += L'"';
    } else {
        line += cleanName;
    }
    return line + L" <" + cleanAddress + L">";
}

std::wstring CsvField(std::wstring_view field) {
    std::wstring clean = SanitizeField(std::wstring(field));
    if (StartsLikeAFormula(clean)) clean.insert(clean.begin(), L'\'');
    if (clean.find_first_of(L",\"\r\n") == std::wstring::npos) return clean;
    std::wstring quoted = L"\"";
    for (wchar_t c : clean) {
        if (c == L'"') quoted += L'"';
        quoted += c;
    }
    return quoted + L'"';
}

std::wstring BuildListText(const MemberTable& table, ListFormat format) {
    if (format == ListFormat::AddressName) return BuildListText(table);
    std::wstring text;
    if (format == ListFormat::Csv) text = L"address,name\r\n";
    for (int row = 0; row < table.memberCount(); ++row) {
        if (format == ListFormat::Mailman) text += MailmanLine(table.Address(row), table.Name(row));
        else text += CsvField(table.Address(row)) + L"," + CsvField(table.Name(row));
        text += L"\r\n";
    }
    return text;
}

std::string ToUtf8(std::wstring_view text, bool byteOrderMark) {
    std::string out;
    out.reserve(text.size() + 3);
    if (byteOrderMark) out = "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < text.size(); ++i) {
        uint32_t c = static_cast<uint32_t>(text[i]);
        if (sizeof(wchar_t) == 2 && IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(static_cast<uint32_t>(text[i + 1]))) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(text[++i]) - 0xDC00);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

}  // namespace orvalis
