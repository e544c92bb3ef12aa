#pragma once

// One owner type for every Win32 handle and resource the program holds, the small ones too.
#include <windows.h>

#include <memory>
#include <type_traits>

namespace vw {

template <auto Close>
struct HandleCloser {
  template <typename Handle>
  void operator()(Handle handle) const noexcept {
    Close(handle);
  }
};

template <typename Handle, auto Close>
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<Handle>, HandleCloser<Close>>;

using UniqueHkey = UniqueHandle<HKEY, &RegCloseKey>;
using UniqueKernelHandle = UniqueHandle<HANDLE, &CloseHandle>;  // a process, a token, a file
using UniqueFind = UniqueHandle<HANDLE, &FindClose>;            // never INVALID_HANDLE_VALUE
using UniqueFont = UniqueHandle<HFONT, &DeleteObject>;
using UniqueBrush = UniqueHandle<HBRUSH, &DeleteObject>;
using UniqueIcon = UniqueHandle<HICON, &DestroyIcon>;

// Memory the system hands out for LocalFree (ConvertSidToStringSidW, FormatMessageW, ...).
struct LocalFreer {
  void operator()(void* memory) const noexcept { LocalFree(memory); }
};
template <typename T>
using UniqueLocal = std::unique_ptr<T, LocalFreer>;

// FindFirstFileExW's handle, owned; empty where it failed (GetLastError says why).
inline UniqueFind FindFirst(const wchar_t* pattern, FINDEX_INFO_LEVELS level,
                            WIN32_FIND_DATAW& data, FINDEX_SEARCH_OPS search,
                            DWORD flags) noexcept {
  const HANDLE found = FindFirstFileExW(pattern, level, &data, search, nullptr, flags);
  return UniqueFind(found == INVALID_HANDLE_VALUE ? nullptr : found);
}

// A window's DC (the screen's for none), given back when this goes.
class WindowDc {
 public:
  explicit WindowDc(HWND window = nullptr) noexcept : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const noexcept { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A COM interface pointer, released when this goes.
struct ComReleaser {
  template <typename Interface>
  void operator()(Interface* object) const noexcept {
    object->Release();
  }
};
template <typename Interface>
using UniqueCom = std::unique_ptr<Interface, ComReleaser>;

// Memory a loaded function hands out for a loaded function to free (WTSFreeMemory, ...).
template <typename Free>
struct LoadedFreer {
  Free free = nullptr;
  void operator()(void* memory) const noexcept {
    if (free != nullptr) free(memory);
  }
};

// A GDI object selected into a DC, the one before it put back when this goes.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// The screen's DC with `font` selected, both given back when this goes.
class ScreenDc {
 public:
  explicit ScreenDc(HFONT font) noexcept : selected_(dc_.get(), font) {}
  HDC get() const noexcept { return dc_.get(); }

 private:
  WindowDc dc_;
  SelectedObject selected_;
};

// A DC's whole state (font, colours, background mode), put back when this goes.
class SavedDc {
 public:
  explicit SavedDc(HDC dc) noexcept : dc_(dc), saved_(SaveDC(dc)) {}
  ~SavedDc() {
    if (saved_ != 0) RestoreDC(dc_, saved_);
  }
  SavedDc(const SavedDc&) = delete;
  SavedDc& operator=(const SavedDc&) = delete;

 private:
  HDC dc_;
  int saved_;
};

// A window's redraw switched off, and on again (with a repaint) when this goes, even when what
// was done meanwhile threw.
class RedrawOff {
 public:
  explicit RedrawOff(HWND window) noexcept : window_(window) {
    SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
  }
  ~RedrawOff() {
    SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(window_, nullptr, TRUE);
  }
  RedrawOff(const RedrawOff&) = delete;
  RedrawOff& operator=(const RedrawOff&) = delete;

 private:
  HWND window_;
};

}  // namespace vw
