#include <gtest/gtest.h>
#include <windows.h>

#include "support/test_support.h"
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "sysinfo/run_marker.h"
#include "sysinfo/security_descriptors.h"
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

namespace {

using qrxtest::MakeUnixLink;
using qrxtest::ScopedFakeLinks;

std::wstring SecurityText(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION parts) {
  LPWSTR text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, parts, &text, nullptr)) {
    return std::wstring();
  }
  std::wstring result = text;
  LocalFree(text);
  return result;
}

TEST(WorkingFolderSecurity, BadDescriptorTextGivesNoAttributes) {
  qrx::SecurityAttributes security(L"not a descriptor");
  EXPECT_EQ(security.get(), nullptr);
}

// Wine keeps mode bits, not descriptors (docs/wine-notes.md): what can be read back is that
// nobody but SYSTEM and the owner has any access.
TEST(WorkingFolderSecurity, CreatedFolderGrantsNothingToOthers) {
  TempDir base;
  std::wstring folder = base.path();
  ASSERT_TRUE(qrx::CreateUniqueTempFolder(folder));
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &owner, nullptr, &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  const std::wstring text = SecurityText(descriptor, DACL_SECURITY_INFORMATION);
  LocalFree(descriptor);
  EXPECT_NE(text.find(L"(A;OICI;FA;;;SY)"), std::wstring::npos) << qrxtest::Narrow(text);
  EXPECT_EQ(text.find(L";;;WD)"), std::wstring::npos) << qrxtest::Narrow(text);
  EXPECT_EQ(text.find(L";;;BU)"), std::wstring::npos) << qrxtest::Narrow(text);
  EXPECT_EQ(text.find(L";;;AU)"), std::wstring::npos) << qrxtest::Narrow(text);
}

TEST(TempFolder, TakenNamesAreSkippedWhateverTakesThem) {
  TempDir base;
  TempDir outside;
  ASSERT_TRUE(CreateDirectoryW((base.path() + L"100").c_str(), nullptr));
  ASSERT_TRUE(qrxtest::WriteFileBytes(base.path() + L"101", "file"));
  ASSERT_TRUE(MakeUnixLink(base.path() + L"102", outside.path()));
  // A dangling link: its target goes once the link is made (Wine lists dangling links nowhere).
  ASSERT_TRUE(CreateDirectoryW((outside.path() + L"gone").c_str(), nullptr));
  ASSERT_TRUE(MakeUnixLink(base.path() + L"103", outside.path() + L"gone"));
  ASSERT_TRUE(RemoveDirectoryW((outside.path() + L"gone").c_str()));
  std::wstring path = base.path();
  ASSERT_TRUE(qrx::CreateUniqueTempFolderFrom(path, 0x100));
  EXPECT_EQ(path, base.path() + L"104\\");
  EXPECT_TRUE(qrxtest::FolderIsEmpty(outside.path()));
  EXPECT_TRUE(qrxtest::FolderIsEmpty(base.path() + L"100"));
  EXPECT_EQ(qrxtest::ReadFileBytes(base.path() + L"101"), "file");
}

TEST(TempFolder, OtherCreationErrorsFailAndLeaveThePath) {
  TempDir base;
  // A file as the base: the folder cannot be made inside it, and no later name would help.
  const std::wstring file = base.path() + L"plain";
  ASSERT_TRUE(qrxtest::WriteFileBytes(file, "x"));
  std::wstring path = file;
  EXPECT_FALSE(qrx::CreateUniqueTempFolderFrom(path, 0x200));
  EXPECT_EQ(path, file);
}

// Makes the folder and a file where its marker goes, so the marker cannot be written.
static BOOL WINAPI CreateFolderWithMarkerTaken(LPCWSTR path, LPSECURITY_ATTRIBUTES security) {
  if (!CreateDirectoryW(path, security)) return FALSE;
  return qrxtest::WriteFileBytes(std::wstring(path) + qrx::kRunMarkerName, "taken") ? TRUE : FALSE;
}

