#pragma once

// One owner type for every Win32 handle the program holds.
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
using UniqueFind = UniqueHandle<HANDLE, &FindClose>;  // never holds INVALID_HANDLE_VALUE
using UniqueFont = UniqueHandle<HFONT, &DeleteObject>;
using UniqueBrush = UniqueHandle<HBRUSH, &DeleteObject>;
using UniqueModule = UniqueHandle<HMODULE, &FreeLibrary>;
using UniqueIcon = UniqueHandle<HICON, &DestroyIcon>;

}  // namespace vw
