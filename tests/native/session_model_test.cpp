// Random whole user sessions against the operations and the in-memory registry, with the
// registry's properties checked after every step. A failing session prints its seed and steps;
// VERBWRIGHT_SEED=<seed> replays that one session alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <utility>

#include "operations/add_entry.h"
#include "operations/load_entries.h"
#include "operations/remove_entry.h"
#include "platform/case_fold.h"
#include "tests/support/environment.h"
#include "tests/support/memory_registry.h"
#include "tests/support/registry_diff.h"
#include "tests/support/scripted_form.h"
#include "verbs/shell_verb_layout.h"
#include "words/texts.h"

namespace vw {
namespace {

using testing::ScriptedForm;

const std::wstring kFiles[] = {L"tool.exe",     L"Tool.EXE",       L"my app.exe",   L"记事本.exe",
                               L"open.exe",     L"RunAs.exe",      L".exe",         L"a&b 1.exe",
                               L"notepad .exe", L"NOTEPAD.exe",    L"x.exe.exe",    L"\u0101bc.exe",
                               L"\u0100bc.exe", L"runa\u017F.exe", L"RunAsUser.exe"};
const std::wstring kFolders[] = {
    L"C:\\", L"C:\\Program Files\\Tool", L"D:\\工具 箱", L"C:\\Windows", L"E:\\", L"C:\\100%Lab"};
// Counted names: one holding a null is a key of its own beside its namesake.
const std::wstring kOtherNames[] = {L"tool",   L"TOOL",   L"other",    L"Editor",
                                    L"记事本", L"my app", L"\u0100BC", std::wstring(L"tool\0x", 6)};
const std::uint32_t kErrors[] = {5, 1018, 8, 1009};
// What the undo reports of a key that reads back otherwise with no call failing, and of a link
// where the record had no key, left alone.
constexpr std::uint32_t kReadBackDiffers = errc::kCantWrite;
constexpr std::uint32_t kLinkLeftAlone = errc::kAlreadyExists;
constexpr MemoryRegistry::Access kAccesses[] = {MemoryRegistry::Access::kSetValue,
                                                MemoryRegistry::Access::kDelete,
                                                MemoryRegistry::Access::kEnumerate};

std::string Narrow(std::wstring_view text) {
  std::string out;
  for (const wchar_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += "\\u{" + std::to_string(static_cast<unsigned long>(c)) + "}";
    }
  }
  return out;
}

// What we expect of one entry that we wrote.
struct OurEntry {
  std::wstring caption, command;
};

// Windows' own verbs of executables, in the shape Windows 10 and 11 ship them.
void SeedSystemVerbs(MemoryRegistry& registry) {
  const auto verb = [](std::wstring_view name) {
    return VerbKeyPath(ClassesStore::kMachine, name);
  };
  registry.WriteDefault(verb(L"open").Child(L"command"), L"\"%1\" %*");
  registry.WriteDefault(verb(L"runas").Child(L"command"), L"\"%1\" %*");
  registry.WriteValue(verb(L"runas"), L"HasLUAShield", StringValue(L""));
  registry.WriteDefault(verb(L"runasuser"), L"@shell32.dll,-50944");
  registry.WriteValue(verb(L"runasuser"), L"Extended", StringValue(L""));
  registry.WriteValue(verb(L"runasuser"), L"SuppressionPolicyEx",
                      StringValue(L"{F211AA05-D4DF-4370-A2A0-9F19C09756A7}"));
  registry.WriteValue(verb(L"runasuser").Child(L"command"), L"DelegateExecute",
                      StringValue(L"{ea72d00e-4960-42fa-ba92-7792a7944c1d}"));
}

// A key of the machine's that a link in this user's classes may be made to lead to.
const KeyPath kDecoyShell{kHiveLocalMachine, {L"Software", L"Decoy", L"shell"}};

class Session {
 public:
  explicit Session(std::uint32_t seed) : random_(seed) {
    // Now and then a machine whose class of executables has no shell key yet.
    if (Roll(5) != 0) SeedSystemVerbs(registry_);
    registry_.WriteDefault(kDecoyShell.Child(L"decoy").Child(L"command"), L"decoy.exe");
    decoy_ = DecoyState();
    system_verbs_ = SystemVerbs();
    LoadEntries(registry_, form_.entries);
  }

