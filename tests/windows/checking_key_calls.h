#pragma once

// The registry layer's calls decided as Windows decides them, for the tests under Wine, which
// grants what Windows refuses. An open or create is granted what Windows' access check grants
// from the key's own security and this process's token and privileges (WindowsAccess), a create
// is checked against its parent key's security, a key created gets the entries its parent passes
// down, and every later call is checked against what its handle was granted. A handle is
// forgotten when closed; one the bench did not hand out is refused. Each refusal is kept, naming
// the call, the key and the missing rights; what passes goes on to the system.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "registry/key_calls_win.h"
#include "tests/windows/windows_access.h"

namespace vw::testing {

class CheckingKeyCalls final : public KeyCalls {
 public:
  // What was refused, one line a call; empty when Windows would have refused nothing.
  const std::vector<std::string>& refused() const noexcept { return refused_; }
  // The names of the links that an open by name followed, since the last ForgetFollowed.
  const std::vector<std::wstring>& followed() const noexcept { return followed_; }
  void ForgetFollowed() { followed_.clear(); }

  LSTATUS OpenRoot(HKEY root, const wchar_t* name, DWORD options, REGSAM access,
                   HKEY* key) override {
    HKEY probe = nullptr;
    const LSTATUS found =
        RegOpenKeyExW(root, name, options & REG_OPTION_OPEN_LINK, READ_CONTROL, &probe);
    if (found != ERROR_SUCCESS) return found;
    const std::vector<std::uint8_t> security = SecurityOf(probe);
    RegCloseKey(probe);
    const auto granted = Decide("RegOpenKeyExW", name, security, access, options, [&] {
      HKEY opened = nullptr;
      if (system_.OpenRoot(root, name, options, access, &opened) != ERROR_SUCCESS) return false;
      RegCloseKey(opened);
      return true;
    });
    if (!granted) return ERROR_ACCESS_DENIED;
    const LSTATUS status = system_.OpenRoot(root, name, options, access, key);
    if (status == ERROR_SUCCESS) handles_[*key] = {*granted, name};
    return status;
  }
  LSTATUS CreateRoot(HKEY root, const wchar_t* name, const wchar_t* key_class, REGSAM access,
                     HKEY* key) override {
    HKEY probe = nullptr;
    if (RegOpenKeyExW(root, name, 0, READ_CONTROL, &probe) == ERROR_SUCCESS) {
      RegCloseKey(probe);
      return OpenRoot(root, name, 0, access, key);
    }
    // Each missing key is created under the one above it: the first under the deepest that
    // exists, checked against its security.
    const std::wstring path(name);
    std::vector<std::size_t> ends;  // where each missing key's path ends
    std::wstring parent_name = path;
    while (true) {
      ends.push_back(parent_name.size());
      const std::size_t cut = parent_name.rfind(L'\\');
      parent_name.resize(cut == std::wstring::npos ? 0 : cut);
      if (RegOpenKeyExW(root, parent_name.c_str(), 0, READ_CONTROL, &probe) == ERROR_SUCCESS) break;
      if (parent_name.empty()) return system_.CreateRoot(root, name, key_class, access, key);
    }
    std::vector<std::uint8_t> parent = SecurityOf(probe);
    RegCloseKey(probe);
    if (!Decide("RegCreateKeyExW under", parent_name.c_str(), parent, KEY_CREATE_SUB_KEY, 0))
      return ERROR_ACCESS_DENIED;
    const LSTATUS status = system_.CreateRoot(root, name, key_class, access, key);
    if (status != ERROR_SUCCESS) return status;
    for (auto end = ends.rbegin(); end != ends.rend(); ++end) {
      if (RegOpenKeyExW(root, path.substr(0, *end).c_str(), 0,
                        READ_CONTROL | WRITE_DAC | WRITE_OWNER, &probe) != ERROR_SUCCESS)
        break;
      const UniqueHkey made(probe);
      Inherit(made.get(), parent);
      parent = SecurityOf(made.get());
    }
    return Created(*key, access, name) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
  }
  LONG OpenKey(HANDLE* key, ACCESS_MASK access, calls::ObjectAttributes* attributes) override {
    const std::wstring name = NameOf(attributes);
    if (!Known("NtOpenKey under", attributes->root_directory)) return kStatusAccessDenied;
    NoteFollowedLink(attributes);
    HANDLE probe = nullptr;
    const LONG found = system_.OpenKey(&probe, READ_CONTROL, attributes);
    if (found < 0) return found;
    const std::vector<std::uint8_t> security = SecurityOf(static_cast<HKEY>(probe));
    RegCloseKey(static_cast<HKEY>(probe));
    const auto granted = Decide("NtOpenKey", name.c_str(), security, access, 0, [&] {
      HANDLE opened = nullptr;
      if (system_.OpenKey(&opened, access, attributes) < 0) return false;
      RegCloseKey(static_cast<HKEY>(opened));
      return true;
    });
    if (!granted) return kStatusAccessDenied;
    const LONG status = system_.OpenKey(key, access, attributes);
    if (status >= 0) handles_[*key] = {*granted, name};
    return status;
  }
  LONG CreateKey(HANDLE* key, ACCESS_MASK access, calls::ObjectAttributes* attributes,
                 calls::UnicodeString* key_class, ULONG options) override {
    const std::wstring name = NameOf(attributes);
    if (!Known("NtCreateKey under", attributes->root_directory)) return kStatusAccessDenied;
    HANDLE probe = nullptr;
    if (system_.OpenKey(&probe, READ_CONTROL, attributes) >= 0) {
      RegCloseKey(static_cast<HKEY>(probe));
      return OpenKey(key, access, attributes);  // an existing key is opened
    }
    const std::vector<std::uint8_t> parent =
        SecurityOf(Reopened(attributes->root_directory, READ_CONTROL));
    const std::wstring parent_name = handles_[attributes->root_directory].name;
    if (!Decide("NtCreateKey under", parent_name.c_str(), parent, KEY_CREATE_SUB_KEY, 0))
      return kStatusAccessDenied;
    const LONG status = system_.CreateKey(key, access, attributes, key_class, options);
    if (status < 0) return status;
    Inherit(Reopened(*key, READ_CONTROL | WRITE_DAC | WRITE_OWNER), parent);
    return Created(static_cast<HKEY>(*key), access, name) ? status : kStatusAccessDenied;
  }
  LONG DeleteKey(HANDLE key) override {
    return Holds("NtDeleteKey", key, DELETE) ? system_.DeleteKey(key) : kStatusAccessDenied;
  }
  LONG QueryKey(HANDLE key, int info_class, void* info, ULONG size, ULONG* written) override {
    if (!Holds("NtQueryKey", key, KEY_QUERY_VALUE)) return kStatusAccessDenied;
    const LONG status = system_.QueryKey(key, info_class, info, size, written);
    // Where Wine does not answer for a key's flags, the bench answers as a Windows whose
    // undocumented layout says nothing of links would: no flags.
    if (status < 0 && info_class == key_info::kFlags && size >= 3 * sizeof(ULONG)) {
      std::memset(info, 0, 3 * sizeof(ULONG));
      *written = 3 * sizeof(ULONG);
      return 0;
    }
    return status;
  }
  LONG SetValue(HANDLE key, calls::UnicodeString* name, ULONG type, void* data,
                ULONG size) override {
    return Holds("NtSetValueKey", key, KEY_SET_VALUE)
               ? system_.SetValue(key, name, type, data, size)
               : kStatusAccessDenied;
  }
  LONG DeleteValue(HANDLE key, calls::UnicodeString* name) override {
    return Holds("NtDeleteValueKey", key, KEY_SET_VALUE) ? system_.DeleteValue(key, name)
                                                         : kStatusAccessDenied;
  }
  LSTATUS SetKeySecurity(HKEY key, SECURITY_INFORMATION parts,
                         PSECURITY_DESCRIPTOR descriptor) override {
    if (!Holds("RegSetKeySecurity", key, SecurityRights(parts, WRITE_DAC, WRITE_OWNER)))
      return ERROR_ACCESS_DENIED;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if ((parts & OWNER_SECURITY_INFORMATION) != 0 &&
        GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner != nullptr &&
        !access_.MayNameOwner(owner)) {
      Refuse("RegSetKeySecurity naming another account the owner without SeRestorePrivilege on",
             handles_[key].name, 0);
      return ERROR_INVALID_OWNER;
    }
    return system_.SetKeySecurity(key, parts, descriptor);
  }
  LSTATUS GetKeySecurity(HKEY key, SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor,
                         DWORD* size) override {
    return Holds("RegGetKeySecurity", key, SecurityRights(parts, READ_CONTROL, READ_CONTROL))
               ? system_.GetKeySecurity(key, parts, descriptor, size)
               : ERROR_ACCESS_DENIED;
  }
  LSTATUS QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) override {
    return Holds("RegQueryValueExW", key, KEY_QUERY_VALUE)
               ? system_.QueryValue(key, name, type, data, size)
               : ERROR_ACCESS_DENIED;
  }
  LSTATUS EnumKey(HKEY key, DWORD index, wchar_t* name, DWORD* length) override {
    return Holds("RegEnumKeyExW", key, KEY_ENUMERATE_SUB_KEYS)
               ? system_.EnumKey(key, index, name, length)
               : ERROR_ACCESS_DENIED;
  }
  LSTATUS EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* name_length, DWORD* type,
                    BYTE* data, DWORD* data_size) override {
    return Holds("RegEnumValueW", key, KEY_QUERY_VALUE)
               ? system_.EnumValue(key, index, name, name_length, type, data, data_size)
               : ERROR_ACCESS_DENIED;
  }
  LSTATUS QueryInfoKey(HKEY key, wchar_t* key_class, DWORD* class_length, DWORD* subkeys,
                       DWORD* longest_subkey, DWORD* values, DWORD* longest_value_name,
                       DWORD* largest_data) override {
    return Holds("RegQueryInfoKeyW", key, KEY_QUERY_VALUE)
               ? system_.QueryInfoKey(key, key_class, class_length, subkeys, longest_subkey, values,
                                      longest_value_name, largest_data)
               : ERROR_ACCESS_DENIED;
  }
  void CloseKey(HKEY key) override {
    if (handles_.erase(key) == 0) {
      Refuse("RegCloseKey of a handle the bench did not hand out", L"", 0);
      return;
    }
    system_.CloseKey(key);
  }
  LSTATUS ErrorOf(LONG status) override { return system_.ErrorOf(status); }

 private:
  struct Handle {
    ACCESS_MASK granted = 0;
    std::wstring name;
  };

  static std::wstring NameOf(const calls::ObjectAttributes* attributes) {
    const calls::UnicodeString* name = attributes->object_name;
    return name == nullptr ? std::wstring()
                           : std::wstring(name->buffer, name->length / sizeof(wchar_t));
  }
  // The rights a read or a set of `parts` of a key's security needs.
  static ACCESS_MASK SecurityRights(SECURITY_INFORMATION parts, ACCESS_MASK list,
                                    ACCESS_MASK owner) {
    ACCESS_MASK rights = 0;
    if ((parts & DACL_SECURITY_INFORMATION) != 0) rights |= list;
    if ((parts & (OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                  LABEL_SECURITY_INFORMATION)) != 0)
      rights |= owner;
    if ((parts & SACL_SECURITY_INFORMATION) != 0) rights |= ACCESS_SYSTEM_SECURITY;
    return rights;
  }
  static std::vector<std::uint8_t> SecurityOf(HKEY key) {
    constexpr SECURITY_INFORMATION kParts =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    RegGetKeySecurity(key, kParts, nullptr, &size);
    std::vector<std::uint8_t> descriptor(size);
    if (size == 0 || RegGetKeySecurity(key, kParts, descriptor.data(), &size) != ERROR_SUCCESS)
      return {};
    return descriptor;
  }
  // The key behind one of our handles, opened again by the system for the bench's own look;
  // closed with the bench's next look.
  HKEY Reopened(HANDLE key, ACCESS_MASK access) {
    std::wstring empty;
    calls::UnicodeString name{0, 0, empty.data()};
    calls::ObjectAttributes attributes{sizeof(attributes), key, &name, 0x40, nullptr, nullptr};
    HANDLE raw = nullptr;
    if (system_.OpenKey(&raw, access, &attributes) < 0) raw = nullptr;
    reopened_.reset(static_cast<HKEY>(raw));
    return reopened_.get();
  }

  // The rights an open of a key with `security` asking for `access` gets, or nullopt, refused,
  // where it asks for none or for more than Windows grants. A refusal is kept as a fault where
  // Wine would have granted the open (`wine_grants`): one the key's own list makes Wine refuse
  // too is what a test that denies an access expects.
  template <typename WineGrants = bool (*)()>
  std::optional<ACCESS_MASK> Decide(
      const char* call, const wchar_t* name, const std::vector<std::uint8_t>& security,
      ACCESS_MASK access, DWORD options, const WineGrants& wine_grants = [] { return true; }) {
    ACCESS_MASK wanted = access & ~static_cast<ACCESS_MASK>(KEY_WOW64_RES | MAXIMUM_ALLOWED);
    MapGenericMask(&wanted, const_cast<GENERIC_MAPPING*>(&WindowsAccess::kKeyMapping));
    if (access == 0) {
      Refuse(call, name, 0, "asked for no access");
      return std::nullopt;
    }
    if (security.empty()) return wanted;  // unreadable here: the system decides alone
    std::vector<std::uint8_t> copy = security;
    const ACCESS_MASK granted = access_.Granted(copy.data(), access, options);
    if ((wanted & ~granted) != 0) {
      if (wine_grants()) Refuse(call, name, wanted & ~granted);
      return std::nullopt;
    }
    return (access & MAXIMUM_ALLOWED) != 0 ? granted : wanted;
  }
  // A key just made gets what its parent passes down, as on Windows (Wine gives it a list of
  // its own); `own` is open for READ_CONTROL and WRITE_DAC.
  static void Inherit(HKEY own, const std::vector<std::uint8_t>& parent) {
    std::vector<std::uint8_t> made = SecurityOf(own);
    std::vector<std::uint8_t> parent_copy = parent;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (made.empty() || parent_copy.empty() ||
        !GetSecurityDescriptorOwner(made.data(), &owner, &defaulted) || owner == nullptr) {
      return;
    }
    if (auto list = WindowsAccess::InheritedList(parent_copy.data(), owner)) {
      SECURITY_DESCRIPTOR inherited{};
      InitializeSecurityDescriptor(&inherited, SECURITY_DESCRIPTOR_REVISION);
      SetSecurityDescriptorDacl(&inherited, TRUE, reinterpret_cast<PACL>(list->data()), FALSE);
      SetSecurityDescriptorOwner(&inherited, owner, FALSE);  // Wine would put its own
      RegSetKeySecurity(own, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &inherited);
    }
  }
  // A key just created is granted the rights asked for it where its security allows them.
  bool Created(HKEY key, ACCESS_MASK access, const std::wstring& name) {
    const std::vector<std::uint8_t> made = SecurityOf(Reopened(key, READ_CONTROL));
    const auto granted = Decide("a create's open of", name.c_str(), made, access, 0);
    if (!granted) {
      system_.CloseKey(key);
      return false;
    }
    handles_[key] = {*granted, name};
    return true;
  }

  // Keeps the name of a link that an open of `attributes`, which does not open a link as itself,
  // follows.
  void NoteFollowedLink(calls::ObjectAttributes* attributes) {
    constexpr ULONG kOpenLink = 0x100;
    if ((attributes->attributes & kOpenLink) != 0) return;
    calls::ObjectAttributes as_link = *attributes;
    as_link.attributes |= kOpenLink;
    HANDLE probe = nullptr;
    if (system_.OpenKey(&probe, KEY_QUERY_VALUE, &as_link) < 0) return;
    DWORD type = 0;
    if (RegQueryValueExW(static_cast<HKEY>(probe), L"SymbolicLinkValue", nullptr, &type, nullptr,
                         nullptr) == ERROR_SUCCESS &&
        type == REG_LINK) {
      followed_.push_back(NameOf(attributes));
    }
    RegCloseKey(static_cast<HKEY>(probe));
  }

  bool Known(const char* call, HANDLE key) {
    if (handles_.count(key) != 0) return true;
    Refuse(call, L"", 0, "a handle the bench did not hand out");
    return false;
  }
  // Whether our handle `key` was granted `rights`.
  bool Holds(const char* call, HANDLE key, ACCESS_MASK rights) {
    const auto found = handles_.find(key);
    if (found == handles_.end()) {
      Refuse(call, L"", 0, "a handle the bench did not hand out");
      return false;
    }
    if ((found->second.granted & rights) == rights) return true;
    Refuse(call, found->second.name, rights & ~found->second.granted);
    return false;
  }

  void Refuse(const char* call, const std::wstring& name, ACCESS_MASK missing,
              const char* why = nullptr) {
    std::string line = call;
    if (!name.empty()) {
      const int size = WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()),
                                           nullptr, 0, nullptr, nullptr);
      std::string narrow(static_cast<std::size_t>(size), '\0');
      WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(name.size()), narrow.data(),
                          size, nullptr, nullptr);
      line += " '" + narrow + "'";
    }
    if (why != nullptr) line += std::string(": ") + why;
    if (missing != 0) {
      line += ": lacks";
      static constexpr std::pair<ACCESS_MASK, const char*> kRights[] = {
          {KEY_QUERY_VALUE, "KEY_QUERY_VALUE"},
          {KEY_SET_VALUE, "KEY_SET_VALUE"},
          {KEY_CREATE_SUB_KEY, "KEY_CREATE_SUB_KEY"},
          {KEY_ENUMERATE_SUB_KEYS, "KEY_ENUMERATE_SUB_KEYS"},
          {KEY_NOTIFY, "KEY_NOTIFY"},
          {KEY_CREATE_LINK, "KEY_CREATE_LINK"},
          {DELETE, "DELETE"},
          {READ_CONTROL, "READ_CONTROL"},
          {WRITE_DAC, "WRITE_DAC"},
          {WRITE_OWNER, "WRITE_OWNER"},
          {ACCESS_SYSTEM_SECURITY, "ACCESS_SYSTEM_SECURITY"}};
      for (const auto& [right, right_name] : kRights) {
        if ((missing & right) != 0) line += std::string(" ") + right_name;
      }
    }
    std::printf("refused as Windows would: %s\n", line.c_str());
    refused_.push_back(std::move(line));
  }

  KeyCalls& system_ = KeyCalls::System();
  WindowsAccess access_;
  std::map<HANDLE, Handle> handles_;
  UniqueHkey reopened_;
  std::vector<std::string> refused_;
  std::vector<std::wstring> followed_;
};

}  // namespace vw::testing
