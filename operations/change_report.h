#pragma once

#include <optional>
#include <string_view>

#include "operations/form.h"
#include "words/texts.h"
#include "registry/change.h"

namespace vw {

// Tells the user how a change that did not go through ended: a refusal, or the step's error and
// then each key that could not be put back. Returns whether the change was done.
bool ReportChange(Form& form, const ChangeOutcome& outcome);

// What the entry `name` shows and runs now, read through the merged view; nullopt when there is
// no such entry or it cannot be read (a confirmation then says less, and the change itself
// reports any failure).
std::optional<text::EntryPreview> ReadEntry(RegistryServices& registry, std::wstring_view name);

}  // namespace vw
