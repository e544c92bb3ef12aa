#pragma once

// The registry layer's calls as Windows' object manager checks them, for the tests under Wine,
// which grants what Windows refuses: an open that asks for no access at all is refused, and so is
// a call through a handle that was not granted the right it needs. Each refusal is kept, so that a
// test can say which call it was; the others go on to the system.
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "registry/key_calls_win.h"

namespace vw::testing {

class CheckingKeyCalls final : public KeyCalls {
 public:
  // What was refused, one line a call; empty when Windows would have refused nothing.
  const std::vector<std::string>& refused() const noexcept { return refused_; }

  LSTATUS OpenRoot(HKEY root, const wchar_t* name, DWORD options, REGSAM access,
                   HKEY* key) override {
    if (access == 0) return Refuse("RegOpenKeyExW asked for no access", ERROR_ACCESS_DENIED);
    const LSTATUS status = system_.OpenRoot(root, name, options, access, key);
    return Granted(status, *key, access);
  }
  LSTATUS CreateRoot(HKEY root, const wchar_t* name, const wchar_t* key_class, REGSAM access,
                     HKEY* key) override {
    if (access == 0) return Refuse("RegCreateKeyExW asked for no access", ERROR_ACCESS_DENIED);
    const LSTATUS status = system_.CreateRoot(root, name, key_class, access, key);
    return Granted(status, *key, access);
  }
  LONG OpenKey(HANDLE* key, ACCESS_MASK access, calls::ObjectAttributes* attributes) override {
    if (access == 0) return Refuse("NtOpenKey asked for no access", kStatusAccessDenied);
    const LONG status = system_.OpenKey(key, access, attributes);
    if (status >= 0) granted_[*key] = access;
    return status;
  }
  LONG CreateKey(HANDLE* key, ACCESS_MASK access, calls::ObjectAttributes* attributes,
                 calls::UnicodeString* key_class, ULONG options) override {
    if (access == 0) return Refuse("NtCreateKey asked for no access", kStatusAccessDenied);
    if (!Holds(attributes->root_directory, KEY_CREATE_SUB_KEY))
      return Refuse("NtCreateKey under a key opened without KEY_CREATE_SUB_KEY",
                    kStatusAccessDenied);
    const LONG status = system_.CreateKey(key, access, attributes, key_class, options);
    if (status >= 0) granted_[*key] = access;
    return status;
  }
  LONG DeleteKey(HANDLE key) override {
    if (!Holds(key, DELETE)) return Refuse("NtDeleteKey without DELETE", kStatusAccessDenied);
    return system_.DeleteKey(key);
  }
  LONG QueryKey(HANDLE key, int info_class, void* info, ULONG size, ULONG* written) override {
    if (!Holds(key, KEY_QUERY_VALUE))
      return Refuse("NtQueryKey without KEY_QUERY_VALUE", kStatusAccessDenied);
    return system_.QueryKey(key, info_class, info, size, written);
  }
  LONG SetValue(HANDLE key, calls::UnicodeString* name, ULONG type, void* data,
                ULONG size) override {
    if (!Holds(key, KEY_SET_VALUE))
      return Refuse("NtSetValueKey without KEY_SET_VALUE", kStatusAccessDenied);
    return system_.SetValue(key, name, type, data, size);
  }
  LONG DeleteValue(HANDLE key, calls::UnicodeString* name) override {
    if (!Holds(key, KEY_SET_VALUE))
      return Refuse("NtDeleteValueKey without KEY_SET_VALUE", kStatusAccessDenied);
    return system_.DeleteValue(key, name);
  }
  LSTATUS SetKeySecurity(HKEY key, SECURITY_INFORMATION parts,
                         PSECURITY_DESCRIPTOR descriptor) override {
    if ((parts & DACL_SECURITY_INFORMATION) != 0 && !Holds(key, WRITE_DAC))
      return Refuse("RegSetKeySecurity of the list without WRITE_DAC", ERROR_ACCESS_DENIED);
    constexpr SECURITY_INFORMATION kOwnerParts =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION;
    if ((parts & kOwnerParts) != 0 && !Holds(key, WRITE_OWNER))
      return Refuse("RegSetKeySecurity of owner or label without WRITE_OWNER", ERROR_ACCESS_DENIED);
    return system_.SetKeySecurity(key, parts, descriptor);
  }
  LSTATUS ErrorOf(LONG status) override { return system_.ErrorOf(status); }

 private:
  template <typename Status>
  Status Refuse(const char* what, Status status) {
    std::printf("refused as Windows would: %s\n", what);
    refused_.emplace_back(what);
    return status;
  }
  LSTATUS Granted(LSTATUS status, HKEY key, REGSAM access) {
    if (status == ERROR_SUCCESS) granted_[key] = access;
    return status;
  }
  // Whether a handle of ours holds `right`; a handle we did not open (a predefined root) is
  // taken as the system gives it.
  bool Holds(HANDLE key, ACCESS_MASK right) const {
    const auto found = granted_.find(key);
    return found == granted_.end() || (found->second & right) == right;
  }

  KeyCalls& system_ = KeyCalls::System();
  std::map<HANDLE, ACCESS_MASK> granted_;
  std::vector<std::string> refused_;
};

}  // namespace vw::testing