  // Plays `steps` random steps; returns the first broken property, or "".
  std::string Play(int steps) {
    for (int i = 0; i < steps; ++i) {
      const std::string broken = Step();
      if (!broken.empty()) return broken;
    }
    return {};
  }

  const std::string& log() const { return log_; }

 private:
  template <typename T, std::size_t N>
  const T& Pick(const T (&pool)[N]) {
    return pool[std::uniform_int_distribution<std::size_t>(0, N - 1)(random_)];
  }
  int Roll(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random_); }
  void Log(const std::string& line) { log_ += "  " + line + "\n"; }
  ClassesStore PickHive() { return Roll(2) == 0 ? ClassesStore::kMachine : ClassesStore::kUser; }

  // A key of a hive read whole; nullopt beyond a link on the way, where nothing is ours.
  std::optional<KeyTree> TreeAt(const KeyPath& key) {
    try {
      return registry_.ReadTree(key);
    } catch (const LinkOnTheWay&) {
      return std::nullopt;
    }
  }

  // Windows' own verbs in both hives, whole.
  std::vector<std::optional<KeyTree>> SystemVerbs() {
    std::vector<std::optional<KeyTree>> trees;
    for (const wchar_t* verb : {L"open", L"runas", L"runasuser"}) {
      for (const ClassesStore hive : {ClassesStore::kMachine, ClassesStore::kUser}) {
        trees.push_back(TreeAt(VerbKeyPath(hive, verb)));
      }
    }
    return trees;
  }

  // The lines of the registry's dump at or under the decoy.
  std::wstring DecoyState() const {
    std::wistringstream in(registry_.Dump());
    std::wstring lines;
    for (std::wstring line; std::getline(in, line);) {
      if (testing::IsAtOrUnder(line.substr(0, line.find(L'\t')), KeyPathText(kDecoyShell)))
        lines += line + L'\n';
    }
    return lines;
  }

  // Now and then another program makes this user's shell key a link to a key of the machine's at
  // some call of the next operation: after its record, or between its steps.
  void MaybePlantLink() {
    if (user_shell_link_ || user_classes_link_ || Roll(10) != 0) return;
    const auto at = static_cast<std::size_t>(Roll(12));
    Log("this user's shell key may become a link to a machine key at call +" + std::to_string(at));
    registry_.AtCall(at, [this] {
      const std::wstring unplanted = registry_.Dump();
      registry_.MakeLink(UserShell(), kDecoyShell);
      planted_keys_ = testing::ChangedKeys(unplanted, registry_.Dump());
      user_shell_link_ = true;
      planted_now_ = true;
    });
  }
  static KeyPath UserShell() { return VerbKeyPath(ClassesStore::kUser, L"x").Parent(); }

  // Now and then, faults for this step: a key refuses an access for the whole step, as its ACL
  // would; one call fails once; or both, so that putting back can fail too.
  // Now and then not elevated: no privilege to give a key another account as its owner.
  void RollPrivilege() {
    const bool privilege = Roll(4) != 0;
    registry_.HoldRestorePrivilege(privilege);
    if (!privilege) Log("without the privilege to restore owners");
    const bool audit = Roll(8) != 0;
    registry_.HoldSecurityPrivilege(audit);
    if (!audit) Log("without the privilege to read audit entries");
  }

  bool MaybeArmFault(std::wstring_view name) {
    bool armed = std::exchange(acl_set_, false);
    if (Roll(3) == 0) {
      const std::vector<std::wstring> parts[] = {{}, {L"command"}, {L"command", L"sub"}, {L"zzz"}};
      KeyPath key = VerbKeyPath(PickHive(), name);
      for (const std::wstring& part : Pick(parts)) key = key.Child(part);
      const int access = Roll(3);
      registry_.Deny(kAccesses[access], key, errc::kAccessDenied);
      Log("key '" + Narrow(KeyPathText(key)) + "' refuses access " + std::to_string(access));
      armed = true;
    }
    if (Roll(4) == 0) {
      const std::size_t at = static_cast<std::size_t>(Roll(14));
      const std::uint32_t code = Pick(kErrors);
      // A write that fails may already have created the missing keys of its path.
      const bool late = Roll(2) == 0;
      registry_.FailCallAfter(at, code,
                              late ? MemoryRegistry::Strike::kAfterCreatingKeys
                                   : MemoryRegistry::Strike::kBeforeAnything);
      Log("fault at call +" + std::to_string(at) + " with error " + std::to_string(code) +
          (late ? " after creating keys" : ""));
      armed = true;
    }
    return armed;
  }

