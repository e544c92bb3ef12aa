// Starts programs and measures the time from process creation until each one's window is shown
// and waiting for input (WaitForInputIdle), then reads its window, its peak working set, and
// closes it.
//   launch.exe REPETITIONS LABEL PROGRAM TITLE [LABEL PROGRAM TITLE]...
// The programs take turns within each repetition, so a machine whose speed drifts during the run
// slows them alike. For each LABEL it prints "LABEL MIN MEDIAN", "LABEL_listed COUNT" (the items
// of the list box with id 104, the entry list) and "LABEL_peak_ws BYTES".
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_common.h"

namespace {

struct Program {
  std::string label;
  std::wstring path, title;
  std::vector<double> samples;
  LRESULT listed = -1;
  SIZE_T peak = 0;
};

// After a window closes, the desktop repaints where it was; a start-up that overlaps that pays
// for the previous run. Let it settle first. The pause varies at random around this, so that
// a disturbance of the machine that recurs at a fixed period does not fall on the same program
// in every round.
DWORD SettleMilliseconds() {
  wchar_t value[16] = {};
  const DWORD length = GetEnvironmentVariableW(L"BENCH_SETTLE_MS", value, 16);
  if (length == 0 || length >= 16) return 500;  // not set, or not a number of milliseconds
  return static_cast<DWORD>(std::wcstoul(value, nullptr, 10));
}

bool LaunchOnce(Program& program) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring command = L"\"" + program.path + L"\"";
  const double start = bench::Now();
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::printf("error %lu starting %ls\n", GetLastError(), program.path.c_str());
    return false;
  }
  WaitForInputIdle(process.hProcess, 60000);
  HWND window = nullptr;
  while ((window = FindWindowW(nullptr, program.title.c_str())) == nullptr ||
         !IsWindowVisible(window))
    Sleep(0);
  program.samples.push_back(bench::Now() - start);

  program.listed = SendMessageW(GetDlgItem(window, 104), LB_GETCOUNT, 0, 0);
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  if (K32GetProcessMemoryInfo(process.hProcess, &memory, sizeof(memory)))
    program.peak = memory.PeakWorkingSetSize;
  PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0)
    TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 5 || (argc - 2) % 3 != 0) return 2;
  const int repetitions = _wtoi(argv[1]);
  std::vector<Program> programs;
  for (int i = 2; i + 2 < argc; i += 3) {
    Program program;
    for (const wchar_t* c = argv[i]; *c != L'\0'; ++c) program.label += static_cast<char>(*c);
    program.path = argv[i + 1];
    program.title = argv[i + 2];
    programs.push_back(std::move(program));
  }
  const DWORD settle = SettleMilliseconds();
  std::mt19937 random(20261207);
  std::uniform_int_distribution<DWORD> pause(settle / 2, settle + settle / 2);
  for (int i = 0; i < repetitions; ++i) {
    for (Program& program : programs) {
      Sleep(pause(random));
      if (!LaunchOnce(program)) return 1;
    }
  }
  for (const Program& program : programs) {
    bench::Report(program.label.c_str(), program.samples);
    std::printf("%s_listed %lld\n%s_peak_ws %llu\n", program.label.c_str(),
                static_cast<long long>(program.listed), program.label.c_str(),
                static_cast<unsigned long long>(program.peak));
  }
  return 0;
}
