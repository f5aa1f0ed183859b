#pragma once
// The user's two options for the list, offered on the ribbon of clients from 2010 on: whether a
// list inside a picked list is expanded too ("Lists in lists"), and the form the list is
// written in ("Format"). Kept per user under HKCU\Software\Orvalis\Options: ExpandNested
// (REG_DWORD 0 or 1) and ListFormat (REG_SZ "address-name", "mailman" or "csv"), written when
// they change and read when the add-in connects. On clients up to 2007 nothing of this exists:
// the list is built and written as it always was.
#include <optional>
#include <string>

#include "list_formats.h"

namespace orvalis {

struct ListOptions {
    bool expandNested = false;
    ListFormat format = ListFormat::AddressName;
};

// The options as the user last left them. What is absent, can't be read, or holds a value of
// another type or an unknown name is the default (off, address-name): never a failure.
ListOptions ReadListOptions() noexcept;

// Each writes its value under the user's key (made if need be); throws orv::Error when the
// registry refuses.
void WriteExpandNested(bool expandNested);
void WriteListFormat(ListFormat format);

// "address-name", "mailman", "csv"; and back (nothing for any other text, compared exactly).
const wchar_t* ListFormatName(ListFormat format) noexcept;
std::optional<ListFormat> ListFormatNamed(const std::wstring& name) noexcept;

}  // namespace orvalis
