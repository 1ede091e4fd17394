// Which documents the host trusts, decided from the URL and our page folder alone.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "htmlhost/page_trust.h"

namespace {

using htmlui::DecideUrlAction;
using htmlui::IsPageOfFolder;

const wchar_t kFolder[] = L"C:\\ProgramData\\QRX\\run1\\pages";

struct UrlRow {
  const wchar_t* url;
  bool ours;
};

TEST(PageTrustTest, OnlyFileUrlsInsideThePageFolderAreOurs) {
  const UrlRow rows[] = {
      // Our pages, in the spellings the engine and urlmon use.
      {L"file:///C:/ProgramData/QRX/run1/pages/Load.html", true},
      {L"file:///C:/ProgramData/QRX/run1/pages/js/contents.js", true},
      {L"file://C:\\ProgramData\\QRX\\run1\\pages\\Welcome.html", true},
      {L"file://C:/ProgramData/QRX/run1/pages/Welcome.html", true},
      {L"file:C:/ProgramData/QRX/run1/pages/Welcome.html", true},
      {L"file:///C|/ProgramData/QRX/run1/pages/Welcome.html", true},
      {L"file://localhost/C:/ProgramData/QRX/run1/pages/Welcome.html", true},
      {L"file:///C:/ProgramData/QRX/run1/pages/Agreement.html#eula", true},
      {L"file:///C:/ProgramData/QRX/run1/pages/Agreement.html?x=1", true},
      // Case: the scheme, the drive and the folder's names are compared without ASCII case.
      {L"FILE:///c:/programdata/qrx/RUN1/Pages/Load.html", true},
      // Percent-encoding is decoded once.
      {L"file:///C:/ProgramData/QRX/run1/pages/My%20Page.html", true},
      {L"file:///C:/ProgramData/QRX/run1/pages/%C3%A9t%C3%A9.html", true},
      {L"file:///C:/Program%44ata/QRX/run1/pages/Load.html", true},
      // Dots that stay inside.
      {L"file:///C:/ProgramData/QRX/run1/pages/./css/../Load.html", true},
      {L"file:///C:/ProgramData/QRX/run1/other/../pages/Load.html", true},
      // The folder itself, a sibling with the same start, and a parent.
      {L"file:///C:/ProgramData/QRX/run1/pages", false},
      {L"file:///C:/ProgramData/QRX/run1/pages/", false},
      {L"file:///C:/ProgramData/QRX/run1/pagesX/Load.html", false},
      {L"file:///C:/ProgramData/QRX/run1/Load.html", false},
      {L"file:///D:/ProgramData/QRX/run1/pages/Load.html", false},
      // ".." escapes, plain and encoded.
      {L"file:///C:/ProgramData/QRX/run1/pages/../secret.html", false},
      {L"file:///C:/ProgramData/QRX/run1/pages/..\\..\\x.html", false},
      {L"file:///C:/ProgramData/QRX/run1/pages/%2e%2e/secret.html", false},
      {L"file:///C:/ProgramData/QRX/run1/pages/..%2fsecret.html", false},
      {L"file:///C:/ProgramData/QRX/run1/pages/..%5csecret.html", false},
      {L"file:///C:/../../ProgramData/QRX/run1/pages/Load.html", false},
      // Names Windows would read otherwise, and malformed escapes.
      {L"file:///C:/ProgramData/QRX/run1/pages/Load.html:stream", false},
      {L"file:///C:/ProgramData/QRX/run1/pages/Load.html.", false},
      {L"file:///C:/ProgramData/QRX/run1/pages/.. /x.html", false},
      {L"file:///C:/ProgramData/QRX/run1/pages/Load%00.html", false},
      {L"file:///C:/ProgramData/QRX/run1/pages/Load%0a.html", false},
      {L"file:///C:/ProgramData/QRX/run1/pages/Load%zz.html", false},
      {L"file:///C:/ProgramData/QRX/run1/pages/Load%4.html", false},
      {L"file:///C:/ProgramData/QRX/run1/pages/%C3.html", false},
      {L"file:///C:/ProgramData/QRX/run1/pages/Lo\nad.html", false},
      // UNC: a share, however spelt, and a device path.
      {L"file://server/C:/ProgramData/QRX/run1/pages/Load.html", false},
      {L"file:////server/share/pages/Load.html", false},
      {L"file://%5c%5cserver/share/Load.html", false},
      {L"file://./C:/ProgramData/QRX/run1/pages/Load.html", false},
      {L"\\\\server\\share\\pages\\Load.html", false},
      // Other schemes, including ones that name our files.
      {L"http://127.0.0.1:1/owned.html", false},
      {L"https://example.com/C:/ProgramData/QRX/run1/pages/Load.html", false},
      {L"about:blank", false},
      {L"res://ieframe.dll/navcancl.htm", false},
      {L"javascript:external.install('x')", false},
      {L"mk:@MSITStore:C:\\ProgramData\\QRX\\run1\\pages\\x.chm::/a.htm", false},
      {L"C:\\ProgramData\\QRX\\run1\\pages\\Load.html", false},
      {L"", false},
  };
  for (const UrlRow& row : rows) {
    EXPECT_EQ(row.ours, IsPageOfFolder(row.url, kFolder)) << std::string(row.url, row.url + wcslen(row.url));
  }
}

TEST(PageTrustTest, FolderSpellingsAgree) {
  const wchar_t url[] = L"file:///C:/ProgramData/QRX/run1/pages/Load.html";
  EXPECT_TRUE(IsPageOfFolder(url, L"C:\\ProgramData\\QRX\\run1\\pages\\"));
  EXPECT_TRUE(IsPageOfFolder(url, L"c:\\programdata\\qrx\\run1\\PAGES"));
  EXPECT_TRUE(IsPageOfFolder(url, L"C:/ProgramData/QRX/run1/pages"));
  EXPECT_TRUE(IsPageOfFolder(url, L"C:\\ProgramData\\QRX\\run1\\x\\..\\pages"));
  // A folder that is none trusts nothing.
  EXPECT_FALSE(IsPageOfFolder(url, L""));
  EXPECT_FALSE(IsPageOfFolder(url, L"pages"));
  EXPECT_FALSE(IsPageOfFolder(L"file://server/share/pages/Load.html", L"\\\\server\\share\\pages"));
  // The whole drive as the folder.
  EXPECT_TRUE(IsPageOfFolder(url, L"C:\\"));
}

TEST(PageTrustTest, FolderOfPageCutsTheFileName) {
  EXPECT_EQ(L"C:\\a\\pages", htmlui::FolderOfPage(L"C:\\a\\pages\\Load.html"));
  EXPECT_EQ(L"Z:/x", htmlui::FolderOfPage(L"Z:/x/Load.html"));
  EXPECT_EQ(L"", htmlui::FolderOfPage(L"Load.html"));
}

TEST(PageTrustTest, LoggableUrlIsOneShortLine) {
  EXPECT_EQ(L"http://a/b?c", htmlui::LoggableUrl(L"http://a/b?c"));
  EXPECT_EQ(L"http://a/?[x] forged?", htmlui::LoggableUrl(L"http://a/\n[x] forged\r"));
  const std::wstring longUrl = L"http://a/" + std::wstring(2000, L'x');
  EXPECT_EQ(htmlui::kMaxLoggedUrl, htmlui::LoggableUrl(longUrl).size());
}

TEST(PageTrustTest, LogLineAndRefusalTarget) {
  EXPECT_STREQ(L"Navigation outside the page folder refused: %s", htmlui::kLogNavigationRefused);
  EXPECT_STREQ(L"about:blank", htmlui::kRefusedNavigationTarget);
  EXPECT_FALSE(IsPageOfFolder(htmlui::kRefusedNavigationTarget, kFolder)) << "the target runs no script";
}

struct ActionRow {
  unsigned long action;
  bool decided;
  unsigned long policyInOurPage;
  unsigned long policyElsewhere;
};

TEST(PageTrustTest, UrlActions) {
  constexpr unsigned long kAllow = 0x0;
  constexpr unsigned long kDisallow = 0x3;
  const ActionRow rows[] = {
      {0x1400, true, kAllow, kDisallow},     // run script
      {0x1001, true, kDisallow, kDisallow},  // download signed ActiveX
      {0x1004, true, kDisallow, kDisallow},  // download unsigned ActiveX
      {0x1200, true, kDisallow, kDisallow},  // run ActiveX
      {0x1201, true, kDisallow, kDisallow},  // ActiveX: override object safety
      {0x1202, true, kDisallow, kDisallow},  // ActiveX: override data safety
      {0x1203, true, kDisallow, kDisallow},  // ActiveX: override script safety
      {0x1209, true, kDisallow, kDisallow},  // scriptlets
      {0x1401, true, kDisallow, kDisallow},  // script ActiveX not marked safe
      {0x1402, true, kDisallow, kDisallow},  // script Java applets
      {0x1405, true, kDisallow, kDisallow},  // script ActiveX marked safe
      {0x1605, true, kDisallow, kDisallow},  // run Java
      {0x1C00, true, 0x0, 0x0},              // Java permissions: prohibited
      {0x2000, true, kDisallow, kDisallow},  // binary behaviours
      // Left to the engine's zone settings.
      {0x1406, false, 0, 0},  // cross-domain data
      {0x1601, false, 0, 0},  // submit forms
      {0x1607, false, 0, 0},  // navigate sub-frames
      {0x1A02, false, 0, 0},  // cookies
      {0x2101, false, 0, 0},  // zone elevation
      {0x1204, false, 0, 0},  // confirm ActiveX without object safety: run is refused already
      {0, false, 0, 0},
  };
  for (const ActionRow& row : rows) {
    const htmlui::UrlActionAnswer ours = DecideUrlAction(row.action, true);
    const htmlui::UrlActionAnswer other = DecideUrlAction(row.action, false);
    EXPECT_EQ(row.decided, ours.decided) << std::hex << row.action;
    EXPECT_EQ(row.decided, other.decided) << std::hex << row.action;
    if (!row.decided) continue;
    EXPECT_EQ(row.policyInOurPage, ours.policy) << std::hex << row.action;
    EXPECT_EQ(row.policyElsewhere, other.policy) << std::hex << row.action;
  }
}

}  // namespace
