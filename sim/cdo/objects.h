#pragma once
// The CDO objects below the session. Each is made afresh whenever it is asked for, as the
// library does, and carries its directory entry's id as its id in the log and in fault rules.
#include <vector>

#include "directory.h"
#include "sim_object.h"

namespace sim::cdo {

// A Recipients collection of the entries picked in one dialog, in the order picked.
Variant NewRecipients(std::vector<DirectoryEntry> picked);
// The address entry of a directory entry as it is now.
Variant NewAddressEntry(const DirectoryEntry& entry);

}  // namespace sim::cdo
