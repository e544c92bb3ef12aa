#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_error.h"
#include "registry/services.h"

namespace vw {

// A key that putting back could not make as it was: the error that stopped it, whose subject is
// the key, what was found there, and the keys below it left changed too, written out (KeyPathText).
struct LeftChanged {
  enum class Found {
    kFailed,          // a call failed
    kUnreadable,      // its state now could not be read: it may still hold part of the change
    kLinkLeftAlone,   // a link stands where the record had no key; another program's, it stays
    kReadsOtherwise,  // no call failed, yet it reads back otherwise
  };
  SystemError error;
  Found found = Found::kFailed;
  std::vector<std::wstring> keys_below;
};

// Makes the key hold exactly `before` again, or be absent when `before` is empty, touching only
// what differs from it now. A key it cannot put back does not stop the others; each is returned
// as an error whose subject is that key. A key whose present state cannot be read is written
// back blind and returned too, as possibly changed. A symbolic link is never deleted: none of our
// steps makes one, so one found where `before` has none is left alone and returned. A key beyond
// a link on the way is not ours to put back: no step of ours writes through one.
std::vector<LeftChanged> RestoreTree(RegistryServices& registry, const KeyPath& key,
                                     const std::optional<KeyTree>& before);

// What a change came to. Whatever it is, the registry is already as whole as it will get: the
// undo has run before anyone is told.
struct ChangeOutcome {
  // Refused, before any step or, for a link met on the way, when a step met it (and after
  // putting back what came before).
  struct Refusal {
    enum class Why {
      kNotRecreatable,  // a symbolic link, a volatile key, a name too long to create
      kSecurity,        // an owner or a label this process cannot give a key
      kLinkOnTheWay,    // a symbolic link on the way to a key of the change
      kAudit,           // an existing key whose audit entries this process cannot read back
      kUnknownUser,     // whose classes "this user's" are could not be found
    };
    std::wstring key;  // written out (KeyPathText)
    Why why;
  };
  std::optional<Refusal> refusal;
  // The error that stopped the change.
  std::optional<SystemError> error;
  // One for each recorded key left changed or possibly changed, naming the keys below it that
  // could not be put back.
  std::vector<LeftChanged> undo_errors;

  bool done() const noexcept { return !refusal && !error; }
};

// A change to the registry that is all or nothing, run in one order every time:
//   1. record every key the steps may touch, whole (a missing key is recorded through the
//      topmost missing key above it, so that undo also removes the parents a step creates; a
//      link on the way is seen as the link, as undo will see it);
//   2. refuse, changing nothing, if it is not known whose keys would change, if a link lies on
//      the way to a recorded key, or if a recorded key could not be made again as it was: a
//      link, a volatile key, a name too long, a key whose owner or label this process could
//      not give it back, or any existing key where its audit entries cannot be read;
//   3. run the steps;
//   4. on any exception, put back every recorded key, newest first, each on its own (a link met
//      on the way by a step ends as a refusal, once the rest is put back);
//   5. only then hand back one outcome.
class RegistryChange {
 public:
  explicit RegistryChange(RegistryServices& registry) : registry_(registry) {}

  // The keys' trees as recorded, in the order given; nullopt for a key that does not exist.
  using Snapshot = std::vector<std::optional<KeyTree>>;
  ChangeOutcome Run(const std::vector<KeyPath>& keys,
                    const std::function<void(const Snapshot& before)>& steps);

 private:
  struct Recorded {
    KeyPath key;
    std::optional<KeyTree> before;
  };
  std::optional<KeyTree> Record(const KeyPath& key);
  // The first key at or under `key` whose owner or label could not be given back to it made
  // again.
  std::optional<KeyPath> FirstKeyWithForeignSecurity(const KeyPath& key, const KeyTree& tree) const;
  std::vector<LeftChanged> Undo();

  RegistryServices& registry_;
  std::vector<Recorded> recorded_;
};

}  // namespace vw
