#include "verbs/registry_undo.h"

#include <algorithm>
#include <new>
#include <utility>

#include "verbs/registry_path.h"

namespace vw {
namespace {

template <typename Item>
const Item* FindByName(const std::vector<Item>& items, std::wstring_view name,
                       const RegistryServices& registry) {
  const auto found = std::find_if(items.begin(), items.end(), [&](const Item& item) {
    return registry.SameKeyName(item.name, name);
  });
  return found == items.end() ? nullptr : &*found;
}

SystemError AgainstKey(const SystemError& error, std::wstring_view key_path) {
  SystemError against(error.code(), error.action(), DisplayKeyPath(key_path));
  against.WithDetail(error.detail());
  return against;
}

class Restorer {
 public:
  explicit Restorer(RegistryServices& registry) : registry_(registry) {}

  // Puts `before` back at key_path where `now` differs; `now` is null when the key is absent or
  // could not be read, and then every value and subkey of `before` is written.
  void Key(const std::wstring& key_path, const KeyTree& before, const KeyTree* now) {
    Attempt(key_path, [&] {
      if (now == nullptr && before.values.empty()) {
        registry_.WriteValue(key_path, L"", std::nullopt);  // only creates the key
      }
      for (const NamedValue& value : before.values) {
        const NamedValue* present =
            now == nullptr ? nullptr : FindByName(now->values, value.name, registry_);
        if (present == nullptr || present->value != value.value) {
          registry_.WriteValue(key_path, value.name, value.value);
        }
      }
      if (now == nullptr) return;
      for (const NamedValue& value : now->values) {
        if (FindByName(before.values, value.name, registry_) == nullptr) {
          registry_.WriteValue(key_path, value.name, std::nullopt);
        }
      }
    });
    if (now != nullptr) {
      for (const KeyTree& subkey : now->subkeys) {
        if (FindByName(before.subkeys, subkey.name, registry_) == nullptr) {
          const std::wstring extra = SubkeyPath(key_path, subkey.name);
          Attempt(extra, [&] { registry_.RegDelete(extra); });
        }
      }
    }
    for (const KeyTree& subkey : before.subkeys) {
      const KeyTree* present =
          now == nullptr ? nullptr : FindByName(now->subkeys, subkey.name, registry_);
      if (present == nullptr || *present != subkey) {
        Key(SubkeyPath(key_path, subkey.name), subkey, present);
      }
    }
    // Last, since the key's own ACL may deny what putting back its contents needs.
    if (!before.security.empty() && (now == nullptr || now->security != before.security)) {
      Attempt(key_path, [&] { registry_.SetSecurity(key_path, before.security); });
    }
  }

  std::vector<SystemError> TakeErrors() { return std::move(errors_); }

 private:
  // Runs one step of putting `key_path` back; a failure is recorded against that key, the whole
  // of which may now differ, even where the call failed deeper down.
  template <typename Step>
  void Attempt(const std::wstring& key_path, const Step& step) {
    try {
      step();
    } catch (const SystemError& error) {
      errors_.push_back(AgainstKey(error, key_path));
    }
  }

  RegistryServices& registry_;
  std::vector<SystemError> errors_;
};

}  // namespace

std::vector<SystemError> RestoreTree(RegistryServices& registry, std::wstring_view key_path,
                                     const std::optional<KeyTree>& before) {
  // What is there now, read twice at most: a passing failure should not make us write blind.
  std::optional<KeyTree> now;
  std::optional<SystemError> unreadable;
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      now = registry.ReadTree(key_path);
      unreadable.reset();
      break;
    } catch (const SystemError& error) {
      unreadable = AgainstKey(error, key_path);
      unreadable->WithDetail(
          L"无法读出这一项现在的内容，不能确认它已恢复原样：它可能仍留有未完成的修改。");
    }
  }
  if (!unreadable && now == before) return {};
  std::vector<SystemError> errors;
  if (!before) {
    try {
      registry.RegDelete(key_path);
    } catch (const SystemError& error) {
      errors.push_back(AgainstKey(error, key_path));
    }
  } else {
    // Made again, a key gets the name it had, in its own case.
    std::wstring_view parent = key_path.substr(0, key_path.size() - 1);
    parent = parent.substr(0, parent.rfind(L'\\') + 1);
    Restorer restorer(registry);
    restorer.Key(SubkeyPath(parent, before->name), *before, unreadable || !now ? nullptr : &*now);
    errors = restorer.TakeErrors();
  }
  // Whatever the step added there could not be seen, so it may still be there.
  if (unreadable) errors.insert(errors.begin(), *unreadable);
  return errors;
}

