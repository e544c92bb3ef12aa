// The resources verbwright.exe carries: icon, version information and manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::wstring ProgramPath() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"verbwright.exe";
}

struct Module {
  HMODULE handle = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ~Module() {
    if (handle != nullptr) FreeLibrary(handle);
  }
  std::string Resource(LPCWSTR type, LPCWSTR name) const {
    const HRSRC found = FindResourceW(handle, name, type);
    if (found == nullptr) return {};
    const auto* data = static_cast<const char*>(LockResource(LoadResource(handle, found)));
    return std::string(data, SizeofResource(handle, found));
  }
};

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

TEST(Resources, TheIconHoldsTheSevenImages) {
  const Module program;
  ASSERT_NE(program.handle, nullptr);
  const std::string group = program.Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(1));
  ASSERT_GE(group.size(), 6u);
  const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
  ASSERT_EQ(count, 7);
  std::vector<std::pair<int, int>> images;
  for (WORD i = 0; i < count; ++i) {
    const auto* entry =
        reinterpret_cast<const GroupIconEntry*>(group.data() + 6 + i * sizeof(GroupIconEntry));
    images.emplace_back(entry->width, entry->bit_count);
  }
  EXPECT_EQ(images, (std::vector<std::pair<int, int>>{
                        {48, 8}, {32, 8}, {16, 8}, {48, 32}, {32, 32}, {24, 32}, {16, 32}}));
}

TEST(Resources, VersionIsOneAndItsStringsSayOnePointZeroZero) {
  const std::wstring path = ProgramPath();
  DWORD ignored = 0;
  std::vector<char> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  for (const wchar_t* key : {L"\\StringFileInfo\\040904B0\\FileVersion",
                             L"\\StringFileInfo\\040904B0\\ProductVersion"}) {
    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), key, reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(std::wstring(text), L"1.00");
  }
  DWORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  EXPECT_EQ(LOWORD(*translation), 0x0409);
}

TEST(Resources, TheManifestAsksForStylesDpiAwarenessAndAdministrator) {
  const Module program;
  const std::string manifest = program.Resource(RT_MANIFEST, MAKEINTRESOURCEW(1));
  for (const char* part :
       {"Microsoft.Windows.Common-Controls", "PerMonitorV2", "true/pm",
        "level=\"requireAdministrator\"", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
}

}  // namespace
