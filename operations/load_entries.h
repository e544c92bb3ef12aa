#pragma once

#include <optional>

#include "operations/entry_list.h"
#include "platform/system_error.h"
#include "registry/services.h"

namespace vw {

// Appends every verb under the verb root except the system's open and runas to the list, in the
// registry's order and with the names exactly as stored. A missing or empty root lists nothing.
// If reading fails part-way, the names read before the failure are listed, then the error is
// thrown.
void LoadEntries(RegistryServices& registry, EntryList& entries);

}  // namespace vw
