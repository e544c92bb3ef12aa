// Seeds the verb root with N verbs, and times a bare RegEnumKeyExW loop over it.
//   verbs_bench.exe seed N      replaces every bench verb with N new ones (each with a command)
//   verbs_bench.exe enum REPS   prints "enum MIN MEDIAN" and "count N"
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/bench_common.h"

namespace {

constexpr wchar_t kRoot[] = L"exefile\\shell";
constexpr wchar_t kPrefix[] = L"bench-verb-";

int Seed(int count) {
  HKEY root = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root,
                      nullptr) != 0)
    return 1;
  // Drop earlier bench verbs (from the end, so indexes stay valid).
  DWORD subkeys = 0;
  RegQueryInfoKeyW(root, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, nullptr);
  for (DWORD index = subkeys; index-- > 0;) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(root, index, name, &length, nullptr, nullptr, nullptr, nullptr) != 0)
      continue;
    if (wcsncmp(name, kPrefix, wcslen(kPrefix)) == 0) RegDeleteTreeW(root, name);
  }
  for (int i = 0; i < count; ++i) {
    wchar_t name[64];
    swprintf(name, 64, L"%ls%06d\\command", kPrefix, i);
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, name, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != 0)
      return 1;
    const wchar_t command[] = L"\"C:\\bench\\tool.exe\" \"%1\"";
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                   sizeof(command));
    RegCloseKey(key);
  }
  RegCloseKey(root);
  return 0;
}

int Enumerate(int repetitions) {
  std::vector<double> samples;
  DWORD count = 0;
  for (int r = 0; r < repetitions; ++r) {
    const double start = bench::Now();
    HKEY root = nullptr;
    RegOpenKeyExW(HKEY_CLASSES_ROOT, kRoot, 0, KEY_ENUMERATE_SUB_KEYS, &root);
    std::vector<std::wstring> names;
    wchar_t name[256];
    count = 0;
    for (DWORD index = 0;; ++index) {
      DWORD length = 256;
      if (RegEnumKeyExW(root, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      names.emplace_back(name, length);
      ++count;
    }
    RegCloseKey(root);
    samples.push_back(bench::Now() - start);
  }
  bench::Report("enum", samples);
  std::printf("count %lu\n", count);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const std::wstring command = argv[1];
  if (command == L"seed") return Seed(_wtoi(argv[2]));
  if (command == L"enum") return Enumerate(_wtoi(argv[2]));
  return 2;
}
