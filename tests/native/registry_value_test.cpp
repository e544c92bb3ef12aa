#include "registry/value.h"

#include <gtest/gtest.h>

#include "tests/support/memory_registry.h"

namespace vw {
namespace {

TEST(RegistryValue, StringsAreStoredAsNullTerminatedUtf16) {
  EXPECT_EQ(StringValue(L"").data, (std::vector<std::uint8_t>{0, 0}));
  EXPECT_EQ(StringValue(L"A").data, (std::vector<std::uint8_t>{0x41, 0, 0, 0}));
  EXPECT_EQ(StringValue(L"用").data, (std::vector<std::uint8_t>{0x28, 0x75, 0, 0}));
  EXPECT_EQ(StringValue(L"x").type, kRegSz);

  for (const std::wstring_view text :
       {L"", L"\"C:\\Program Files\\Tool\\tool.exe\" \"%1\"", L"用 记事本 打开", L"😀 & 100%"}) {
    EXPECT_EQ(TextOf(StringValue(text)), std::wstring(text));
  }
}

TEST(RegistryValue, TextOfReadsOnlyStringTypes) {
  EXPECT_EQ(TextOf(RegValue{kRegExpandSz, {0x25, 0, 0x41, 0, 0x25, 0, 0, 0}}), L"%A%");
  EXPECT_EQ(TextOf(RegValue{4, {1, 0, 0, 0}}), std::nullopt);      // REG_DWORD
  EXPECT_EQ(TextOf(RegValue{kRegSz, {0x41, 0, 0x42, 0}}), L"AB");  // stored without its null
  EXPECT_EQ(TextOf(RegValue{kRegSz, {0x41}}), L"");                // odd byte count
}

// A link is known by its value's name as the registry compares names, not by one spelling.
TEST(RegistryValue, ALinkIsMarkedByItsValueInAnyCase) {
  const MemoryRegistry registry;
  const RegValue target{kRegLink, {0x5C, 0}};
  struct Case {
    NamedValue value;
    bool link;
  };
  const Case cases[] = {
      {{L"SymbolicLinkValue", target}, true},
      {{L"symboliclinkvalue", target}, true},
      {{L"SYMBOLICLINKVALUE", target}, true},
      {{L"SymbolicLinkValue", StringValue(L"\\Registry")}, false},  // not a REG_LINK
      {{L"SymbolicLinkValue ", target}, false},
      {{L"", target}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MarksLink(c.value, registry), c.link) << c.value.name.size();
}

}  // namespace
}  // namespace vw