  // Whether an operation on `name` must refuse, changing nothing: a copy of the entry holds a key
  // that could not be made again as it was.
  bool HoldsUnrestorableKey(std::wstring_view name) {
    const auto foreign_owner = [this](const auto& self, const KeyTree& tree) -> bool {
      if (!registry_.CanRestoreSecurity(tree.security)) return true;
      for (const KeyTree& subkey : tree.subkeys) {
        if (self(self, subkey)) return true;
      }
      return false;
    };
    for (const ClassesStore hive : {ClassesStore::kMachine, ClassesStore::kUser}) {
      try {
        const auto tree = registry_.ReadTree(VerbKeyPath(hive, name));
        if (tree && (FirstUnrestorableKey(*tree) || foreign_owner(foreign_owner, *tree) ||
                     !registry_.CanRestoreAudit())) {
          return true;
        }
      } catch (const LinkOnTheWay&) {
        return true;  // a link on the way: refused
      } catch (const SystemError&) {
        return false;  // refused by an ACL another program set: the operation fails first
      }
    }
    return false;
  }

  // Runs an operation, keeping the registry as it was at each message box.
  template <typename Operation>
  std::vector<std::wstring> RunWatchingBoxes(Operation operation) {
    std::vector<std::wstring> at_boxes;
    form_.on_box = [&] { at_boxes.push_back(registry_.Dump()); };
    operation();
    form_.on_box = nullptr;
    return at_boxes;
  }

  std::string Step() {
    switch (Roll(9)) {
      case 0:
      case 1:
      case 2:
        return Add();
      case 3:
      case 4:
        return Remove();
      case 5:
        OtherProgramWrites();
        return CheckOurs();
      case 6:
        OtherProgramDeletes();
        return CheckOurs();
      case 7:
        if (Roll(4) == 0) {
          LinkUserClassesNowhere();
          return Check();
        }
        [[fallthrough]];
      default:
        Restart();
        return CheckOurs();
    }
  }

  // The keys that differ between two states, but for what a link planted meanwhile replaced.
  std::set<std::wstring> ChangedKeys(const std::wstring& before, const std::wstring& after) const {
    std::set<std::wstring> changed = testing::ChangedKeys(before, after);
    if (planted_now_) {
      std::erase_if(changed, [this](const std::wstring& key) {
        return planted_keys_.contains(key) || testing::IsAtOrUnder(key, KeyPathText(UserShell()));
      });
    }
    return changed;
  }

  // After a failed operation, and at every message box it showed: both hives as before, unless
  // putting back failed, and then exactly the keys the reports name differ. Putting back fails
  // only where a call failed: a key that reads back otherwise with no failure could have been
  // put back.
  std::string CheckFailure(const std::wstring& before, const std::wstring& after,
                           const std::vector<std::wstring>& at_boxes,
                           const std::vector<SystemError>& errors) {
    const std::vector<SystemError> undo(errors.begin() + 1, errors.end());
    for (const SystemError& error : undo) {
      if (error.code() == kReadBackDiffers)
        return "the undo could have put everything back and did not";
    }
    std::vector<std::wstring> states = at_boxes;
    states.push_back(after);
    for (const std::wstring& state : states) {
      const std::set<std::wstring> changed = ChangedKeys(before, state);
      if (undo.empty() && !changed.empty()) return "a failed operation changed the registry";
      if (undo.empty() || (changed.empty() && state != after)) continue;
      const std::string broken = testing::UndoReportMismatch(changed, undo);
      if (!broken.empty()) return broken + (state == after ? "" : " while a box was open");
    }
    return {};
  }

