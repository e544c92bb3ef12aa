#include "verbs/registry_undo.h"

#include <algorithm>
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
  return {error.code(), error.action(), DisplayKeyPath(key_path)};
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
  bool known = false;
  for (int attempt = 0; attempt < 2 && !known; ++attempt) {
    try {
      now = registry.ReadTree(key_path);
      known = true;
    } catch (const SystemError&) {
      // Unreadable: put back everything `before` holds; what was added cannot be seen.
    }
  }
  if (known && now == before) return {};
  if (!before) {
    try {
      registry.RegDelete(key_path);
    } catch (const SystemError& error) {
      return {AgainstKey(error, key_path)};
    }
    return {};
  }
  // Made again, a key gets the name it had, in its own case.
  std::wstring_view parent = key_path.substr(0, key_path.size() - 1);
  parent = parent.substr(0, parent.rfind(L'\\') + 1);
  Restorer restorer(registry);
  restorer.Key(SubkeyPath(parent, before->name), *before, known && now ? &*now : nullptr);
  return restorer.TakeErrors();
}

bool RegistryChange::Record(std::wstring key_path) {
  std::optional<KeyTree> before = registry_.ReadTree(key_path);
  const bool exists = before.has_value();
  recorded_.push_back({std::move(key_path), std::move(before)});
  return exists;
}

std::vector<SystemError> RegistryChange::Undo() {
  std::vector<SystemError> errors;
  for (std::size_t index = recorded_.size(); index-- > 0;) {  // newest first
    const Recorded& recorded = recorded_[index];
    for (SystemError& error : RestoreTree(registry_, recorded.key_path, recorded.before)) {
      errors.push_back(std::move(error));
    }
  }
  return errors;
}

}  // namespace vw
