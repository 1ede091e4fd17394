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

TEST(NoLinks, OpenLinkFreeFileOpensOnlyAPlainFileWithOneNameAtThePathAsked) {
  TempDir top;
  TempDir outside;
  ASSERT_TRUE(qrxtest::WriteFileBytes(outside.Join(L"victim.txt"), "victim"));
  ASSERT_TRUE(CreateDirectoryW(top.Join(L"sub").c_str(), nullptr));
  ASSERT_TRUE(qrxtest::WriteFileBytes(top.Join(L"sub\\plain.txt"), "plain"));
  ASSERT_TRUE(qrxtest::WriteFileBytes(top.Join(L"seam.txt"), "seam"));
  ASSERT_TRUE(CreateHardLinkW(top.Join(L"hard.txt").c_str(), outside.Join(L"victim.txt").c_str(), nullptr));
  ASSERT_TRUE(qrxtest::MakeUnixLink(top.Join(L"linked"), outside.path()));
  qrxtest::ScopedFakeLinks fake({top.Join(L"seam.txt")});
  using qrx::LinkCheck;
  struct Case {
    std::wstring top;
    std::wstring path;
    LinkCheck check;
  } cases[] = {
      {top.path(), top.Join(L"sub\\plain.txt"), LinkCheck::kPlain},
      {top.path(), top.Join(L"sub\\missing.txt"), LinkCheck::kMissing},
      {top.path(), top.Join(L"hard.txt"), LinkCheck::kHardLink},
      {top.path(), top.Join(L"seam.txt"), LinkCheck::kLink},
      {top.path(), top.Join(L"linked\\victim.txt"), LinkCheck::kLink},
      {top.path(), top.Join(L"linked\\missing.txt"), LinkCheck::kLink},
      {top.Join(L"linked\\"), top.Join(L"linked\\victim.txt"), LinkCheck::kLink},
      {top.path(), top.Join(L"sub"), LinkCheck::kMissing},  // a folder: not openable as a file
      {top.path(), outside.Join(L"victim.txt"), LinkCheck::kMoved},
      {top.path(), top.path(), LinkCheck::kMoved},
  };
  for (const Case& c : cases) {
    qrx::UniqueFile file;
    EXPECT_EQ(qrx::OpenLinkFreeFile(c.top, c.path, GENERIC_READ, FILE_SHARE_READ, file), c.check)
        << qrxtest::Narrow(c.path);
    EXPECT_EQ(file.valid(), c.check == LinkCheck::kPlain) << qrxtest::Narrow(c.path);
  }
  EXPECT_EQ(qrxtest::ReadFileBytes(outside.Join(L"victim.txt")), "victim");
  // The texts of the refusal lines.
  EXPECT_STREQ(qrx::LinkCheckText(LinkCheck::kLink), L"a link or below one");
  EXPECT_STREQ(qrx::LinkCheckText(LinkCheck::kHardLink), L"a hard link");
  EXPECT_STREQ(qrx::LinkCheckText(LinkCheck::kMoved), L"at another place");
  EXPECT_STREQ(qrx::LinkCheckText(LinkCheck::kMissing), L"missing");
  EXPECT_STREQ(qrx::LinkCheckText(LinkCheck::kPlain), L"a plain file");
}

TEST(NoLinks, DeleteByHandleRemovesTheOpenFileOnly) {
  TempDir top;
  ASSERT_TRUE(qrxtest::WriteFileBytes(top.Join(L"a.txt"), "a"));
  {
    qrx::UniqueFile file(CreateFileW(top.Join(L"a.txt").c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    ASSERT_TRUE(file.valid());
    EXPECT_TRUE(qrx::HandleIsAt(file.get(), top.Join(L"a.txt")));
    EXPECT_FALSE(qrx::HandleIsAt(file.get(), top.Join(L"b.txt")));
    EXPECT_TRUE(qrx::DeleteByHandle(file.get()));
  }
  EXPECT_FALSE(FileExists(top.Join(L"a.txt")));
}

}  // namespace
