#include "registry/key_calls_win.h"

namespace vw {
namespace {

// ntdll is not part of the Win32 API: its calls are looked up at run time, in the table. Without
// one, a call answers that it is not implemented.
class SystemKeyCalls final : public KeyCalls {
 public:
  LSTATUS OpenRoot(HKEY root, const wchar_t* name, DWORD options, REGSAM access,
                   HKEY* key) override {
    return RegOpenKeyExW(root, name, options, access, key);
  }
  LSTATUS CreateRoot(HKEY root, const wchar_t* name, const wchar_t* key_class, REGSAM access,
                     HKEY* key) override {
    return RegCreateKeyExW(root, name, 0, const_cast<wchar_t*>(key_class), REG_OPTION_NON_VOLATILE,
                           access, nullptr, key, nullptr);
  }
  LONG OpenKey(HANDLE* key, ACCESS_MASK access, calls::ObjectAttributes* attributes) override {
    const auto open = calls::Get<calls::kNtOpenKey>();
    return open == nullptr ? kNotImplemented : open(key, access, attributes);
  }
  LONG CreateKey(HANDLE* key, ACCESS_MASK access, calls::ObjectAttributes* attributes,
                 calls::UnicodeString* key_class, ULONG options) override {
    const auto create = calls::Get<calls::kNtCreateKey>();
    ULONG disposition = 0;
    return create == nullptr ? kNotImplemented
                             : create(key, access, attributes, 0, key_class, options, &disposition);
  }
  LONG DeleteKey(HANDLE key) override {
    const auto delete_key = calls::Get<calls::kNtDeleteKey>();
    return delete_key == nullptr ? kNotImplemented : delete_key(key);
  }
  LONG QueryKey(HANDLE key, int info_class, void* info, ULONG size, ULONG* written) override {
    const auto query = calls::Get<calls::kNtQueryKey>();
    return query == nullptr ? kNotImplemented : query(key, info_class, info, size, written);
  }
  LONG SetValue(HANDLE key, calls::UnicodeString* name, ULONG type, void* data,
                ULONG size) override {
    const auto set = calls::Get<calls::kNtSetValueKey>();
    return set == nullptr ? kNotImplemented : set(key, name, 0, type, data, size);
  }
  LONG DeleteValue(HANDLE key, calls::UnicodeString* name) override {
    const auto delete_value = calls::Get<calls::kNtDeleteValueKey>();
    return delete_value == nullptr ? kNotImplemented : delete_value(key, name);
  }
  LSTATUS SetKeySecurity(HKEY key, SECURITY_INFORMATION parts,
                         PSECURITY_DESCRIPTOR descriptor) override {
    return RegSetKeySecurity(key, parts, descriptor);
  }
  LSTATUS GetKeySecurity(HKEY key, SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor,
                         DWORD* size) override {
    return RegGetKeySecurity(key, parts, descriptor, size);
  }
  LSTATUS QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) override {
    return RegQueryValueExW(key, name, nullptr, type, data, size);
  }
  LSTATUS EnumKey(HKEY key, DWORD index, wchar_t* name, DWORD* length) override {
    return RegEnumKeyExW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
  }
  LSTATUS EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* name_length, DWORD* type,
                    BYTE* data, DWORD* data_size) override {
    return RegEnumValueW(key, index, name, name_length, nullptr, type, data, data_size);
  }
  LSTATUS QueryInfoKey(HKEY key, wchar_t* key_class, DWORD* class_length, DWORD* subkeys,
                       DWORD* longest_subkey, DWORD* values, DWORD* longest_value_name,
                       DWORD* largest_data) override {
    return RegQueryInfoKeyW(key, key_class, class_length, nullptr, subkeys, longest_subkey, nullptr,
                            values, longest_value_name, largest_data, nullptr, nullptr);
  }
  void CloseKey(HKEY key) override { RegCloseKey(key); }
  LSTATUS ErrorOf(LONG status) override {
    if (status >= 0) return ERROR_SUCCESS;
    if (status == kNotImplemented) return ERROR_CALL_NOT_IMPLEMENTED;
    const auto to_error = calls::Get<calls::kRtlNtStatusToDosError>();
    return to_error == nullptr ? ERROR_GEN_FAILURE : static_cast<LSTATUS>(to_error(status));
  }

 private:
  static constexpr LONG kNotImplemented = static_cast<LONG>(0xC0000002L);  // STATUS_NOT_IMPLEMENTED
};

}  // namespace

KeyCalls& KeyCalls::System() {
  // Looked up once and never changed after: the table is constant in all but name.
  static SystemKeyCalls calls;
  return calls;
}

}  // namespace vw
