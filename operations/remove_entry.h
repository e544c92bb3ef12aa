#pragma once

#include "operations/form.h"
#include "operations/system_services.h"
#include "registry/services.h"

namespace vw {

// Removes the entry selected in the form's entry list, after asking: its verb key with everything
// under it from this user's classes and the machine's, then the list item. Either the entry is
// gone or the registry is put back as it was; failures are reported, never thrown.
void RemoveEntry(Form& form, SystemServices& system, RegistryServices& registry);

}  // namespace vw
