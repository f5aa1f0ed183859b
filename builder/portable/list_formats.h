#pragma once
// The list in the form of the user's list server or spreadsheet. Portable: no Windows headers.
//
//  - address-name: "address name", as the list has always been written (list_text.h).
//  - mailman: "Name <address>", as the mass-subscribe box of the most common free list server
//    takes it: a name that an address-list parser would read differently as it stands (one
//    holding any of ()<>@,;:\".[], leading or trailing blanks, or blanks side by side) is
//    written as a quoted string, with " and \ escaped by a backslash; an empty name gives
//    the address alone.
//  - csv: a header line "address,name", then one record per member (RFC 4180: a field that
//    holds a comma, a quote, CR or LF is quoted, its quotes doubled). A field that starts with
//    "=", "+", "-", "@", a tab or CR gets a leading "'", so that a spreadsheet doesn't run it
//    as a formula.
// Every line ends in CR LF; every control character of an address or a name is a blank first,
// as SanitizeField does, so each member stays on one line.
#include <string>
#include <string_view>

#include "member_table.h"

namespace orvalis {

enum class ListFormat { AddressName, Mailman, Csv };

// The list text of the table's rows, in table order, in that format.
std::wstring BuildListText(const MemberTable& table, ListFormat format);

// One member's line without its CR LF.
std::wstring MailmanLine(std::wstring_view address, std::wstring_view name);
// One CSV field as written.
std::wstring CsvField(std::wstring_view field);

// The text as UTF-8, with a byte-order mark in front when asked for. A surrogate pair (UTF-16
// wide strings) is one character; a surrogate without its partner becomes U+FFFD.
std::string ToUtf8(std::wstring_view text, bool byteOrderMark = false);

}  // namespace orvalis
