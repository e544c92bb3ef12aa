#pragma once

// Timing and printing shared by the benchmark programs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

// A window procedure that ends the program when its window goes, as the floors' windows need.
inline LRESULT CALLBACK QuitOnDestroyProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// Registers a floor's window class under `name`, with that procedure and the dialog colour.
inline void RegisterFloorClass(HINSTANCE instance, const wchar_t* name) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = QuitOnDestroyProc;
  window_class.hInstance = instance;
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = name;
  RegisterClassW(&window_class);
}

inline double Now() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// "label min median" in milliseconds, one line, for the bench script to read.
inline void Report(const char* label, std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const double median = samples[samples.size() / 2];
  std::printf("%s %.3f %.3f\n", label, samples.front(), median);
  std::fflush(stdout);
}

}  // namespace bench
