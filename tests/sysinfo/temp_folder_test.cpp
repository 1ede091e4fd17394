#include <gtest/gtest.h>
#include <windows.h>

#include "support/test_support.h"
#include "sysinfo/temp_folder.h"

namespace {

using qrxtest::FileExists;
using qrxtest::ScopedEnv;
using qrxtest::TempDir;

TEST(TempFolder, NamesAreLowerCaseHexWithoutPrefix) {
  EXPECT_EQ(qrx::TempFolderName(0x1A2B), L"1a2b");
  EXPECT_EQ(qrx::TempFolderName(0), L"0");
  EXPECT_EQ(qrx::TempFolderName(0xFFFFFFFF), L"ffffffff");
}

TEST(TempFolder, TickNameAndIncrementOnCollision) {
  TempDir base;
  std::wstring first = base.path();
  ASSERT_TRUE(qrx::CreateUniqueTempFolderFrom(first, 0x1A2B));
  EXPECT_EQ(first, base.path() + L"1a2b\\");
  EXPECT_TRUE(FileExists(first));
  std::wstring second = base.path();
  ASSERT_TRUE(qrx::CreateUniqueTempFolderFrom(second, 0x1A2B));
  EXPECT_EQ(second, base.path() + L"1a2c\\");
  // A file of the candidate's name counts as taken, too.
  ASSERT_TRUE(qrxtest::WriteFileBytes(base.path() + L"1a2d", "x"));
  std::wstring third = base.path();
  ASSERT_TRUE(qrx::CreateUniqueTempFolderFrom(third, 0x1A2B));
  EXPECT_EQ(third, base.path() + L"1a2e\\");
}

TEST(TempFolder, MissingBaseFailsAndLeavesThePath) {
  TempDir base;
  std::wstring path = base.path() + L"missing\\";
  const std::wstring before = path;
  EXPECT_FALSE(qrx::CreateUniqueTempFolder(path));
  EXPECT_EQ(path, before);
}

TEST(TempFolder, GetTempFolderAddsTheBackslashAndPrefersTheLongForm) {
  TempDir base;
  std::wstring noSlash = base.path();
  noSlash.pop_back();
  ScopedEnv tmp(L"TMP", noSlash);
  std::wstring path = L"unchanged";
  ASSERT_TRUE(qrx::GetTempFolder(path));
  EXPECT_EQ(path, base.path());
}

TEST(TempFolder, TempPathOf258CharactersWorksAnd259Fails) {
  TempDir base;
  for (size_t length : {258u, 259u}) {
    std::wstring temp = base.path();
    temp.append(length - 1 - temp.size(), L'b');
    temp += L'\\';
    ASSERT_EQ(temp.size(), length);
    ScopedEnv tmp(L"TMP", temp);
    std::wstring path = L"unchanged";
    const bool ok = qrx::GetTempFolder(path);
    if (length == 258) {
      EXPECT_TRUE(ok);
      EXPECT_EQ(path, temp);
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(path, L"unchanged");
    }
  }
  EXPECT_TRUE(qrx::TempPathLengthFits(258));
  EXPECT_FALSE(qrx::TempPathLengthFits(259));
}

TEST(TempFolder, DeleteFolderTreeRemovesNestedContent) {
  TempDir base;
  const std::wstring root = base.path() + L"tree";
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((root + L"\\a").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((root + L"\\a\\b").c_str(), nullptr));
  ASSERT_TRUE(qrxtest::WriteFileBytes(root + L"\\top.txt", "1"));
  ASSERT_TRUE(qrxtest::WriteFileBytes(root + L"\\a\\b\\deep.txt", "2"));
  EXPECT_TRUE(qrx::DeleteFolderTree(root));
  EXPECT_FALSE(FileExists(root));
  // A trailing backslash is accepted as well.
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  EXPECT_TRUE(qrx::DeleteFolderTree(root + L"\\"));
  EXPECT_FALSE(FileExists(root));
}

TEST(TempFolder, DeleteFolderTreeReportsMissingAndBusyFolders) {
  TempDir base;
  EXPECT_FALSE(qrx::DeleteFolderTree(base.path() + L"nothing"));
  const std::wstring root = base.path() + L"busy";
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  const std::wstring locked = root + L"\\locked.txt";
  ASSERT_TRUE(qrxtest::WriteFileBytes(locked, "x"));
  ASSERT_TRUE(qrxtest::WriteFileBytes(root + L"\\free.txt", "y"));
  HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(qrx::DeleteFolderTree(root));
  EXPECT_TRUE(FileExists(locked));
  EXPECT_FALSE(FileExists(root + L"\\free.txt"));
  CloseHandle(hold);
  EXPECT_TRUE(qrx::DeleteFolderTree(root));
}

}  // namespace
