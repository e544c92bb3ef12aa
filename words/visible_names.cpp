#include "words/visible_names.h"

#include <cstdint>
#include <type_traits>

namespace vw::text {

std::wstring VisibleName(std::wstring_view name) {
  // Spaces at either end: shown as U+2423 (␣), so "Notepad " is not mistaken for "Notepad".
  const std::size_t first = name.find_first_not_of(L' ');
  const std::size_t last = name.find_last_not_of(L' ');
  std::wstring shown;
  shown.reserve(name.size());
  for (std::size_t index = 0; index < name.size(); ++index) {
    const auto code =
        static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(name[index]));
    if (code < 0x20) {
      shown += static_cast<wchar_t>(0x2400 + code);
    } else if (code == 0x7F) {
      shown += L'\u2421';
    } else if (code == L' ' &&
               (first == std::wstring_view::npos || index < first || index > last)) {
      shown += L'\u2423';
    } else {
      shown += name[index];
    }
  }
  return shown;
}

std::wstring VisibleKeyPath(std::wstring_view key_text) {
  std::wstring shown;
  shown.reserve(key_text.size());
  for (std::size_t start = 0;;) {
    const std::size_t end = key_text.find(L'\\', start);
    shown += VisibleName(key_text.substr(start, end - start));
    if (end == std::wstring_view::npos) return shown;
    shown += L'\\';
    start = end + 1;
  }
}

}  // namespace vw::text
