#pragma once

#include <optional>
#include <string_view>

#include "operations/form.h"
#include "registry/change.h"
#include "words/texts.h"

namespace vw {

// Tells the user how a change that did not go through ended: a refusal, or the step's error and
// then each key that could not be put back. Returns whether the change was done.
bool ReportChange(Form& form, const ChangeOutcome& outcome);

}  // namespace vw
