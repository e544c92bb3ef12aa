#pragma once

// Every function the program looks up at run time, in one table: those newer than the oldest
// Windows it runs on, those of DLLs loaded only when needed (so that start-up does not load them),
// and ntdll's registry calls, which no import library offers. Each is typed as its SDK declaration
// (decltype) where the headers declare it for Windows 7; the others as Microsoft documents them.
// Each names its DLL and export once, here, and its pointer is kept in one place (Get).
#include <windows.h>

#include <objbase.h>
#include <oleacc.h>
#include <oleauto.h>
#include <shlobj.h>
#include <wtsapi32.h>

#include <type_traits>

namespace vw::calls {

// A function of the table: the DLL it lives in, its export name, and its type.
template <typename Signature>
struct Entry {
  using Type = Signature;
  const wchar_t* dll;
  const char* name;
};

// ntdll's registry calls take names counted.
struct UnicodeString {  // UNICODE_STRING
  USHORT length;        // bytes
  USHORT maximum_length;
  PWSTR buffer;
};
struct ObjectAttributes {  // OBJECT_ATTRIBUTES
  ULONG length;
  HANDLE root_directory;
  UnicodeString* object_name;
  ULONG attributes;
  void* security_descriptor;
  void* security_quality_of_service;
};

// The table, each function once.
// kernel32: Windows 8, and Windows 7 with KB2533623.
inline constexpr Entry<BOOL(WINAPI*)(DWORD)> kSetDefaultDllDirectories{L"kernel32.dll",
                                                                       "SetDefaultDllDirectories"};
// user32: Windows 10.
inline constexpr Entry<UINT(WINAPI*)(HWND)> kGetDpiForWindow{L"user32.dll", "GetDpiForWindow"};
inline constexpr Entry<UINT(WINAPI*)()> kGetDpiForSystem{L"user32.dll", "GetDpiForSystem"};
inline constexpr Entry<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)> kAdjustWindowRectExForDpi{
    L"user32.dll", "AdjustWindowRectExForDpi"};
inline constexpr Entry<BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT)> kSystemParametersInfoForDpi{
    L"user32.dll", "SystemParametersInfoForDpi"};
inline constexpr Entry<int(WINAPI*)(int, UINT)> kGetSystemMetricsForDpi{L"user32.dll",
                                                                        "GetSystemMetricsForDpi"};
// shell32, oleacc, oleaut32, ole32 and wtsapi32, loaded when first needed.
inline constexpr Entry<decltype(&::SHChangeNotify)> kSHChangeNotify{L"shell32.dll",
                                                                    "SHChangeNotify"};
inline constexpr Entry<decltype(&::CreateStdAccessibleObject)> kCreateStdAccessibleObject{
    L"oleacc.dll", "CreateStdAccessibleObject"};
inline constexpr Entry<decltype(&::LresultFromObject)> kLresultFromObject{L"oleacc.dll",
                                                                          "LresultFromObject"};
inline constexpr Entry<decltype(&::SysAllocString)> kSysAllocString{L"oleaut32.dll",
                                                                    "SysAllocString"};
inline constexpr Entry<decltype(&::CoInitializeEx)> kCoInitializeEx{L"ole32.dll", "CoInitializeEx"};
inline constexpr Entry<decltype(&::CoUninitialize)> kCoUninitialize{L"ole32.dll", "CoUninitialize"};
inline constexpr Entry<decltype(&::CoCreateInstance)> kCoCreateInstance{L"ole32.dll",
                                                                        "CoCreateInstance"};
inline constexpr Entry<decltype(&::WTSQuerySessionInformationW)> kWTSQuerySessionInformationW{
    L"wtsapi32.dll", "WTSQuerySessionInformationW"};
inline constexpr Entry<decltype(&::WTSFreeMemory)> kWTSFreeMemory{L"wtsapi32.dll", "WTSFreeMemory"};
// ntdll: the registry by counted names; NTSTATUS results.
inline constexpr Entry<LONG(NTAPI*)(HANDLE*, ACCESS_MASK, ObjectAttributes*)> kNtOpenKey{
    L"ntdll.dll", "NtOpenKey"};
inline constexpr Entry<LONG(NTAPI*)(HANDLE*, ACCESS_MASK, ObjectAttributes*, ULONG, UnicodeString*,
                                    ULONG, ULONG*)>
    kNtCreateKey{L"ntdll.dll", "NtCreateKey"};
inline constexpr Entry<LONG(NTAPI*)(HANDLE)> kNtDeleteKey{L"ntdll.dll", "NtDeleteKey"};
inline constexpr Entry<LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*)> kNtQueryKey{L"ntdll.dll",
                                                                                    "NtQueryKey"};
inline constexpr Entry<LONG(NTAPI*)(HANDLE, UnicodeString*, ULONG, ULONG, void*, ULONG)>
    kNtSetValueKey{L"ntdll.dll", "NtSetValueKey"};
inline constexpr Entry<LONG(NTAPI*)(HANDLE, UnicodeString*)> kNtDeleteValueKey{L"ntdll.dll",
                                                                               "NtDeleteValueKey"};
inline constexpr Entry<ULONG(NTAPI*)(LONG)> kRtlNtStatusToDosError{L"ntdll.dll",
                                                                   "RtlNtStatusToDosError"};

// `name` in `module`, as `Function`: the one cast of GetProcAddress's answer. Null where the
// module or the function is not there.
template <typename Function>
Function Find(HMODULE module, const char* name) noexcept {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// `name` in the system DLL `module`, as `Function`: the one loader of the table. A DLL not yet in
// the process is loaded from System32 alone, never from beside the exe, and stays loaded for the
// rest of the process, as what it hands out (objects, memory) may outlive any one call. Null
// where the DLL or the function is not there.
template <typename Function>
Function Load(const wchar_t* module, const char* name) noexcept {
  HMODULE handle = GetModuleHandleW(module);
  if (handle == nullptr) handle = LoadLibraryExW(module, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return Find<Function>(handle, name);
}

// The function of the table `kEntry` names, looked up the first time it is asked for: the one
// place its pointer is kept, never changed after. Null where the DLL or the function is not there.
template <const auto& kEntry>
auto Get() noexcept {
  using Type = typename std::remove_cvref_t<decltype(kEntry)>::Type;
  static const Type function = Load<Type>(kEntry.dll, kEntry.name);
  return function;
}

}  // namespace vw::calls
