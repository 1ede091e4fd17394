// The page folder: tables built by qrxpack extract byte for byte, from this very executable
// (packed after linking) and from the packed product.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "payload/page_files.h"
#include "payload/payload_reader.h"
#include "payload_helpers.h"
#include "support/test_support.h"
#include "sysinfo/run_marker.h"

using payloadtest::ListFiles;
using payloadtest::ReadLogLines;
using Lines = std::vector<std::pair<std::string, std::string>>;

namespace {

const std::wstring kStagedPages = std::wstring(QRX_TEST_BINARY_DIR) + L"\\pages";
const std::wstring kPackedProduct = std::wstring(QRX_TEST_BINARY_DIR) + L"\\dist\\QRXDownloadManager.exe";

class PageFilesTest : public ::testing::Test {
 protected:
  qrxtest::TempDir temp_;
  qrxtest::ScopedEnv tmp_{L"TMP", temp_.path()};
};

TEST_F(PageFilesTest, StagedFolderHoldsThe37PageFiles) {
  const auto staged = ListFiles(kStagedPages);
  ASSERT_EQ(staged.size(), 37u);
  size_t images = 0;
  for (const auto& file : staged) {
    if (file.first.compare(0, 7, L"images\\") == 0) ++images;
  }
  EXPECT_EQ(images, 15u);
  for (const wchar_t* name : {L"Load.html", L"Welcome.html", L"Agreement.html", L"Installing.html", L"Complete.html",
                              L"Eula.html", L"Eula-de.html", L"Eula-es.html", L"Eula-fr.html", L"Eula-it.html",
                              L"Eula-jp.html", L"Eula-nl.html", L"Eula-ru.html", L"Eula-tw.html",
                              L"js\\installparams.js", L"js\\stubparams.js", L"js\\contents.js", L"js\\external.js",
                              L"js\\jquery-1.11.2.min.js", L"js\\jquery-ui.min.js", L"css\\style.css",
                              L"css\\jquery-ui.css", L"images\\BG.png"}) {
    EXPECT_TRUE(qrxtest::FileExists(kStagedPages + L"\\" + name)) << payloadtest::Narrow(name);
  }
}

TEST_F(PageFilesTest, PackedProductExtractsByteForByte) {
  const std::wstring target = temp_.Join(L"product\\");
  ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
  qrx::Logger logger;
  ASSERT_TRUE(qrx::ExtractPayloadFrom(kPackedProduct, target, &logger));
  const auto extracted = ListFiles(target);
  EXPECT_EQ(extracted.size(), 37u);
  EXPECT_TRUE(extracted == ListFiles(kStagedPages));
}

TEST_F(PageFilesTest, UnpacksItsOwnTableAndDeletesTheFolderWhenDestroyed) {
  std::wstring folder;
  std::unique_ptr<qrx::Logger> logger = std::make_unique<qrx::Logger>();
  {
    qrx::PageFiles pages(logger.get());
    ASSERT_TRUE(pages.loaded());
    folder = pages.folder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    const std::wstring parent = qrxtest::WorkingParent();
    ASSERT_FALSE(parent.empty());
    EXPECT_EQ(folder.compare(0, parent.size(), parent), 0) << "below the working parent";
    // The pages, and the run's marker written when the folder was made.
    auto files = ListFiles(folder);
    const auto marker = std::find_if(files.begin(), files.end(),
                                     [](const auto& file) { return file.first == qrx::kRunMarkerName; });
    ASSERT_NE(marker, files.end());
    files.erase(marker);
    EXPECT_TRUE(files == ListFiles(kStagedPages));
  }
  EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadLogLines(logger->path()),
            (Lines{{"DEBUG", "Load Resource from pe."},
                   {"DEBUG", "Load Resource from pe finished."},
                   {"DEBUG", "load resource success, temporary folder path : " + payloadtest::Narrow(folder)}}));
}

// The page folder does not depend on TEMP: an over-long or missing one changes nothing, and
// nothing in it is touched.
TEST_F(PageFilesTest, TempHasNoSayInThePageFolder) {
  std::wstring longTemp = temp_.path();
  while (longTemp.size() < 255) {
    longTemp += std::wstring(std::min<size_t>(100, 254 - longTemp.size()), L'd') + L"\\";
    ASSERT_TRUE(CreateDirectoryW(longTemp.c_str(), nullptr));
  }
  ASSERT_EQ(longTemp.size(), 255u);
  ASSERT_TRUE(qrxtest::WriteFileBytes(longTemp + L"keep.txt", "user file"));
  const std::wstring parent = qrxtest::WorkingParent();
  ASSERT_FALSE(parent.empty());
  for (const std::wstring& temp : {longTemp, temp_.Join(L"missing\\")}) {
    std::unique_ptr<qrx::Logger> logger = std::make_unique<qrx::Logger>();
    std::wstring folder;
    {
      qrxtest::ScopedEnv tmp(L"TMP", temp);
      qrxtest::ScopedEnv tempVariable(L"TEMP", temp);
      qrx::PageFiles pages(logger.get());
      EXPECT_TRUE(pages.loaded());
      folder = pages.folder();
      EXPECT_EQ(folder.compare(0, parent.size(), parent), 0) << payloadtest::Narrow(folder);
    }
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_EQ(qrxtest::ReadFileBytes(longTemp + L"keep.txt"), "user file");
  EXPECT_EQ(GetFileAttributesW(temp_.Join(L"missing").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
