#pragma once

#include "operations/form.h"
#include "operations/system_services.h"
#include "registry/services.h"

namespace vw {

// Makes the program chosen in the form a right-click entry of every executable: asks, writes the
// caption and the command line for every user (and into this user's copy of the entry, if there
// is one), lists the name if it is new and says so. Either the whole entry
// is written or the registry is put back as it was; failures are reported, never thrown.
void AddEntry(Form& form, SystemServices& system, RegistryServices& registry);

}  // namespace vw