  // After an operation during which a link was planted: refused with a notice naming the link and
  // nothing changed but the link, or failed and put back, or done before the link could matter.
  // Whatever it did, nothing went through the link. nullopt where no link was planted.
  std::optional<std::string> CheckPlanted(const std::wstring& before, const std::wstring& after,
                                          std::size_t boxes_before) {
    if (!std::exchange(planted_now_, false)) return std::nullopt;
    planted_now_ = true;  // for ChangedKeys, while this operation is judged
    std::string broken;
    if (DecoyState() != decoy_) broken = "a change went through a link to a key of the machine's";
    const std::wstring refused = text::LinkOnTheWayRefused(KeyPathText(UserShell()));
    bool link_refusal = false;
    for (std::size_t index = boxes_before; index < form_.boxes.size(); ++index)
      link_refusal = link_refusal || form_.boxes[index].prompt == refused;
    if (broken.empty() && (link_refusal || !form_.errors.empty())) {
      std::vector<SystemError> undo =
          link_refusal ? form_.errors
                       : std::vector<SystemError>(form_.errors.begin() + 1, form_.errors.end());
      // Keys the planted link now stands in are left alone, and said so; what lay beyond it could
      // not be put back, and is said so too.
      std::erase_if(undo, [](const SystemError& error) {
        return error.code() == kLinkLeftAlone ||
               testing::IsAtOrUnder(error.subject(), KeyPathText(UserShell()));
      });
      const std::set<std::wstring> changed = ChangedKeys(before, after);
      if (undo.empty() && !changed.empty())
        broken = "a refused or failed change changed the registry";
      if (!undo.empty()) broken = testing::UndoReportMismatch(changed, undo);
    }
    planted_now_ = false;
    // What the operation wrote is no longer known exactly: the entries it touched are not ours.
    ours_.clear();
    return broken.empty() ? Check() : broken;
  }

  std::string Add() {
    form_.file_name = Roll(8) == 0 ? L"" : Pick(kFiles);
    form_.dir_path = Pick(kFolders);
    form_.caption = Roll(3) == 0 ? L""
                                 : (Roll(2) == 0 ? L"用 " + EntryName(form_.file_name) + L" 打开"
                                                 : L"typed 标题");
    const bool ok = Roll(4) != 0;
    form_.answers = {ok};
    Log("add file '" + Narrow(form_.file_name) + "' in '" + Narrow(form_.dir_path) + "' caption '" +
        Narrow(form_.caption) + "' answering " + (ok ? "OK" : "Cancel"));
    const std::wstring name = EntryName(form_.file_name);
    // Built here by hand, not with the layout's own functions.
    const std::wstring program = form_.dir_path.ends_with(L'\\')
                                     ? form_.dir_path + form_.file_name
                                     : form_.dir_path + L"\\" + form_.file_name;
    form_.missing_programs.clear();
    if (Roll(10) == 0) {
      form_.missing_programs.insert(program);
      Log("the program has just been deleted");
    }
    RollPrivilege();
    const bool unrestorable = !name.empty() && HoldsUnrestorableKey(name);
    const bool faulted = MaybeArmFault(name.empty() ? L"x" : name);
    MaybePlantLink();
    const bool write_protected =
        write_protected_.contains(ProtectedKey(name, ClassesStore::kMachine)) ||
        write_protected_.contains(ProtectedKey(name, ClassesStore::kUser));
    write_protected_.clear();
    const std::wstring before = registry_.Dump();
    const auto items_before = form_.entries.items;
    form_.errors.clear();
    const std::size_t boxes_before = form_.boxes.size();
    const auto at_boxes = RunWatchingBoxes([&] { AddEntry(form_, form_, registry_); });
    const std::wstring after = registry_.Dump();
    registry_.ClearFaults();
    if (const auto planted = CheckPlanted(before, after, boxes_before)) return *planted;
    if (!form_.errors.empty()) {
      if (!faulted) return "an add failed without a fault";
      if (form_.entries.items != items_before) return "a failed add changed the list";
      if (form_.errors.size() > 1) ours_.erase(FoldCase(name));  // left as the reports say
      const std::string broken = CheckFailure(before, after, at_boxes, form_.errors);
      return broken.empty() ? Check() : broken;
    }
    const bool written =
        ok && !form_.file_name.empty() && CheckEntryName(name, registry_) == NameProblem::kNone &&
        program.find(L'%') == std::wstring::npos && form_.missing_programs.empty() && !unrestorable;
    if (!written && after != before) return "an add that should write nothing changed the registry";
    if (written && write_protected) return "an add went through a command key that refuses writes";
    if (written) ours_[FoldCase(name)] = {form_.caption, L"\"" + program + L"\" \"%1\""};
    return Check();
  }

