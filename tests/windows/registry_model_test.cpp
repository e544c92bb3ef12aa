// The in-memory registry against the real one: the same random calls on both, every result
// compared. A model that drifts from the registry would let the model tests pass on behaviour the
// program never meets.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/case_fold.h"
#include "platform/system_error.h"
#include "registry/key_path.h"
#include "registry/win32_registry_win.h"
#include "tests/support/memory_registry.h"
#include "tests/windows/checking_key_calls.h"
#include "tests/windows/test_registry.h"

namespace vw {
namespace {

// What the bench itself does differently from Windows, and so is left out of the comparison:
//  - Wine lists subkeys in the order of their lower-cased names, Windows and the model in that of
//    their upper-cased names: enumerations are compared in one order;
//  - Wine does not merge the two classes hives: no call goes through HKEY_CLASSES_ROOT;
//  - Wine enforces no DELETE denial: no call here sets an ACL;
//  - every real key has a security descriptor, the model's only the ones a test gives them (its
//    ACLs): trees are compared without them;
//  - Wine accepts key names of 256 characters: no name here is that long.
void WithoutBenchDifferences(std::optional<KeyTree>& tree) {
  if (!tree) return;
  const auto strip = [](const auto& self, KeyTree& key) -> void {
    key.security.clear();
    for (KeyTree& subkey : key.subkeys) self(self, subkey);
  };
  strip(strip, *tree);
}
void InOneOrder(std::vector<std::wstring>& names) {
  std::sort(names.begin(), names.end(),
            [](const std::wstring& a, const std::wstring& b) { return FoldCase(a) < FoldCase(b); });
}

// Results as text, to compare and to show (appended piece by piece: GCC 12 warns wrongly about
// string concatenation here).
void Put(std::string& out, std::wstring_view text) {
  out += '\'';
  for (const wchar_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\u";
      out += std::to_string(static_cast<unsigned>(c));
    }
  }
  out += '\'';
}
void Put(std::string& out, const RegValue& value) {
  out += std::to_string(value.type);
  out += ':';
  for (const std::uint8_t byte : value.data) {
    out += ' ';
    out += std::to_string(byte);
  }
}
void Put(std::string& out, const KeyTree& tree) {
  Put(out, tree.name);
  out += " {";
  for (const NamedValue& value : tree.values) {
    out += ' ';
    Put(out, value.name);
    out += '=';
    Put(out, value.value);
  }
  for (const KeyTree& subkey : tree.subkeys) {
    out += ' ';
    Put(out, subkey);
  }
  if (tree.link) out += " link";
  if (tree.is_volatile) out += " volatile";
  out += " }";
}
std::string Describe(const KeyState& state) {
  std::string out = state.exists ? "present" : "absent";
  if (state.value) {
    out += ", value ";
    Put(out, *state.value);
  }
  return out;
}
std::string Describe(const std::optional<KeyTree>& tree) {
  std::string out = "absent";
  if (tree) {
    out.clear();
    Put(out, *tree);
  }
  return out;
}
std::string Describe(const std::vector<std::wstring>& names) {
  std::string out;
  for (const std::wstring& name : names) {
    Put(out, name);
    out += ' ';
  }
  return out;
}

const KeyPath kRoot{kHiveCurrentUser, {L"Software", L"VerbwrightTests", L"Model"}};
// Counted names too: one holding a null beside its namesake.
const std::wstring kNames[] = {L"a",      L"A",      L"s",      L"\u017F",
                               L"\u00B5", L"\u03BC", L"\u00C4", L"\u00E4",
                               L"长",     L"x y",    L"n",      std::wstring(L"n\0ul", 4)};
const std::wstring kValueNames[] = {L"", L"v", L"V", std::wstring(L"\0x", 2), L"\u00FC", L"\u00DC"};
constexpr std::uint32_t kTypes[] = {kRegSz, kRegExpandSz, kRegBinary, kRegDword, kRegMultiSz};

class Differential {
 public:
  explicit Differential(std::uint32_t seed) : random_(seed) {}

