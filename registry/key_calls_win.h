#pragma once

// Every call through which the registry layer reaches a key, in one table: the system's own, or a
// bench that decides each one as Windows' access check would before passing it on. Keys opened
// through the table are closed through it (KeyHandle), so that the bench knows every live handle.
#include <windows.h>

#include <utility>

#include "platform/system_calls_win.h"

namespace vw {

class KeyCalls {
 public:
  virtual ~KeyCalls() = default;

  // RegOpenKeyExW and RegCreateKeyExW, for the first name under a predefined root.
  virtual LSTATUS OpenRoot(HKEY root, const wchar_t* name, DWORD options, REGSAM access,
                           HKEY* key) = 0;
  virtual LSTATUS CreateRoot(HKEY root, const wchar_t* name, const wchar_t* key_class,
                             REGSAM access, HKEY* key) = 0;
  // ntdll's calls, which take names counted; NTSTATUS results.
  virtual LONG OpenKey(HANDLE* key, ACCESS_MASK access, calls::ObjectAttributes* attributes) = 0;
  virtual LONG CreateKey(HANDLE* key, ACCESS_MASK access, calls::ObjectAttributes* attributes,
                         calls::UnicodeString* key_class, ULONG options) = 0;
  virtual LONG DeleteKey(HANDLE key) = 0;
  virtual LONG QueryKey(HANDLE key, int info_class, void* info, ULONG size, ULONG* written) = 0;
  virtual LONG SetValue(HANDLE key, calls::UnicodeString* name, ULONG type, void* data,
                        ULONG size) = 0;
  virtual LONG DeleteValue(HANDLE key, calls::UnicodeString* name) = 0;
  // RegSetKeySecurity: the descriptor stored as given, nothing recomputed or passed down.
  virtual LSTATUS SetKeySecurity(HKEY key, SECURITY_INFORMATION parts,
                                 PSECURITY_DESCRIPTOR descriptor) = 0;
  // The Win32 reads, as their SDK declarations take them (unused arguments left out).
  virtual LSTATUS GetKeySecurity(HKEY key, SECURITY_INFORMATION parts,
                                 PSECURITY_DESCRIPTOR descriptor, DWORD* size) = 0;
  virtual LSTATUS QueryValue(HKEY key, const wchar_t* name, DWORD* type, BYTE* data,
                             DWORD* size) = 0;
  virtual LSTATUS EnumKey(HKEY key, DWORD index, wchar_t* name, DWORD* length) = 0;
  virtual LSTATUS EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* name_length, DWORD* type,
                            BYTE* data, DWORD* data_size) = 0;
  virtual LSTATUS QueryInfoKey(HKEY key, wchar_t* key_class, DWORD* class_length, DWORD* subkeys,
                               DWORD* longest_subkey, DWORD* values, DWORD* longest_value_name,
                               DWORD* largest_data) = 0;
  virtual void CloseKey(HKEY key) = 0;
  // An NTSTATUS as a Win32 error number (ERROR_SUCCESS for success).
  virtual LSTATUS ErrorOf(LONG status) = 0;

  // The system's own calls, looked up once.
  static KeyCalls& System();
};

// A key opened through a KeyCalls table, closed through it when this goes.
class KeyHandle {
 public:
  KeyHandle() noexcept = default;
  KeyHandle(KeyCalls& calls, HKEY key) noexcept : calls_(&calls), key_(key) {}
  KeyHandle(KeyHandle&& other) noexcept
      : calls_(other.calls_), key_(std::exchange(other.key_, nullptr)) {}
  KeyHandle& operator=(KeyHandle&& other) noexcept {
    if (this != &other) {
      reset();
      calls_ = other.calls_;
      key_ = std::exchange(other.key_, nullptr);
    }
    return *this;
  }
  ~KeyHandle() { reset(); }
  HKEY get() const noexcept { return key_; }
  explicit operator bool() const noexcept { return key_ != nullptr; }
  void reset() noexcept {
    if (key_ != nullptr) calls_->CloseKey(std::exchange(key_, nullptr));
  }

 private:
  KeyCalls* calls_ = nullptr;
  HKEY key_ = nullptr;
};

// NtQueryKey's information classes and NTSTATUS values that the registry layer names.
namespace key_info {
inline constexpr int kBasic = 0;  // KeyBasicInformation
inline constexpr int kFlags = 5;  // KeyFlagsInformation
}  // namespace key_info
inline constexpr ULONG kKeyFlagVolatile = 0x1;  // REG_FLAG_VOLATILE
inline constexpr ULONG kKeyFlagLink = 0x2;      // REG_FLAG_LINK
inline constexpr LONG kStatusAccessDenied = static_cast<LONG>(0xC0000022L);

}  // namespace vw