  std::string Remove() {
    const int count = form_.entries.Count();
    form_.entries.selected = count == 0 || Roll(6) == 0 ? -1 : Roll(count);
    const bool ok = Roll(4) != 0;
    form_.answers = {ok};
    const std::wstring name =
        form_.entries.selected < 0 ? L"" : form_.entries.Item(form_.entries.selected);
    Log("remove item " + std::to_string(form_.entries.selected) + " '" + Narrow(name) +
        "' answering " + (ok ? "OK" : "Cancel"));
    RollPrivilege();
    const bool unrestorable = !name.empty() && HoldsUnrestorableKey(name);
    const bool faulted = MaybeArmFault(name.empty() ? L"x" : name);
    MaybePlantLink();
    write_protected_.clear();
    const std::wstring before = registry_.Dump();
    const auto items_before = form_.entries.items;
    form_.errors.clear();
    const std::size_t boxes_before = form_.boxes.size();
    const auto at_boxes = RunWatchingBoxes([&] { RemoveEntry(form_, form_, registry_); });
    const std::wstring after = registry_.Dump();
    registry_.ClearFaults();
    if (const auto planted = CheckPlanted(before, after, boxes_before)) return *planted;
    if (!form_.errors.empty()) {
      if (!faulted) return "a remove failed without a fault";
      if (form_.entries.items != items_before) return "a failed remove changed the list";
      if (form_.errors.size() > 1) ours_.erase(FoldCase(name));
      const std::string broken = CheckFailure(before, after, at_boxes, form_.errors);
      return broken.empty() ? Check() : broken;
    }
    if (ok && !name.empty() && !IsSystemVerbKey(name, registry_) && !unrestorable) {
      if (registry_.ReadKey(VerbKeyPath(name)).exists)
        return "a removed entry still shows in the merged view";
      for (const std::wstring& key : testing::ChangedKeys(before, after)) {
        if (!testing::IsAtOrUnder(key, KeyPathText(VerbKeyPath(ClassesStore::kMachine, name))) &&
            !testing::IsAtOrUnder(key, KeyPathText(VerbKeyPath(ClassesStore::kUser, name)))) {
          return "a remove changed a key other than the entry's";
        }
      }
      if (form_.entries.items.size() + 1 != items_before.size())
        return "a removed entry is still listed";
      ours_.erase(FoldCase(name));
    } else if (after != before || form_.entries.items != items_before) {
      return "a remove that should do nothing changed something";
    }
    return Check();
  }

