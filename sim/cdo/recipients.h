#pragma once
// Recipient and Recipients: what an address-book dialog returns, CDO's and the mail client's
// alike. The two differ only in a few answers, which each address book gives through its
// RecipientBook; the rest (the members, their order, the entry looked up afresh) is one object.
#include <utility>
#include <vector>

#include "directory.h"
#include "sim_object.h"

namespace sim::cdo {

// What one address book's recipients answer in their own way.
class RecipientBook {
public:
    virtual Variant Name(const DirectoryEntry& e) const = 0;
    virtual Variant Address(const DirectoryEntry& e) const = 0;
    virtual Variant DisplayType(const DirectoryEntry& e) const = 0;
    // The client's recipients say whether they are resolved; CDO's have no such member.
    virtual bool AnswersResolved() const = 0;
    // The 0-based position among the picked entries that Item(Index) names; fails as the
    // address book does when it names none.
    virtual size_t Position(const CallArgs& args, const std::vector<EntryRef>& picked) const = 0;
    // Fails AddressEntry for an entry that is no longer in the directory.
    [[noreturn]] virtual void EntryGone() const = 0;
    // The address book's own AddressEntry of an entry.
    virtual Variant AddressEntry(EntryRef entry) const = 0;

protected:
    ~RecipientBook() = default;
};

// The Recipients of one dialog: the picked entries in order, whose enumeration also yields
// the strays, each before the entry at its position. book must outlive the collection.
Variant NewRecipients(const RecipientBook& book, std::vector<EntryRef> picked,
                      std::vector<std::pair<size_t, Variant>> strays = {});

}  // namespace sim::cdo
