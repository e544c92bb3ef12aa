#pragma once

// Windows' access check for registry keys, for the bench under Wine, which grants what Windows
// refuses: the rights a token gets to a key from the key's own security descriptor, decided by the
// system's AccessCheck over the access list alone, plus the rules the kernel adds around it, and
// the access list a new key inherits from its parent, which Wine does not give it.
#include <windows.h>

#include <sddl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/handles_win.h"
#include "platform/process_token_win.h"

namespace vw::testing {

class WindowsAccess {
 public:
  WindowsAccess() {
    HANDLE process = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &process)) {
      const UniqueKernelHandle owned(process);
      HANDLE duplicate = nullptr;
      if (DuplicateToken(process, SecurityImpersonation, &duplicate)) token_.reset(duplicate);
    }
  }

  // A key's rights as GENERIC_* bits name them.
  static constexpr GENERIC_MAPPING kKeyMapping = {KEY_READ, KEY_WRITE, KEY_EXECUTE, KEY_ALL_ACCESS};

  // The rights the process token is granted to an object with `descriptor` when it asks for
  // `desired` (generic rights mapped) with the registry open options `options`.
  ACCESS_MASK Granted(PSECURITY_DESCRIPTOR descriptor, ACCESS_MASK desired, DWORD options) const {
    MapGenericMask(&desired, const_cast<GENERIC_MAPPING*>(&kKeyMapping));
    const bool security = PrivilegeEnabled(SE_SECURITY_NAME);
    if ((options & REG_OPTION_BACKUP_RESTORE) != 0) {
      // The rights Microsoft documents for it; the privileges grant nothing without it.
      ACCESS_MASK granted = 0;
      if (PrivilegeEnabled(SE_BACKUP_NAME)) granted |= KEY_READ | ACCESS_SYSTEM_SECURITY;
      if (PrivilegeEnabled(SE_RESTORE_NAME)) granted |= KEY_WRITE | DELETE | ACCESS_SYSTEM_SECURITY;
      return granted;
    }
    ACCESS_MASK granted = FromAccessList(descriptor);
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner != nullptr &&
        HoldsSid(owner) && !HasOwnerRightsEntry(descriptor)) {
      granted |= READ_CONTROL | WRITE_DAC;  // the owner's, implicitly
    }
    if (PrivilegeEnabled(SE_TAKE_OWNERSHIP_NAME)) granted |= WRITE_OWNER;
    if (security) granted |= ACCESS_SYSTEM_SECURITY;
    return granted;
  }

  // Whether the token may name `owner` as an object's owner: itself, a group it may own by, or
  // anyone with the privilege to restore switched on.
  bool MayNameOwner(PSID owner) const {
    return IsOwnerOfToken(owner) || PrivilegeEnabled(SE_RESTORE_NAME);
  }

  // Whether the process has `name` switched on now, read from its own token (the copy made for
  // AccessCheck keeps the privileges of its day).
  bool PrivilegeEnabled(const wchar_t* name) const {
    LUID luid{};
    if (process_.get() == nullptr || !LookupPrivilegeValueW(nullptr, name, &luid)) return false;
    PRIVILEGE_SET set{1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
    BOOL enabled = FALSE;
    return PrivilegeCheck(process_.get(), &set, &enabled) && enabled;
  }

  // The access list a key created under a key with `parent` gets, as Windows makes it: the
  // parent's entries that containers inherit, marked inherited, CREATOR OWNER ones given to
  // `owner` as well; nullopt where the parent passes nothing down (the default list then holds).
  static std::optional<std::vector<std::uint8_t>> InheritedList(PSECURITY_DESCRIPTOR parent,
                                                                PSID owner) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL list = nullptr;
    if (!GetSecurityDescriptorDacl(parent, &present, &list, &defaulted) || !present ||
        list == nullptr) {
      return std::nullopt;
    }
    std::vector<std::uint8_t> acl(65532);
    auto* made = reinterpret_cast<PACL>(acl.data());
    InitializeAcl(made, static_cast<DWORD>(acl.size()), ACL_REVISION);
    bool any = false;
    PSID creator_owner = Sid(L"S-1-3-0");
    for (DWORD index = 0; index < list->AceCount; ++index) {
      void* ace = nullptr;
      if (!GetAce(list, index, &ace)) continue;
      const auto* header = static_cast<ACE_HEADER*>(ace);
      if ((header->AceFlags & CONTAINER_INHERIT_ACE) == 0) continue;
      if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE)
        continue;
      const auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(ace);
      const PSID sid = const_cast<DWORD*>(&entry->SidStart);
      const bool propagate = (header->AceFlags & NO_PROPAGATE_INHERIT_ACE) == 0;
      const bool for_owner = creator_owner != nullptr && EqualSid(sid, creator_owner);
      const auto add = [&](PSID who, BYTE flags) {
        any = true;
        return header->AceType == ACCESS_ALLOWED_ACE_TYPE
                   ? AddAccessAllowedAceEx(made, ACL_REVISION, flags, entry->Mask, who)
                   : AddAccessDeniedAceEx(made, ACL_REVISION, flags, entry->Mask, who);
      };
      if (for_owner) {
        add(owner, INHERITED_ACE);
        if (propagate) add(sid, INHERITED_ACE | CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE);
      } else {
        add(sid, static_cast<BYTE>(INHERITED_ACE |
                                   (propagate ? (header->AceFlags & CONTAINER_INHERIT_ACE) : 0)));
      }
    }
    LocalFree(creator_owner);
    ACL_SIZE_INFORMATION size{};
    if (!any || !GetAclInformation(made, &size, sizeof(size), AclSizeInformation))
      return std::nullopt;
    made->AclSize = static_cast<WORD>(size.AclBytesInUse);
    acl.resize(size.AclBytesInUse);
    return acl;
  }

 private:
  static PSID Sid(const wchar_t* text) {
    PSID sid = nullptr;
    return ConvertStringSidToSidW(text, &sid) ? sid : nullptr;
  }

  // What the access list alone grants: AccessCheck asked for the most it allows, on a copy whose
  // owner is nobody, so that the owner's rights are the kernel's rule below, not Wine's.
  ACCESS_MASK FromAccessList(PSECURITY_DESCRIPTOR descriptor) const {
    SECURITY_DESCRIPTOR copy{};
    InitializeSecurityDescriptor(&copy, SECURITY_DESCRIPTOR_REVISION);
    BOOL present = FALSE, defaulted = FALSE;
    PACL list = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted);
    SetSecurityDescriptorDacl(&copy, present, list, FALSE);
    PSID nobody = Sid(L"S-1-0-0");
    SetSecurityDescriptorOwner(&copy, nobody, FALSE);
    SetSecurityDescriptorGroup(&copy, nobody, FALSE);
    PRIVILEGE_SET privileges{};
    DWORD privileges_size = sizeof(privileges);
    DWORD granted = 0;
    BOOL status = FALSE;
    const BOOL checked = AccessCheck(&copy, token_.get(), MAXIMUM_ALLOWED,
                                     const_cast<GENERIC_MAPPING*>(&kKeyMapping), &privileges,
                                     &privileges_size, &granted, &status);
    LocalFree(nobody);
    return checked && status ? granted : 0;
  }

  static bool HasOwnerRightsEntry(PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL list = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted) || list == nullptr)
      return false;
    PSID owner_rights = Sid(L"S-1-3-4");
    bool found = false;
    for (DWORD index = 0; index < list->AceCount && owner_rights != nullptr; ++index) {
      void* ace = nullptr;
      if (!GetAce(list, index, &ace)) continue;
      const auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(ace);
      found = found || EqualSid(const_cast<DWORD*>(&entry->SidStart), owner_rights);
    }
    LocalFree(owner_rights);
    return found;
  }

  // The token's user, or one of its enabled groups (for an owner: one it may own by).
  bool HoldsSid(PSID sid, DWORD needed = SE_GROUP_ENABLED) const {
    const std::vector<std::uint8_t> user = process_.Part(TokenUser);
    if (!user.empty() && EqualSid(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, sid))
      return true;
    const std::vector<std::uint8_t> groups = process_.Part(TokenGroups);
    if (groups.empty()) return false;
    const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
    for (DWORD index = 0; index < list->GroupCount; ++index) {
      const SID_AND_ATTRIBUTES& group = list->Groups[index];
      if ((group.Attributes & needed) == needed && EqualSid(group.Sid, sid)) return true;
    }
    return false;
  }
  bool IsOwnerOfToken(PSID sid) const { return HoldsSid(sid, SE_GROUP_OWNER); }

  ProcessToken process_;      // this process's own
  UniqueKernelHandle token_;  // a copy of it to impersonate, for AccessCheck
};

}  // namespace vw::testing
