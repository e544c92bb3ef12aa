#include "operations/load_entries.h"

#include "verbs/shell_verb_layout.h"

namespace vw {

void LoadEntries(RegistryServices& registry, EntryList& entries) {
  // The names go from the registry straight into the list, Windows' own dropped: no second copy
  // of every name. The fill ends, and the list draws again, however the listing ends; what was
  // read before a failure stays listed.
  class Fill final : public SubkeySink {
   public:
    explicit Fill(EntryList& list) : entries_(list) {}
    ~Fill() override {
      try {
        if (!filling_) entries_.BeginFill(0);
        entries_.EndFill();
      } catch (...) {  // NOLINT(bugprone-empty-catch): only a list's sideways extent is lost
      }
    }
    Fill(const Fill&) = delete;
    Fill& operator=(const Fill&) = delete;
    void Expect(std::size_t count) override {
      if (filling_) return;
      entries_.BeginFill(count);
      filling_ = true;
    }
    void Take(std::wstring_view name) override {
      if (!IsReservedVerb(name)) entries_.Append(name);
    }

   private:
    EntryList& entries_;
    bool filling_ = false;
  } fill(entries);
  registry.ForEachSubkey(VerbRoot(), fill);
}

}  // namespace vw
