#include "registry/change.h"

#include <algorithm>
#include <new>
#include <utility>

#include "registry/key_path.h"

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

using Found = LeftChanged::Found;

// What `left` says, said of `key`.
LeftChanged AgainstKey(const LeftChanged& left, const KeyPath& key) {
  SystemError error(left.error.code(), left.error.doing(), KeyPathText(key));
  error.WithDetail(left.error.detail());
  return {std::move(error), left.found, {}};
}

// A key whose present state could not be read: it may still hold part of the change.
LeftChanged Unreadable(const SystemError& error, const KeyPath& key) {
  return {SystemError(error.code(), Doing::kReadingKey, KeyPathText(key)), Found::kUnreadable, {}};
}

// A link where the record has no key: another program made it, and it stays.
LeftChanged LinkLeftAlone(const KeyPath& key) {
  return {SystemError(errc::kAlreadyExists, Doing::kDeletingKey, KeyPathText(key)),
          Found::kLinkLeftAlone,
          {}};
}

// Whether a link lies at or under the tree.
bool HoldsLink(const KeyTree& tree) {
  return tree.link || std::any_of(tree.subkeys.begin(), tree.subkeys.end(), HoldsLink);
}

// The keys at or under `key` where `after` (null: absent) differs from `before`: in their values,
// security, class or kind, or present in one only.
void DifferingKeys(const RegistryServices& registry, const KeyPath& key, const KeyTree& before,
                   const KeyTree* after, std::vector<KeyPath>& differing) {
  if (after == nullptr) {
    differing.push_back(key);
    return;
  }
  if (before.name != after->name || before.values != after->values ||
      before.security != after->security || before.key_class != after->key_class ||
      before.link != after->link || before.is_volatile != after->is_volatile) {
    differing.push_back(key);
  }
  for (const KeyTree& subkey : before.subkeys) {
    DifferingKeys(registry, key.Child(subkey.name), subkey,
                  FindByName(after->subkeys, subkey.name, registry), differing);
  }
  for (const KeyTree& subkey : after->subkeys) {
    if (FindByName(before.subkeys, subkey.name, registry) == nullptr) {
      differing.push_back(key.Child(subkey.name));
    }
  }
}

class Restorer {
 public:
  explicit Restorer(RegistryServices& registry) : registry_(registry) {}

  // Puts `before` back at `key` where `now` differs; `now` is null when the key is absent or
  // could not be read, and then every value and subkey of `before` is written.
  void Key(const KeyPath& key, const KeyTree& before, const KeyTree* now) {
    Attempt(key, [&] {
      if (now == nullptr) registry_.CreateKey(key, before.key_class);
      for (const NamedValue& value : before.values) {
        const NamedValue* present =
            now == nullptr ? nullptr : FindByName(now->values, value.name, registry_);
        if (present == nullptr || present->value != value.value) {
          registry_.WriteValue(key, value.name, value.value);
        }
      }
      if (now == nullptr) return;
      for (const NamedValue& value : now->values) {
        if (FindByName(before.values, value.name, registry_) == nullptr) {
          registry_.WriteValue(key, value.name, std::nullopt);
        }
      }
    });
    if (now != nullptr) {
      for (const KeyTree& subkey : now->subkeys) {
        if (FindByName(before.subkeys, subkey.name, registry_) != nullptr) continue;
        const KeyPath extra = key.Child(subkey.name);
        if (HoldsLink(subkey)) {
          errors_.push_back(LinkLeftAlone(extra));
        } else {
          Attempt(extra, [&] { registry_.DeleteTree(extra); });
        }
      }
    }
    for (const KeyTree& subkey : before.subkeys) {
      const KeyTree* present =
          now == nullptr ? nullptr : FindByName(now->subkeys, subkey.name, registry_);
      if (present == nullptr || *present != subkey) {
        Key(key.Child(subkey.name), subkey, present);
      }
    }
    // Last, since the key's own ACL may deny what putting back its contents needs.
    if (!before.security.empty() && (now == nullptr || now->security != before.security)) {
      Attempt(key, [&] { registry_.SetSecurity(key, before.security); });
    }
  }

  std::vector<LeftChanged> TakeErrors() { return std::move(errors_); }

 private:
  // Runs one step of putting `key` back; a failure is recorded against that key, the whole of
  // which may now differ, even where the call failed deeper down.
  template <typename Step>
  void Attempt(const KeyPath& key, const Step& step) {
    try {
      step();
    } catch (const SystemError& error) {
      errors_.push_back(AgainstKey({error, Found::kFailed, {}}, key));
    }
  }

  RegistryServices& registry_;
  std::vector<LeftChanged> errors_;
};

}  // namespace