  // Another program writes a verb, into either hive or both, in one of the shapes found in the
  // wild: values of several types, and subkeys under the verb key and its command subkey.
  void OtherProgramWrites() {
    const std::wstring name = Pick(kOtherNames);
    const int shape = Roll(9);
    const int hives = Roll(3);  // machine, user, both
    Log("another program writes verb '" + Narrow(name) + "' shape " + std::to_string(shape) +
        " in hives " + std::to_string(hives));
    if (std::exchange(acl_set_, false)) {
      registry_.ClearFaults();  // the ACL set before is taken off again
      write_protected_.clear();
    }
    for (const ClassesStore hive : {ClassesStore::kMachine, ClassesStore::kUser}) {
      if ((hives == 0 && hive != ClassesStore::kMachine) ||
          (hives == 1 && hive != ClassesStore::kUser)) {
        continue;
      }
      const KeyPath verb = VerbKeyPath(hive, name);
      if (hive == ClassesStore::kUser && (user_classes_link_ || user_shell_link_)) {
        Log("  the user's classes lead nowhere: nothing written there");
        continue;
      }
      registry_.WriteDefault(verb, L"someone else's");
      if (shape == 0) continue;
      registry_.WriteValue(verb.Child(L"command"), L"",
                           RegValue{kRegExpandSz, StringValue(L"%ProgramFiles%\\o.exe %1").data});
      if (shape == 2) registry_.WriteDefault(verb.Child(L"ddeexec"), L"dde");
      if (shape == 3) {
        registry_.WriteValue(verb.Child(L"command"), L"DelegateExecute",
                             StringValue(L"{ea72d00e}"));
        registry_.WriteValue(verb.Child(L"command"), L"Flags", RegValue{kRegDword, {7, 0, 0, 0}});
        registry_.WriteDefault(verb.Child(L"command").Child(L"sub"), L"deep");
        registry_.WriteValue(verb, L"Icon", RegValue{kRegBinary, {0, 1, 2}});
        registry_.WriteDefault(verb.Child(L"zzz"), L"last");
      }
      if (shape == 4) {
        // Values that hide or override an entry, a counted name holding a null, and strings
        // without their terminating null.
        registry_.WriteValue(verb, L"MUIVerb", StringValue(L"@other.dll,-1"));
        registry_.WriteValue(verb, L"LegacyDisable", StringValue(L""));
        registry_.WriteValue(verb, L"Extended", RegValue{kRegSz, {}});
        registry_.WriteValue(verb, std::wstring(L"\0x", 2), RegValue{kRegSz, {'h', 0, 'i', 0}});
        registry_.WriteValue(verb.Child(L"command"), L"", RegValue{kRegExpandSz, {'%', 0, '1'}});
      }
      if (shape == 5) {
        // A key with an ACL of its own: it refuses to be enumerated until ClearFaults.
        registry_.WriteDefault(verb.Child(L"command"), L"o.exe");
        registry_.Deny(MemoryRegistry::Access::kDelete, verb.Child(L"command"),
                       errc::kAccessDenied);
        acl_set_ = true;
      }
      if (shape == 7) {
        // A command key that grants reading only, until the next operation.
        registry_.WriteDefault(verb.Child(L"command"), L"o.exe");
        registry_.Deny(MemoryRegistry::Access::kSetValue, verb.Child(L"command"),
                       errc::kAccessDenied);
        write_protected_.insert(ProtectedKey(name, hive));
        acl_set_ = true;
      }
      if (shape == 8) {
        // Owned by the system, with a protected access list that its command key inherits.
        registry_.WriteDefault(verb.Child(L"command"), L"o.exe");
        registry_.GiveOwnAccessList(verb);
        registry_.SetOwner(verb, MemoryRegistry::kSystem);
        registry_.SetOwner(verb.Child(L"command"), MemoryRegistry::kSystem);
      }
      if (shape == 6) {
        registry_.DeleteTree(verb.Child(L"link"));  // a link there before is replaced
        registry_.WriteDefault(verb.Child(L"link"), L"");
        if (Roll(2) == 0) {
          registry_.MakeLink(verb.Child(L"link"), verb.Child(L"command"));
        } else {
          registry_.MakeVolatile(verb.Child(L"link"));
        }
      }
    }
    ours_.erase(FoldCase(name));  // no longer what we wrote
  }

  // This user's classes of executables become a link whose target is missing, as when a
  // per-user classes file did not load. Nothing of ours may ever delete it.
  void LinkUserClassesNowhere() {
    if (user_classes_link_ || user_shell_link_) return;
    Log("this user's exefile becomes a link that leads nowhere");
    registry_.MakeLink(UserExefile(), KeyPath{kHiveUsers, {L"S-1-5-21-0_Classes", L"exefile"}});
    user_classes_link_ = true;
  }
  static KeyPath UserExefile() { return VerbKeyPath(ClassesStore::kUser, L"x").Parent().Parent(); }

  void OtherProgramDeletes() {
    const std::wstring name = Pick(kOtherNames);
    const ClassesStore hive = PickHive();
    Log("another program deletes verb '" + Narrow(name) + "' from one hive");
    try {
      registry_.DeleteTree(VerbKeyPath(hive, name));
      write_protected_.erase(ProtectedKey(name, hive));  // its ACL went with it
    } catch (const SystemError&) {
      Log("  refused by the ACL it set itself");  // perhaps part of it is gone
    }
    ours_.erase(FoldCase(name));
  }

