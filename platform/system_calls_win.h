#pragma once

// Every function the program looks up at run time, in one table: those newer than the oldest
// Windows it runs on, those of DLLs loaded only when needed (so that start-up does not load them),
// and ntdll's registry calls, which no import library offers. Each is typed as its SDK declaration
// (decltype) where the headers declare it for Windows 7; the others as Microsoft documents them.
#include <windows.h>

#include <objbase.h>
#include <oleacc.h>
#include <oleauto.h>
#include <shlobj.h>
#include <wtsapi32.h>

namespace vw::calls {

// kernel32: Windows 8, and Windows 7 with KB2533623.
using SetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);

// user32: Windows 10.
using GetDpiForWindow = UINT(WINAPI*)(HWND);
using GetDpiForSystem = UINT(WINAPI*)();
using AdjustWindowRectExForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpi = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
using GetSystemMetricsForDpi = int(WINAPI*)(int, UINT);

// shell32, oleacc, oleaut32, ole32 and wtsapi32, loaded when first needed.
using SHChangeNotify = decltype(&::SHChangeNotify);
using CreateStdAccessibleObject = decltype(&::CreateStdAccessibleObject);
using LresultFromObject = decltype(&::LresultFromObject);
using SysAllocString = decltype(&::SysAllocString);
using CoInitializeEx = decltype(&::CoInitializeEx);
using CoUninitialize = decltype(&::CoUninitialize);
using CoCreateInstance = decltype(&::CoCreateInstance);
using WTSQuerySessionInformationW = decltype(&::WTSQuerySessionInformationW);
using WTSFreeMemory = decltype(&::WTSFreeMemory);

// ntdll: the registry by counted names.
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
using NtOpenKey = LONG(NTAPI*)(HANDLE*, ACCESS_MASK, ObjectAttributes*);
using NtCreateKey = LONG(NTAPI*)(HANDLE*, ACCESS_MASK, ObjectAttributes*, ULONG, UnicodeString*,
                                 ULONG, ULONG*);
using NtDeleteKey = LONG(NTAPI*)(HANDLE);
using NtQueryKey = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
using NtSetValueKey = LONG(NTAPI*)(HANDLE, UnicodeString*, ULONG, ULONG, void*, ULONG);
using NtDeleteValueKey = LONG(NTAPI*)(HANDLE, UnicodeString*);
using RtlNtStatusToDosError = ULONG(NTAPI*)(LONG);

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

}  // namespace vw::calls
