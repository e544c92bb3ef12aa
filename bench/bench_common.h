#pragma once

// Timing and printing shared by the benchmark programs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

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