TEST(TempFolder, MarkerThatCannotBeWrittenIsReportedNotFatal) {
  TempDir base;
  std::wstring path = base.path();
  const qrx::CreateFolderFunction previous = qrx::SetCreateFolderFunction(&CreateFolderWithMarkerTaken);
  DWORD markerError = 0;
  const bool created = qrx::CreateUniqueTempFolderFrom(path, 0x310, &markerError);
  qrx::SetCreateFolderFunction(previous);
  ASSERT_TRUE(created);
  EXPECT_EQ(path, base.path() + L"310\\");
  EXPECT_EQ(markerError, static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(qrxtest::ReadFileBytes(path + qrx::kRunMarkerName), "taken");
}

TEST(TempFolder, NewFolderCarriesTheRunMarkerOfThisProcess) {
  TempDir base;
  std::wstring path = base.path();
  DWORD markerError = 1;
  ASSERT_TRUE(qrx::CreateUniqueTempFolderFrom(path, 0x300, &markerError));
  EXPECT_EQ(markerError, 0u);
  std::vector<qrx::ProcessStamp> owners;
  ASSERT_TRUE(qrx::ReadRunMarker(path, owners));
  ASSERT_EQ(owners.size(), 1u);
  EXPECT_EQ(owners[0].id, GetCurrentProcessId());
  EXPECT_TRUE(qrx::IsProcessRunning(owners[0]));
}

TEST(DeleteFolderTree, RefusesEmptyPathDriveRootsAndTheTempFolder) {
  TempDir temp;
  ScopedEnv tmp(L"TMP", temp.path());
  const std::wstring canary = temp.path() + L"canary.txt";
  ASSERT_TRUE(qrxtest::WriteFileBytes(canary, "alive"));
  std::wstring upper = temp.path();
  CharUpperW(&upper[0]);
  std::wstring noSlash = temp.path();
  noSlash.pop_back();
  for (const std::wstring& path : {std::wstring(), std::wstring(L"C:\\"), std::wstring(L"C:"), std::wstring(L"Z:\\"),
                                   std::wstring(L"\\"), std::wstring(L"C:windows"), temp.path(), noSlash, upper,
                                   temp.path() + L"sub\\..\\"}) {
    EXPECT_FALSE(qrx::MayDeleteFolderTree(path)) << qrxtest::Narrow(path);
    EXPECT_FALSE(qrx::DeleteFolderTree(path)) << qrxtest::Narrow(path);
  }
  EXPECT_EQ(qrxtest::ReadFileBytes(canary), "alive");
  EXPECT_TRUE(qrx::MayDeleteFolderTree(temp.path() + L"sub\\"));
}

TEST(DeleteFolderTree, LinksAtAnyDepthAreNeverEntered) {
  TempDir outside;
  const std::wstring canary = outside.path() + L"canary.txt";
  ASSERT_TRUE(qrxtest::WriteFileBytes(canary, "alive"));
  TempDir base;
  const std::wstring root = base.path() + L"tree";
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((root + L"\\a").c_str(), nullptr));
  ASSERT_TRUE(qrxtest::WriteFileBytes(root + L"\\a\\mine.txt", "ours"));
  ASSERT_TRUE(MakeUnixLink(root + L"\\shallow", outside.path()));
  ASSERT_TRUE(MakeUnixLink(root + L"\\a\\deep", outside.path()));
  // Wine cannot remove a Unix link to a folder that holds files, so the tree itself stays; what
  // matters is that nothing behind the links went.
  qrx::DeleteFolderTree(root);
  EXPECT_EQ(qrxtest::ReadFileBytes(canary), "alive");
  EXPECT_FALSE(FileExists(root + L"\\a\\mine.txt"));
  // The top itself a link: removed as a link or left, never emptied.
  const std::wstring top = base.path() + L"toplink";
  ASSERT_TRUE(MakeUnixLink(top, outside.path()));
  qrx::DeleteFolderTree(top);
  qrx::DeleteFolderTree(top + L"\\");
  EXPECT_EQ(qrxtest::ReadFileBytes(canary), "alive");
}

// Junctions and mount points, which Wine cannot make, through the attribute seam.
TEST(DeleteFolderTree, FolderReportedAsLinkIsRemovedAsALinkAndNotEntered) {
  TempDir base;
  const std::wstring root = base.path() + L"tree";
  const std::wstring junction = root + L"\\junction";
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(junction.c_str(), nullptr));
  ASSERT_TRUE(qrxtest::WriteFileBytes(junction + L"\\canary.txt", "alive"));
  ASSERT_TRUE(qrxtest::WriteFileBytes(root + L"\\mine.txt", "ours"));
  {
    ScopedFakeLinks links({junction});
    EXPECT_FALSE(qrx::DeleteFolderTree(root));
  }
  EXPECT_EQ(qrxtest::ReadFileBytes(junction + L"\\canary.txt"), "alive");
  EXPECT_FALSE(FileExists(root + L"\\mine.txt"));
  {
    ScopedFakeLinks links({root});
    EXPECT_FALSE(qrx::DeleteFolderTree(root));
  }
  EXPECT_EQ(qrxtest::ReadFileBytes(junction + L"\\canary.txt"), "alive");
  // An empty folder reported as a link is removed by RemoveDirectoryW, as a junction would be.
  const std::wstring empty = base.path() + L"emptylink";
  ASSERT_TRUE(CreateDirectoryW(empty.c_str(), nullptr));
  ScopedFakeLinks links({empty});
  EXPECT_TRUE(qrx::DeleteFolderTree(empty));
  EXPECT_FALSE(FileExists(empty));
}

TEST(DeleteFolderTree, NamedFileGoesLast) {
  TempDir base;
  const std::wstring root = base.path() + L"marked";
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  ASSERT_TRUE(qrxtest::WriteFileBytes(root + L"\\keep.txt", "x"));
  const std::wstring locked = root + L"\\locked.txt";
  ASSERT_TRUE(qrxtest::WriteFileBytes(locked, "x"));
  HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);
  // A tree that cannot go all the way keeps its last file.
  EXPECT_FALSE(qrx::DeleteFolderTreeLast(root, L"keep.txt"));
  CloseHandle(hold);
  EXPECT_TRUE(FileExists(root + L"\\keep.txt"));
  EXPECT_TRUE(qrx::DeleteFolderTreeLast(root, L"keep.txt"));
  EXPECT_FALSE(FileExists(root));
}

}  // namespace