std::vector<LeftChanged> RestoreTree(RegistryServices& registry, const KeyPath& key,
                                     const std::optional<KeyTree>& before) {
  // What is there now, read twice at most: a passing failure should not make us write blind.
  std::optional<KeyTree> now;
  std::optional<LeftChanged> unreadable;
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      now = registry.ReadTree(key);
      unreadable.reset();
      break;
    } catch (const LinkOnTheWay& link) {
      // Planted since a step may have changed the key: what lies beyond it is not ours to read
      // or write, so the key may still hold part of the change.
      return {Unreadable(link, key)};
    } catch (const SystemError& error) {
      unreadable = Unreadable(error, key);
    }
  }
  if (!unreadable && now == before) return {};
  std::vector<LeftChanged> errors;
  if (!before) {
    if (now && HoldsLink(*now)) {
      errors.push_back(LinkLeftAlone(key));
    } else {
      try {
        registry.DeleteTree(key);
      } catch (const SystemError& error) {
        errors.push_back(Unreadable(error, key));
      }
    }
  } else {
    // Made again, a key gets the name it had, in its own case.
    Restorer restorer(registry);
    restorer.Key(key.Parent().Child(before->name), *before, unreadable || !now ? nullptr : &*now);
    std::vector<LeftChanged> failed = restorer.TakeErrors();
    // Judged by reading it back whole, owners and inherited rights included: the keys that read
    // otherwise are reported, and only they.
    try {
      const std::optional<KeyTree> after = registry.ReadTree(key);
      if (after == before) return {};
      std::vector<KeyPath> differing;
      DifferingKeys(registry, key, *before, after ? &*after : nullptr, differing);
      for (const KeyPath& left : differing) {
        errors.push_back(
            failed.empty()
                ? LeftChanged{SystemError(errc::kCantWrite, Doing::kWritingKey, KeyPathText(left)),
                              Found::kReadsOtherwise,
                              {}}
                : AgainstKey(failed.front(), left));
      }
      return errors;
    } catch (const SystemError& error) {
      errors = std::move(failed);
      errors.push_back(Unreadable(error, key));
    }
  }
  // Whatever the step added there could not be seen, so it may still be there: said first.
  if (unreadable) {
    errors.push_back(*unreadable);
    std::rotate(errors.begin(), errors.end() - 1, errors.end());
  }
  return errors;
}

namespace {

SystemError Unexpected(std::uint32_t code) {
  return {code, Doing::kChangingRegistry};
}

}  // namespace

std::optional<KeyPath> RegistryChange::FirstKeyWithForeignSecurity(const KeyPath& key,
                                                                   const KeyTree& tree) const {
  if (!tree.security.empty() && !registry_.CanRestoreSecurity(tree.security)) return key;
  for (const KeyTree& subkey : tree.subkeys) {
    if (auto owned = FirstKeyWithForeignSecurity(key.Child(subkey.name), subkey)) return owned;
  }
  return std::nullopt;
}

std::optional<KeyTree> RegistryChange::Record(const KeyPath& key) {
  std::optional<KeyTree> before = registry_.ReadTree(key);
  KeyPath top = key;
  if (!before) {
    // A step that creates the key creates the missing keys above it too. A key is looked at as
    // itself, a link as the link, as undo will read it: a link that leads nowhere is there.
    for (KeyPath parent = key.Parent(); !parent.names.empty() && !registry_.ReadKey(parent).exists;
         parent = parent.Parent()) {
      top = parent;
    }
  }
  recorded_.push_back({std::move(top), before});
  return before;
}

ChangeOutcome RegistryChange::Run(const std::vector<KeyPath>& keys,
                                  const std::function<void(const Snapshot& before)>& steps) {
  using Why = ChangeOutcome::Refusal::Why;
  ChangeOutcome outcome;
  if (!registry_.CanChange()) {
    outcome.refusal = {std::wstring(), Why::kUnknownUser};
    return outcome;
  }
  Snapshot snapshot;
  try {
    for (const KeyPath& key : keys) snapshot.push_back(Record(key));
  } catch (const LinkOnTheWay& link) {
    outcome.refusal = {link.subject(), Why::kLinkOnTheWay};
    return outcome;
  } catch (const SystemError& error) {
    outcome.error = error;  // nothing has changed yet
    return outcome;
  }
  for (std::size_t index = 0; index < snapshot.size(); ++index) {
    if (!snapshot[index]) continue;
    if (const auto below = FirstUnrestorableKey(*snapshot[index])) {
      KeyPath refused = keys[index];
      refused.names.insert(refused.names.end(), below->begin(), below->end());
      outcome.refusal = {KeyPathText(refused), Why::kNotRecreatable};
      return outcome;
    }
    if (const auto owned = FirstKeyWithForeignSecurity(keys[index], *snapshot[index])) {
      outcome.refusal = {KeyPathText(*owned), Why::kSecurity};
      return outcome;
    }
    // A key a step may delete could not be made again with audit entries that were not read.
    if (!registry_.CanRestoreAudit()) {
      outcome.refusal = {KeyPathText(keys[index]), Why::kAudit};
      return outcome;
    }
  }
  try {
    steps(snapshot);
    return outcome;
  } catch (const LinkOnTheWay& link) {
    // Planted since the record: nothing went through it, and the rest is put back.
    outcome.refusal = {link.subject(), Why::kLinkOnTheWay};
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

std::vector<LeftChanged> RegistryChange::Undo() {
  std::vector<LeftChanged> reports;
  for (std::size_t index = recorded_.size(); index-- > 0;) {  // newest first
    const Recorded& recorded = recorded_[index];
    const std::vector<LeftChanged> errors = RestoreTree(registry_, recorded.key, recorded.before);
    if (errors.empty()) continue;
    // One report for the key, naming the keys below it that are left changed.
    LeftChanged report = AgainstKey(errors.front(), recorded.key);
    for (const LeftChanged& error : errors) {
      const std::wstring& key = error.error.subject();
      if (key != report.error.subject() &&
          std::find(report.keys_below.begin(), report.keys_below.end(), key) ==
              report.keys_below.end()) {
        report.keys_below.push_back(key);
      }
    }
    reports.push_back(std::move(report));
  }
  return reports;
}

}  // namespace vw
