// Random whole user sessions against the operations and the in-memory registry, with the
// registry's properties checked after every step. A failing session prints its seed and steps;
// VERBWRIGHT_SEED=<seed> replays that one session alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <sstream>

#include "operations/add_entry.h"
#include "operations/load_entries.h"
#include "operations/remove_entry.h"
#include "tests/support/scripted_form.h"
#include "verbs/case_fold.h"
#include "verbs/memory_registry.h"
#include "verbs/shell_verb_layout.h"

namespace vw {
namespace {

using testing::ScriptedForm;

const std::wstring kFiles[] = {L"tool.exe",     L"Tool.EXE",    L"my app.exe", L"记事本.exe",
                               L"open.exe",     L"RunAs.exe",   L".exe",       L"a&b %1.exe",
                               L"notepad .exe", L"NOTEPAD.exe", L"x.exe.exe"};
const std::wstring kFolders[] = {L"C:\\", L"C:\\Program Files\\Tool", L"D:\\工具 箱",
                                 L"C:\\Windows", L"E:\\"};
const std::wstring kOtherNames[] = {L"tool", L"TOOL", L"other", L"Editor", L"记事本", L"my app"};
const std::uint32_t kErrors[] = {5, 1018, 8, 1009};

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

class Session {
 public:
  explicit Session(std::uint32_t seed) : random_(seed) {
    registry_.RegWrite(VerbKeyPath(L"open"), L"");
    registry_.RegWrite(CommandKeyPath(L"open"), L"\"%1\" %*");
    registry_.RegWrite(CommandKeyPath(L"runas"), L"\"%1\" %*");
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

  std::wstring SystemVerbs() {
    std::wstring dump;
    for (const wchar_t* verb : {L"open", L"runas"}) {
      for (const wchar_t* key : {L"", L"command\\"}) {
        const KeyState state = registry_.RegRead(VerbKeyPath(verb) + key);
        dump += std::to_wstring(state.exists) + L":" +
                (state.value ? *TextOf(*state.value) : L"-") + L";";
      }
    }
    return dump;
  }

  // Arms a fault at one of the next few registry calls, now and then.
  bool MaybeArmFault() {
    if (Roll(4) != 0) return false;
    const std::size_t at = static_cast<std::size_t>(Roll(5));
    const std::uint32_t code = Pick(kErrors);
    registry_.FailCallAfter(at, code);
    Log("fault at call +" + std::to_string(at) + " with error " + std::to_string(code));
    return true;
  }

  std::string Step() {
    switch (Roll(8)) {
      case 0:
      case 1:
      case 2:
        return Add();
      case 3:
      case 4:
        return Remove();
      case 5:
        OtherProgramWrites();
        return Check();
      case 6:
        OtherProgramDeletes();
        return Check();
      default:
        Restart();
        return Check();
    }
  }

  std::string Add() {
    form_.file_name = Roll(8) == 0 ? L"" : Pick(kFiles);
    form_.dir_path = Pick(kFolders);
    form_.caption = Roll(3) == 0 ? L""
                                 : (Roll(2) == 0 ? L"用 " + EntryName(form_.file_name) + L" 打开"
                                                 : L"typed 标题");
    const bool ok = Roll(4) != 0;
    form_.answers = {ok ? mb::kAnswerOk : mb::kAnswerCancel};
    Log("add file '" + Narrow(form_.file_name) + "' in '" + Narrow(form_.dir_path) + "' caption '" +
        Narrow(form_.caption) + "' answering " + (ok ? "OK" : "Cancel"));
    const bool faulted = MaybeArmFault();
    const std::wstring before = registry_.Dump();
    form_.errors.clear();
    AddEntry(form_, registry_);
    registry_.ClearFaults();
    if (!form_.errors.empty()) {
      if (!faulted) return "an add failed without a fault";
      if (registry_.Dump() != before) return "a failed add changed the registry";
      return Check();
    }
    const std::wstring name = EntryName(form_.file_name);
    const bool written =
        ok && !form_.file_name.empty() && CheckEntryName(name) == NameProblem::kNone;
    if (!written && registry_.Dump() != before)
      return "an add that should write nothing changed the registry";
    if (written) {
      // Built here by hand, not with the layout's own functions.
      const std::wstring program = form_.dir_path.size() > 3
                                       ? form_.dir_path + L"\\" + form_.file_name
                                       : form_.dir_path + form_.file_name;
      ours_[FoldCase(name)] = {form_.caption, L"\"" + program + L"\" \"%1\""};
    }
    return Check();
  }

  std::string Remove() {
    const int count = form_.entries.Count();
    form_.entries.selected = count == 0 || Roll(6) == 0 ? -1 : Roll(count);
    const bool ok = Roll(4) != 0;
    form_.answers = {ok ? mb::kAnswerOk : mb::kAnswerCancel};
    const std::wstring name =
        form_.entries.selected < 0 ? L"" : form_.entries.Item(form_.entries.selected);
    Log("remove item " + std::to_string(form_.entries.selected) + " '" + Narrow(name) +
        "' answering " + (ok ? "OK" : "Cancel"));
    const bool faulted = MaybeArmFault();
    const std::wstring before = registry_.Dump();
    const auto items_before = form_.entries.items;
    form_.errors.clear();
    RemoveEntry(form_, registry_);
    registry_.ClearFaults();
    if (!form_.errors.empty()) {
      if (!faulted) return "a remove failed without a fault";
      if (registry_.Dump() != before) return "a failed remove changed the registry";
      if (form_.entries.items != items_before) return "a failed remove changed the list";
      return Check();
    }
    if (ok && !name.empty() && CheckEntryName(name) != NameProblem::kReserved) {
      if (registry_.RegRead(VerbKeyPath(name)).exists)
        return "a removed entry is still in the registry";
      if (form_.entries.items.size() + 1 != items_before.size())
        return "a removed entry is still listed";
      ours_.erase(FoldCase(name));
    } else if (registry_.Dump() != before || form_.entries.items != items_before) {
      return "a remove that should do nothing changed something";
    }
    return Check();
  }

  void OtherProgramWrites() {
    const std::wstring name = Pick(kOtherNames);
    const int shape = Roll(3);
    Log("another program writes verb '" + Narrow(name) + "' shape " + std::to_string(shape));
    registry_.RegWrite(VerbKeyPath(name), L"someone else's");
    if (shape != 0) registry_.RegWrite(CommandKeyPath(name), L"other.exe %1");
    if (shape == 2) registry_.RegWrite(VerbKeyPath(name) + L"ddeexec\\", L"dde");
    ours_.erase(FoldCase(name));  // no longer what we wrote
  }

  void OtherProgramDeletes() {
    const std::wstring name = Pick(kOtherNames);
    Log("another program deletes verb '" + Narrow(name) + "'");
    registry_.RegDelete(VerbKeyPath(name));
    ours_.erase(FoldCase(name));
  }

  void Restart() {
    Log("restart");
    form_ = ScriptedForm();
    LoadEntries(registry_, form_.entries);
  }

  std::string Check() {
    if (SystemVerbs() != system_verbs_) return "the system's open or runas verb changed";
    for (const auto& [folded, entry] : ours_) {
      const KeyState verb = registry_.RegRead(VerbKeyPath(folded));
      const KeyState command = registry_.RegRead(CommandKeyPath(folded));
      if (!verb.exists || !command.exists)
        return "an entry of ours lacks its verb key or command subkey";
      if (!verb.value || TextOf(*verb.value) != entry.caption)
        return "an entry of ours lacks its caption";
      if (!command.value || TextOf(*command.value) != entry.command)
        return "an entry's command is not the quoted program";
      int listed = 0;
      for (const std::wstring& item : form_.entries.items)
        listed += EqualsIgnoreCase(item, folded) ? 1 : 0;
      if (listed != 1) return "an entry of ours is listed " + std::to_string(listed) + " times";
    }
    return {};
  }

  std::mt19937 random_;
  MemoryRegistry registry_;
  ScriptedForm form_;
  std::map<std::wstring, OurEntry> ours_;  // by folded name
  std::wstring system_verbs_;
  std::string log_;
};

void PlaySessions(std::uint32_t first_seed, int sessions, int steps) {
  for (std::uint32_t seed = first_seed; seed < first_seed + static_cast<std::uint32_t>(sessions);
       ++seed) {
    Session session(seed);
    const std::string broken = session.Play(steps);
    if (!broken.empty()) {
      FAIL() << "session " << seed << " broke a rule: " << broken
             << "\nreplay with VERBWRIGHT_SEED=" << seed << "; its steps:\n"
             << session.log();
    }
  }
}

TEST(SessionModel, RandomSessionsKeepTheRegistrysRules) {
  if (const char* seed = std::getenv("VERBWRIGHT_SEED")) {
    PlaySessions(static_cast<std::uint32_t>(std::strtoul(seed, nullptr, 10)), 1, 40);
    return;
  }
  PlaySessions(1, 3000, 40);
}

}  // namespace
}  // namespace vw