  void Restart() {
    Log("restart");
    form_ = ScriptedForm();
    LoadEntries(registry_, form_.entries);
  }

  std::string Check() {
    if (SystemVerbs() != system_verbs_) return "a system verb changed";
    if (DecoyState() != decoy_) return "a change went through a link to a key of the machine's";
    if (user_classes_link_) {
      const auto link = registry_.ReadTree(UserExefile());
      if (!link || !link->link) return "the link at this user's exefile is gone";
    }
    return CheckOurs();
  }

  // Every entry we wrote is whole in the merged view and listed once.
  std::string CheckOurs() {
    for (const auto& [folded, entry] : ours_) {
      // What Explorer sees, through the merged view.
      const KeyState verb = registry_.ReadKey(VerbKeyPath(folded));
      const KeyState command = registry_.ReadKey(CommandKeyPath(folded));
      if (!verb.exists || !command.exists)
        return "an entry of ours lacks its verb key or command subkey";
      if (!verb.value || TextOf(*verb.value) != entry.caption)
        return "an entry of ours lacks its caption";
      if (!command.value || TextOf(*command.value) != entry.command)
        return "an entry's command is not the quoted program";
      for (const ClassesStore hive : {ClassesStore::kMachine, ClassesStore::kUser}) {
        const auto tree = TreeAt(VerbKeyPath(hive, folded));
        if (!tree) continue;
        if (tree->values.size() != 1 || tree->subkeys.size() != 1 ||
            tree->subkeys[0].values.size() != 1 || !tree->subkeys[0].subkeys.empty()) {
          return "an entry of ours holds what another program left";
        }
      }
      int listed = 0;
      for (const std::wstring& item : form_.entries.items)
        listed += registry_.SameKeyName(item, folded) ? 1 : 0;
      if (listed != 1) return "an entry of ours is listed " + std::to_string(listed) + " times";
    }
    return {};
  }

  std::mt19937 random_;
  MemoryRegistry registry_;
  ScriptedForm form_;
  std::map<std::wstring, OurEntry> ours_;  // by folded name
  std::vector<std::optional<KeyTree>> system_verbs_;
  std::string log_;
  bool acl_set_ = false;  // another program gave a key an ACL that lasts until the next operation
  bool user_classes_link_ = false;
  bool user_shell_link_ = false;  // this user's shell key is a link to the decoy
  bool planted_now_ = false;      // planted during the operation being judged
  std::wstring decoy_;
  std::set<std::wstring> planted_keys_;  // the keys planting the link made or changed
  // The command keys that refuse writes, by folded name and hive.
  static std::wstring ProtectedKey(std::wstring_view name, ClassesStore hive) {
    return FoldCase(name) + (hive == ClassesStore::kMachine ? L"|machine" : L"|user");
  }
  std::set<std::wstring> write_protected_;
};

void PlaySessions(std::uint32_t first_seed, int sessions, int steps) {
  for (std::uint32_t seed = first_seed; seed < first_seed + static_cast<std::uint32_t>(sessions);
       ++seed) {
    Session session(seed);
    std::string broken;
    try {
      broken = session.Play(steps);
    } catch (const SystemError& error) {
      broken = "a call failed outside any operation, error " + std::to_string(error.code()) +
               " at " + Narrow(error.subject());
    }
    if (!broken.empty()) {
      FAIL() << "session " << seed << " broke a rule: " << broken
             << "\nreplay with VERBWRIGHT_SEED=" << seed << "; its steps:\n"
             << session.log();
    }
  }
}

TEST(SessionModel, RandomSessionsKeepTheRegistrysRules) {
  if (const auto seed = testing::EnvironmentVariable("VERBWRIGHT_SEED")) {
    PlaySessions(static_cast<std::uint32_t>(std::stoul(*seed)), 1, 40);
    return;
  }
  // 3,000 in the full run; fewer (VERBWRIGHT_SESSIONS) for a quick loop.
  const auto sessions = testing::EnvironmentVariable("VERBWRIGHT_SESSIONS");
  PlaySessions(1, sessions ? std::stoi(*sessions) : 3000, 40);
}

}  // namespace
}  // namespace vw
