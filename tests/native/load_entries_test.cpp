#include "operations/load_entries.h"

#include <gtest/gtest.h>

#include "tests/support/keys.h"
#include "tests/support/memory_registry.h"
#include "tests/support/vector_entry_list.h"
#include "verbs/shell_verb_layout.h"

namespace vw {
namespace {

using testing::Key;

using testing::VectorEntryList;
using Names = std::vector<std::wstring>;

// Loads from a verb root holding `subkeys` (none: the root is absent).
Names Load(const Names& subkeys, std::optional<SystemError>* failure = nullptr) {
  MemoryRegistry registry;
  for (const std::wstring& name : subkeys) registry.WriteDefault(VerbKeyPath(name), L"caption");
  VectorEntryList list;
  try {
    LoadEntries(registry, list);
  } catch (const SystemError& error) {
    if (failure != nullptr) *failure = error;
  }
  return list.items;
}

TEST(LoadEntries, ListsEveryVerbButTheExactSystemOnes) {
  struct Case {
    Names subkeys, listed;
  };
  const Case cases[] = {
      {{}, {}},
      {{L"open", L"runas"}, {}},
      {{L"open", L"runas", L" runas ", L"Open"}, {}},  // in one registry these are all one key...
      {{L"runas ", L"Notepad ", L"记事本", L"Tool"}, {L"Notepad ", L"Tool", L"记事本"}},
      {{L"open", L"Runas2", L"other tool's verb"}, {L"other tool's verb", L"Runas2"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Load(c.subkeys), c.listed) << "case " << (&c - cases);
}

TEST(LoadEntries, KeepsTheCaseOfOpenAsStoredAndListsIt) {
  // A registry where the system verb was created as "Open": the listing rule is exact.
  MemoryRegistry registry;
  registry.WriteDefault(Key(L"HKCR\\exefile\\shell\\Open\\"), L"");
  registry.WriteDefault(Key(L"HKCR\\exefile\\shell\\runas\\"), L"");
  VectorEntryList list;
  EXPECT_NO_THROW(LoadEntries(registry, list));
  EXPECT_EQ(list.items, Names{L"Open"});
}

TEST(LoadEntries, AppendsToWhatTheListHoldsAndKeepsTheRegistryOrder) {
  MemoryRegistry registry;
  for (const wchar_t* name : {L"b", L"C", L"a"}) registry.WriteDefault(VerbKeyPath(name), L"");
  VectorEntryList list;
  list.items = {L"earlier"};
  LoadEntries(registry, list);
  EXPECT_EQ(list.items, (Names{L"earlier", L"a", L"b", L"C"}));
}

TEST(LoadEntries, AFailureIsThrownOnceWhatWasReadIsListed) {
  MemoryRegistry registry;
  registry.WriteDefault(VerbKeyPath(L"tool"), L"");
  registry.FailCallAfter(0, errc::kAccessDenied);
  VectorEntryList list;
  try {
    LoadEntries(registry, list);
    FAIL() << "no error";
  } catch (const SystemError& failure) {
    EXPECT_EQ(failure.code(), errc::kAccessDenied);
  }
  EXPECT_TRUE(list.items.empty());
}

TEST(LoadEntries, ListsMoreThanSixteenBitsOfEntries) {
  MemoryRegistry registry;
  constexpr int kCount = 40000;
  for (int i = 0; i < kCount; ++i)
    registry.WriteDefault(VerbKeyPath(L"v" + std::to_wstring(i)), L"");
  VectorEntryList list;
  LoadEntries(registry, list);
  EXPECT_EQ(list.Count(), kCount);
}

}  // namespace
}  // namespace vw
