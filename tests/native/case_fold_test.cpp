#include "platform/case_fold.h"

#include <gtest/gtest.h>

namespace vw {
namespace {

TEST(CaseFold, MatchesTheRegistrysCaseInsensitiveNames) {
  struct Case {
    std::wstring_view a, b;
    bool equal;
  };
  const Case cases[] = {
      {L"Notepad", L"NOTEPAD", true},
      {L"open", L"Open", true},
      {L"runas", L"runas ", false},
      {L"Überall", L"üBERALL", true},
      {L"Привет", L"привет", true},
      {L"ΑΒΓ", L"αβγ", true},
      {L"ＡＢ", L"ａｂ", true},
      {L"记事本", L"记事本", true},
      {L"记事本", L"记事", false},
      {L"", L"", true},
      {L"a", L"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << "case " << (&c - cases);
    EXPECT_EQ(FoldCase(c.a) == FoldCase(c.b), c.equal);
  }
  EXPECT_EQ(FoldCase(L'ÿ'), L'Ÿ');
  EXPECT_EQ(FoldCase(L'÷'), L'÷');  // not a letter, though it sits among them
}

}  // namespace
}  // namespace vw
