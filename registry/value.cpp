#include "registry/value.h"

#include <algorithm>
#include <type_traits>

#include "platform/case_fold.h"
#include "registry/key_path.h"

namespace vw {
namespace {

void PushUnit(std::vector<std::uint8_t>& data, std::uint32_t unit) {
  data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  data.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
}

}  // namespace

RegValue StringValue(std::wstring_view text) {
  RegValue value{kRegSz, {}};
  value.data.reserve((text.size() + 1) * 2);
  for (const wchar_t c : text) {
    const auto code = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
    if (code > 0xFFFF) {  // wchar_t is UTF-32 off Windows
      const std::uint32_t v = code - 0x10000;
      PushUnit(value.data, 0xD800 + (v >> 10));
      PushUnit(value.data, 0xDC00 + (v & 0x3FF));
    } else {
      PushUnit(value.data, code);
    }
  }
  PushUnit(value.data, 0);
  return value;
}

std::optional<std::wstring> TextOf(const RegValue& value) {
  if (value.type != kRegSz && value.type != kRegExpandSz) return std::nullopt;
  std::wstring text;
  text.reserve(value.data.size() / 2);
  for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
    const std::uint32_t unit = value.data[i] | (static_cast<std::uint32_t>(value.data[i + 1]) << 8);
    if (unit == 0) break;
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    if constexpr (sizeof(wchar_t) == 4) {
      if (high && i + 3 < value.data.size()) {
        const std::uint32_t low =
            value.data[i + 2] | (static_cast<std::uint32_t>(value.data[i + 3]) << 8);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          text.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
          i += 2;
          continue;
        }
      }
    }
    text.push_back(static_cast<wchar_t>(unit));
  }
  return text;
}

}  // namespace vw

namespace vw {

const RegValue* DefaultValueOf(const KeyTree& tree) noexcept {
  for (const NamedValue& value : tree.values) {
    if (value.name.empty()) return &value.value;
  }
  return nullptr;
}

namespace {

// Whether a key at or under `tree` could not be made again; `below` then leads to it.
bool FindUnrestorable(const KeyTree& tree, std::vector<std::wstring>& below) {
  if (tree.link || tree.is_volatile || Utf16Length(tree.name) > kMaxKeyNameLength) return true;
  for (const KeyTree& subkey : tree.subkeys) {
    below.push_back(subkey.name);
    if (FindUnrestorable(subkey, below)) return true;
    below.pop_back();
  }
  return false;
}

}  // namespace

std::optional<std::vector<std::wstring>> FirstUnrestorableKey(const KeyTree& tree) {
  std::vector<std::wstring> below;
  if (!FindUnrestorable(tree, below)) return std::nullopt;
  return below;
}

void SortTree(KeyTree& tree) {
  const auto by_folded_name = [](const auto& a, const auto& b) {
    const std::wstring folded_a = FoldCase(a.name);
    const std::wstring folded_b = FoldCase(b.name);
    return folded_a != folded_b ? folded_a < folded_b : a.name < b.name;
  };
  std::sort(tree.values.begin(), tree.values.end(), by_folded_name);
  for (KeyTree& subkey : tree.subkeys) SortTree(subkey);
  std::sort(tree.subkeys.begin(), tree.subkeys.end(), by_folded_name);
}

}  // namespace vw
