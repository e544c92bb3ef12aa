#pragma once

#include <optional>
#include <string_view>

#include "registry/services.h"
#include "words/texts.h"

namespace vw {

// What the entry `name` shows and runs now, read through the merged view; nullopt when there is
// no such entry or it cannot be read (a confirmation then says less, and the change itself
// reports any failure).
std::optional<text::EntryPreview> ReadEntry(RegistryServices& registry, std::wstring_view name);

}  // namespace vw
