#pragma once
// The CDO objects below the session. Each is made afresh whenever it is asked for, as the
// library does, and carries its directory entry's id as its id in the log and in fault rules.
#include <vector>

#include "directory.h"
#include "sim_object.h"

namespace sim::cdo {

// The 1-based index (or, for Fields, the tag) that an Item call asks for.
inline long IndexArg(const CallArgs& args) {
    const VARIANT* index = args.At(0);
    if (!index) FailWith(kInvalidParameter);
    return orv::ToLong(*index);
}

// A Recipients collection of the entries picked in one dialog, in the order picked; its
// enumeration also yields the strays, each before the entry at its position.
Variant NewRecipients(std::vector<EntryRef> picked, std::vector<std::pair<size_t, Variant>> strays = {});
// The address entry of a directory entry.
Variant NewAddressEntry(EntryRef entry);

}  // namespace sim::cdo