  // Plays `steps` random calls on both registries; the first difference, or "".
  std::string Play(int steps) {
    for (int step = 0; step < steps; ++step) {
      const std::string difference = Step();
      if (!difference.empty()) return difference;
    }
    return Compare("the whole tree", [&](RegistryServices& r) { return Tree(r, kRoot); });
  }
  const std::string& log() const { return log_; }
  // The calls Windows would have refused (none, or the differential compares refusals).
  const std::vector<std::string>& refused() const { return calls_.refused(); }

 private:
  int Roll(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random_); }
  KeyPath Key() {
    KeyPath key = kRoot;
    for (int depth = Roll(3); depth >= 0; --depth) key = key.Child(kNames[Roll(std::size(kNames))]);
    return key;
  }
  RegValue Value() {
    RegValue value{kTypes[Roll(std::size(kTypes))], {}};
    for (int size = Roll(7); size > 0; --size)  // odd sizes and missing terminators too
      value.data.push_back(static_cast<std::uint8_t>(Roll(3) == 0 ? 0 : 'a' + Roll(3)));
    return value;
  }
  static std::optional<KeyTree> Tree(RegistryServices& registry, const KeyPath& key) {
    std::optional<KeyTree> tree = registry.ReadTree(key);
    WithoutBenchDifferences(tree);
    return tree;
  }

  // Runs `call` on both and compares what it returned, or the error it failed with.
  template <typename Call>
  std::string Compare(const std::string& what, const Call& call) {
    std::string results[2];
    RegistryServices* both[] = {&model_, &real_};
    for (int side = 0; side < 2; ++side) {
      try {
        const auto result = call(*both[side]);
        results[side] = Describe(result);
      } catch (const SystemError& error) {
        results[side] = "error " + std::to_string(error.code());
      }
    }
    if (results[0] == results[1]) return {};
    std::string difference = what;
    difference += ": the model gives ";
    difference += results[0];
    difference += ", the registry ";
    difference += results[1];
    return difference;
  }

  std::string Step() {
    const KeyPath key = Key();
    std::string where;
    for (std::size_t index = kRoot.names.size(); index < key.names.size(); ++index) {
      Put(where, key.names[index]);
      where += '\\';
    }
    switch (Roll(5)) {
      case 0:
      case 1: {
        const std::wstring& name = kValueNames[Roll(std::size(kValueNames))];
        const std::optional<RegValue> value =
            Roll(4) == 0 ? std::nullopt : std::optional<RegValue>(Value());
        log_ += "  write " + std::to_string(name.size()) + "-unit name at " + where + "\n";
        return Compare("a write", [&](RegistryServices& r) {
          r.WriteValue(key, name, value);
          return Tree(r, key);
        });
      }
      case 2:
        log_ += "  delete " + where + "\n";
        return Compare("a delete", [&](RegistryServices& r) {
          r.DeleteTree(key);
          return Tree(r, kRoot);
        });
      case 3:
        log_ += "  read " + where + "\n";
        return Compare("a read", [&](RegistryServices& r) { return r.ReadKey(key); });
      default: {
        log_ += "  list " + where + "\n";
        return Compare("a listing", [&](RegistryServices& r) {
          std::vector<std::wstring> names;
          r.ListSubkeys(key, names);
          InOneOrder(names);
          return names;
        });
      }
    }
  }

  std::mt19937 random_;
  MemoryRegistry model_;
  testing::CheckingKeyCalls calls_;  // as Windows checks them
  Win32Registry real_{calls_};
  std::string log_;
};

TEST(RegistryModel, BehavesAsTheRealRegistry) {
  testing::ShapeLikeWindows();
  Win32Registry real;
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    real.DeleteTree(kRoot);
    Differential session(seed);
    const std::string difference = session.Play(50);
    real.DeleteTree(kRoot);
    ASSERT_EQ(difference, "") << "seed " << seed << ":\n" << session.log();
    ASSERT_TRUE(session.refused().empty()) << "seed " << seed << ": " << session.refused().front();
  }
}

}  // namespace
}  // namespace vw
