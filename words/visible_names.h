#pragma once

// Names as the user reads them: what would show as nothing, or be mistaken for something else,
// made visible.
#include <string>
#include <string_view>

namespace vw::text {

// A name with the units that show as nothing made visible: a null as U+2400 (␀), the other
// control characters as their own pictures, U+2400 to U+2421, and spaces at either end as U+2423
// (␣).
std::wstring VisibleName(std::wstring_view name);

// A key written out in full (KeyPathText) as the user reads it: each name between the '\'s made
// visible. No key name holds a '\', so the split is the key's own.
std::wstring VisibleKeyPath(std::wstring_view key_text);

}  // namespace vw::text
