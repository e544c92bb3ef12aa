// Opening a folder in the file list, against a bare FindFirstFileExW loop over the same folder.
//   folder_bench.exe FOLDER REPS   prints "file_list MIN MEDIAN", "find_loop MIN MEDIAN", "shown N"
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/picker_lists_win.h"
#include "bench/bench_common.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const std::wstring folder = argv[1];
  const int repetitions = _wtoi(argv[2]);
  const HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                                    WS_POPUP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 0,
                                    105, 145, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  std::vector<double> ours;
  std::vector<double> bare;
  for (int r = 0; r < repetitions; ++r) {
    double start = bench::Now();
    vw::SetFileListPath(list, folder);
    ours.push_back(bench::Now() - start);

    start = bench::Now();
    WIN32_FIND_DATAW data;
    const std::wstring pattern = folder + L"\\*";
    const HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    int files = 0;
    if (find != INVALID_HANDLE_VALUE) {
      do {
        ++files;
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
    bare.push_back(bench::Now() - start);
    if (files == 0) return 1;
  }
  bench::Report("file_list", ours);
  bench::Report("find_loop", bare);
  std::printf("shown %lld\n", static_cast<long long>(SendMessageW(list, LB_GETCOUNT, 0, 0)));
  DestroyWindow(list);
  return 0;
}
