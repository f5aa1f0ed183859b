#pragma once
// The mail client's own view of the address book (the 2007-and-later object model): the
// Select Names dialog, the recipients it returns, address entries, Exchange users and lists,
// contact groups and their properties. The entries and the user's answers are the CDO
// stand-in's directory and picks, so one scenario drives both ways of reaching them.
#include <functional>
#include <string>
#include <vector>

#include "cdo/directory.h"
#include "sim_object.h"

namespace sim::outlook {

using cdo::DirectoryEntry;
using cdo::EntryRef;

// OlAddressEntryUserType.
enum UserType : long {
    olExchangeUserAddressEntry = 0,
    olExchangeDistributionListAddressEntry = 1,
    olExchangePublicFolderAddressEntry = 2,
    olExchangeAgentAddressEntry = 3,
    olExchangeOrganizationAddressEntry = 4,
    olExchangeRemoteUserAddressEntry = 5,
    olOutlookContactAddressEntry = 10,
    olOutlookDistributionListAddressEntry = 11,
    olLdapAddressEntry = 20,
    olSmtpAddressEntry = 30,
    olOtherAddressEntry = 40,
};

// What the client makes of a directory entry: the scenario's "userType" if it gives one,
// else from the address type and the display type.
long UserTypeOf(const DirectoryEntry& e);

// The position (0-based) that Item(Index) names among count entries: a 1-based number, or the
// first entry whose name (nameAt(i)) matches, ignoring case. Fails as the client does when
// there is none. A number costs nothing per entry, so a long list is walked in linear time.
size_t ItemPosition(const CallArgs& args, size_t count, const std::function<const std::wstring&(size_t)>& nameAt);

// Fails as the client does for an entry or list that is not in the address book (0x8004010F).
[[noreturn]] void ObjectNotFound();

// An AddressEntry (an ExchangeUser or ExchangeDistributionList where the entry is one).
Variant NewAddressEntry(EntryRef entry);
// The Recipients collection of the entries picked in one dialog.
Variant NewRecipients(std::vector<EntryRef> picked);
// A new Select Names dialog with the client's defaults.
Variant NewSelectNamesDialog();

}  // namespace sim::outlook
