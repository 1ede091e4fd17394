// Relative paths from archives and page records that must stay inside their folder.
#include <gtest/gtest.h>

#include <string>

#include "common/contained_path.h"

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST(ContainedPath, RelativeNamesBelowTheFolderOnly) {
  const struct {
    const wchar_t* name;
    bool contained;
  } cases[] = {
      {L"readme.txt", true},
      {L"Load.html", true},
      {L"docs\\readme.txt", true},
      {L"js\\installparams.js", true},
      {L"images\\a\\b\\BG.png", true},
      {L"images/a/b.png", true},
      {L"a..b\\c", true},
      {L"..a\\b", true},
      {L"..data\\x..y", true},
      {L"console.txt", true},
      {L"com10", true},
      {L"conin", true},
      {L"", false},
      // Rooted names and drives.
      {L"\\abs.txt", false},
      {L"/a", false},
      {L"\\\\server\\share\\x", false},
      {L"C:\\x.txt", false},
      {L"C:x.txt", false},
      {L"a\\b:stream", false},
      // Empty components: doubled and trailing separators.
      {L"a\\\\b", false},
      {L"a//b", false},
      {L"a\\", false},
      {L"docs/", false},
      // The folder itself and its parent, also as Windows strips trailing dots and blanks.
      {L".", false},
      {L".\\a.txt", false},
      {L"a\\.\\b", false},
      {L"..", false},
      {L"..\\evil.txt", false},
      {L"a\\..", false},
      {L"a\\..\\b", false},
      {L"a\\..\\..\\evil", false},
      {L"a/../../b", false},
      {L".. \\x", false},
      {L"...\\x", false},
      {L"a\\.. .\\x", false},
      {L" \\x", false},
      // DOS devices, in any case, with an extension or trailing blanks.
      {L"CON", false},
      {L"nul.txt", false},
      {L"dir\\Com1.log", false},
      {L"dir/prn", false},
      {L"LPT9", false},
      {L"aux .txt", false},
      {L"CONOUT$", false},
      {L"con.txt.bak\\x", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(qrx::IsContainedRelativePath(c.name), c.contained) << Narrow(c.name);
  }
}

}  // namespace
