#include <gtest/gtest.h>
#include <windows.h>

#include "common/no_links.h"
#include "support/test_support.h"

namespace {

using qrxtest::FileExists;
using qrxtest::TempDir;

TEST(NoLinks, UnixLinkToAFolderIsALinkAlsoWithATrailingBackslash) {
  TempDir outside;
  TempDir base;
  const std::wstring link = base.Join(L"link");
  ASSERT_TRUE(qrxtest::MakeUnixLink(link, outside.path()));
  EXPECT_TRUE(qrx::IsLinkPath(link));
  EXPECT_TRUE(qrx::IsLinkPath(link + L"\\"));
  EXPECT_FALSE(qrx::IsLinkPath(outside.path()));
  EXPECT_FALSE(qrx::IsLinkPath(base.Join(L"missing")));
}

TEST(NoLinks, PathBelowIsLinkFreeLooksAtEveryComponentAndTheTop) {
  TempDir outside;
  TempDir base;
  const std::wstring top = base.Join(L"top");
  ASSERT_TRUE(CreateDirectoryW(top.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((top + L"\\a").c_str(), nullptr));
  ASSERT_TRUE(qrxtest::MakeUnixLink(top + L"\\a\\link", outside.path()));
  struct Case {
    std::wstring path;
    bool linkFree;
  } cases[] = {
      {top, true},
      {top + L"\\", true},
      {top + L"\\a", true},
      {top + L"\\a\\file.txt", true},
      {top + L"\\A\\missing\\deeper\\file.txt", true},
      {top + L"\\a\\link", false},
      {top + L"\\a\\link\\file.txt", false},
      {top + L"\\a\\LINK\\x\\y", false},
      {base.Join(L"elsewhere\\file.txt"), false},
      {top + L"x\\file.txt", false},
  };
  for (const Case& c : cases) EXPECT_EQ(qrx::PathBelowIsLinkFree(top, c.path), c.linkFree) << qrxtest::Narrow(c.path);
  const std::wstring linkTop = base.Join(L"linktop");
  ASSERT_TRUE(qrxtest::MakeUnixLink(linkTop, outside.path()));
  EXPECT_FALSE(qrx::PathBelowIsLinkFree(linkTop, linkTop + L"\\file.txt"));
}

TEST(NoLinks, CreateFoldersBelowMakesMissingFoldersAndStopsAtLinksAndFiles) {
  TempDir outside;
  TempDir base;
  const std::wstring top = base.Join(L"top");
  ASSERT_TRUE(CreateDirectoryW(top.c_str(), nullptr));
  EXPECT_TRUE(qrx::CreateFoldersBelow(top, top + L"\\a\\b\\c"));
  EXPECT_TRUE(FileExists(top + L"\\a\\b\\c"));
  EXPECT_TRUE(qrx::CreateFoldersBelow(top, top + L"\\a\\b\\c\\"));
  EXPECT_TRUE(qrx::CreateFoldersBelow(top, top));

  ASSERT_TRUE(qrxtest::MakeUnixLink(top + L"\\link", outside.path()));
  EXPECT_FALSE(qrx::CreateFoldersBelow(top, top + L"\\link\\inside"));
  EXPECT_TRUE(qrxtest::FolderIsEmpty(outside.path()));

  ASSERT_TRUE(qrxtest::WriteFileBytes(top + L"\\file", "x"));
  EXPECT_FALSE(qrx::CreateFoldersBelow(top, top + L"\\file\\inside"));
  EXPECT_FALSE(qrx::CreateFoldersBelow(top + L"\\missing", top + L"\\missing\\x"));
  EXPECT_FALSE(qrx::CreateFoldersBelow(top, base.Join(L"elsewhere")));

  // A junction, through the seam: nothing is made below it.
  ASSERT_TRUE(CreateDirectoryW((top + L"\\junction").c_str(), nullptr));
  qrxtest::ScopedFakeLinks links({top + L"\\junction"});
  EXPECT_FALSE(qrx::CreateFoldersBelow(top, top + L"\\junction\\inside"));
  EXPECT_FALSE(FileExists(top + L"\\junction\\inside"));
}

}  // namespace
