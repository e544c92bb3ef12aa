// Starts a program and measures the time from process creation until its window is shown and
// waiting for input (WaitForInputIdle), then reads its window, its peak working set, and closes it.
//   launch.exe PROGRAM TITLE REPETITIONS
// prints "start MIN MEDIAN", "listed COUNT" (the entry list's items) and "peak_ws BYTES".
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_common.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  const std::wstring program = argv[1];
  const std::wstring title = argv[2];
  const int repetitions = _wtoi(argv[3]);
  std::vector<double> samples;
  LRESULT listed = -1;
  SIZE_T peak = 0;
  for (int i = 0; i < repetitions; ++i) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring command = L"\"" + program + L"\"";
    const double start = bench::Now();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
      std::printf("error %lu starting the program\n", GetLastError());
      return 1;
    }
    WaitForInputIdle(process.hProcess, 60000);
    HWND window = nullptr;
    while ((window = FindWindowW(nullptr, title.c_str())) == nullptr || !IsWindowVisible(window))
      Sleep(0);
    samples.push_back(bench::Now() - start);

    listed = SendMessageW(GetDlgItem(window, 104), LB_GETCOUNT, 0, 0);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    if (K32GetProcessMemoryInfo(process.hProcess, &memory, sizeof(memory)))
      peak = memory.PeakWorkingSetSize;
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0)
      TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  bench::Report("start", samples);
  std::printf("listed %lld\npeak_ws %llu\n", static_cast<long long>(listed),
              static_cast<unsigned long long>(peak));
  return 0;
}
