// The shell folder lookup through LoadLibraryA, with its test faults.
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/testing.h"
#include "platform/windows.h"

namespace {

class ShellFolderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    KavTestSetShellFault(KAV_SHELL_OK);
    unsetenv("KAV_PROGRAM_FILES");
  }
  static HRESULT Lookup(char* path) {
    HMODULE module = LoadLibraryA("SHFOLDER.DLL");
    if (module == nullptr) return -1;
    auto function = reinterpret_cast<PFNSHGETFOLDERPATHA>(GetProcAddress(module, "SHGetFolderPathA"));
    HRESULT result = function != nullptr ? function(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, path) : -2;
    FreeLibrary(module);
    return result;
  }
};

TEST_F(ShellFolderTest, ProgramFilesComesFromTheEnvironmentOrOpt) {
  char path[MAX_PATH];
  unsetenv("KAV_PROGRAM_FILES");
  ASSERT_EQ(Lookup(path), S_OK);
  EXPECT_STREQ(path, "/opt");
  setenv("KAV_PROGRAM_FILES", "/tmp/pf", 1);
  ASSERT_EQ(Lookup(path), S_OK);
  EXPECT_STREQ(path, "/tmp/pf");
  setenv("KAV_PROGRAM_FILES", std::string(MAX_PATH, 'x').c_str(), 1);
  EXPECT_EQ(Lookup(path), E_FAIL) << "a folder that does not fit is refused";
  EXPECT_EQ(SHGetFolderPathA(nullptr, 5, nullptr, 0, path), E_INVALIDARG);
}

TEST_F(ShellFolderTest, EachFaultFailsItsStep) {
  char path[MAX_PATH];
  KavTestSetShellFault(KAV_SHELL_LOAD_FAILS);
  EXPECT_EQ(Lookup(path), -1);
  KavTestSetShellFault(KAV_SHELL_PROC_MISSING);
  EXPECT_EQ(Lookup(path), -2);
  KavTestSetShellFault(KAV_SHELL_LOOKUP_FAILS);
  EXPECT_EQ(Lookup(path), E_FAIL);
}

TEST_F(ShellFolderTest, OtherLibrariesGoThroughTheLoader) {
  EXPECT_EQ(LoadLibraryA("no-such-library.so"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  HMODULE libc = LoadLibraryA("libc.so.6");
  ASSERT_NE(libc, nullptr);
  EXPECT_NE(GetProcAddress(libc, "strlen"), nullptr);
  EXPECT_EQ(GetProcAddress(libc, "no_such_function_here"), nullptr);
  EXPECT_TRUE(FreeLibrary(libc));
  EXPECT_FALSE(FreeLibrary(libc));
}

TEST(ClockTest, FixedClockGivesLocalAndUtcForms) {
  setenv("TZ", "UTC-2", 1);  // two hours east of UTC
  tzset();
  KavTestSetClock(1709820309);  // 2024-03-07 14:05:09 UTC
  SYSTEMTIME utc{}, local{};
  GetSystemTime(&utc);
  GetLocalTime(&local);
  KavTestSetClock(-1);
  EXPECT_EQ(utc.wYear, 2024);
  EXPECT_EQ(utc.wMonth, 3);
  EXPECT_EQ(utc.wDay, 7);
  EXPECT_EQ(utc.wHour, 14);
  EXPECT_EQ(utc.wMinute, 5);
  EXPECT_EQ(utc.wSecond, 9);
  EXPECT_EQ(local.wHour, 16);
  unsetenv("TZ");
  tzset();
}

}  // namespace