namespace {

// The key above `key_path`, or "" when that would be a hive itself.
std::wstring ParentKeyPath(std::wstring_view key_path) {
  const auto parsed = ParseKeyPath(key_path);
  if (!parsed || parsed->subkey.find(L'\\') == std::wstring::npos) return {};
  std::wstring_view parent = key_path.substr(0, key_path.size() - 1);
  return std::wstring(parent.substr(0, parent.rfind(L'\\') + 1));
}

SystemError Unexpected(std::uint32_t code) {
  return {code, L"修改注册表"};
}

}  // namespace

std::optional<KeyTree> RegistryChange::Record(const std::wstring& key_path) {
  std::optional<KeyTree> before = registry_.ReadTree(key_path);
  std::wstring top = key_path;
  if (!before) {
    // A step that creates the key creates the missing keys above it too.
    for (std::wstring parent = ParentKeyPath(top);
         !parent.empty() && !registry_.RegRead(parent).exists; parent = ParentKeyPath(parent)) {
      top = parent;
    }
  }
  recorded_.push_back({std::move(top), before});
  return before;
}

ChangeOutcome RegistryChange::Run(const std::vector<std::wstring>& key_paths,
                                  const std::function<void(const Snapshot& before)>& steps) {
  ChangeOutcome outcome;
  Snapshot snapshot;
  try {
    for (const std::wstring& key_path : key_paths) snapshot.push_back(Record(key_path));
  } catch (const SystemError& error) {
    outcome.error = error;  // nothing has changed yet
    return outcome;
  }
  for (std::size_t index = 0; index < snapshot.size(); ++index) {
    if (!snapshot[index]) continue;
    if (const auto below = FirstUnrestorableKey(*snapshot[index])) {
      outcome.unrestorable_key =
          DisplayKeyPath(below->empty() ? key_paths[index] : SubkeyPath(key_paths[index], *below));
      return outcome;
    }
  }
  try {
    steps(snapshot);
    return outcome;
  } catch (const SystemError& error) {
    outcome.error = error;
  } catch (const std::bad_alloc&) {
    outcome.error = Unexpected(errc::kNotEnoughMemory);
  } catch (...) {
    outcome.error = Unexpected(errc::kInternalError);
  }
  outcome.undo_errors = Undo();
  return outcome;
}

std::vector<SystemError> RegistryChange::Undo() {
  std::vector<SystemError> reports;
  for (std::size_t index = recorded_.size(); index-- > 0;) {  // newest first
    const Recorded& recorded = recorded_[index];
    const std::vector<SystemError> errors =
        RestoreTree(registry_, recorded.key_path, recorded.before);
    if (errors.empty()) continue;
    // One report for the key, naming the keys below it that are left changed.
    SystemError report = AgainstKey(errors.front(), recorded.key_path);
    std::wstring keys;
    for (const SystemError& error : errors) {
      if (error.subject() == report.subject() || keys.find(error.subject()) != std::wstring::npos)
        continue;
      keys += L'\n';
      keys += error.subject();
    }
    if (!keys.empty()) {
      std::wstring detail = report.detail();
      if (!detail.empty()) detail += L"\n\n";
      detail += L"未能恢复原样的项：";
      detail += keys;
      report.WithDetail(std::move(detail));
    }
    reports.push_back(std::move(report));
  }
  return reports;
}

}  // namespace vw
