#pragma once

// The calls through which the registry layer reaches keys by handle, in one table: the system's
// own, or a bench that checks each one as Windows' object manager does before passing it on.
#include <windows.h>

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
  // An NTSTATUS as a Win32 error number (ERROR_SUCCESS for success).
  virtual LSTATUS ErrorOf(LONG status) = 0;

  // The system's own calls, looked up once.
  static KeyCalls& System();
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
