// The setup command line and the bound names of the redistributable logs.
#include <gtest/gtest.h>

#include "installer/setup_command.h"
#include "installer/setup_logs.h"

namespace {

TEST(SetupCommandLine, QuotedPathParametersSwitchesAndQuotedLog) {
  EXPECT_EQ(qrx::BuildSetupCommandLine(L"C:\\pkg\\setup.exe", L"LANG=en CHANNEL=7", L"C:\\pkg\\log.txt"),
            L"\"C:\\pkg\\setup.exe\" LANG=en CHANNEL=7 /qn /l* \"C:\\pkg\\log.txt\"");
}

TEST(SetupCommandLine, EmptyParametersGiveTwoBlanksBeforeQn) {
  EXPECT_EQ(qrx::BuildSetupCommandLine(L"C:\\a b\\setup.exe", L"", L"C:\\a b\\log.txt"),
            L"\"C:\\a b\\setup.exe\"  /qn /l* \"C:\\a b\\log.txt\"");
}

TEST(SetupCommandLine, ParametersWithQuotesPassUnchanged) {
  const std::wstring parameters = L"NAME=\"a b\" PATH='C:\\x' \\\"odd\\\" \"";
  EXPECT_EQ(qrx::BuildSetupCommandLine(L"s.exe", parameters, L"l.txt"),
            L"\"s.exe\" " + parameters + L" /qn /l* \"l.txt\"");
}

TEST(RedistLogNames, FormatIsArchThenZeroPaddedStamp) {
  EXPECT_EQ(qrx::FormatRedistLogName(L"amd64", 2024, 3, 7, 9, 5, 1), L"dd_vcredist_amd64_20240307090501.log");
  EXPECT_EQ(qrx::FormatRedistLogName(L"x86", 1999, 12, 31, 23, 59, 59), L"dd_vcredist_x86_19991231235959.log");
  SYSTEMTIME time = {};
  time.wYear = 2026;
  time.wMonth = 1;
  time.wDay = 2;
  time.wHour = 3;
  time.wMinute = 4;
  time.wSecond = 5;
  time.wMilliseconds = 999;  // not part of the name
  EXPECT_EQ(qrx::RedistLogBoundName(L"amd64", time), L"dd_vcredist_amd64_20260102030405.log");
}

TEST(RedistLogNames, ArchAndPatternFollowOsBits) {
  EXPECT_STREQ(qrx::RedistArchFor(L"64"), L"amd64");
  EXPECT_STREQ(qrx::RedistArchFor(L"32"), L"x86");
  EXPECT_STREQ(qrx::RedistArchFor(L"6"), L"x86");
  EXPECT_STREQ(qrx::RedistPatternFor(L"64"), L"dd_vcredist_amd64_*.log");
  EXPECT_STREQ(qrx::RedistPatternFor(L""), L"dd_vcredist_x86_*.log");
}

TEST(RedistLogNames, BoundsAreInclusiveToTheSecond) {
  const std::wstring lower = qrx::FormatRedistLogName(L"amd64", 2026, 12, 8, 10, 0, 0);
  const std::wstring upper = qrx::FormatRedistLogName(L"amd64", 2026, 12, 8, 10, 2, 30);
  const struct {
    std::wstring name;
    bool in;
  } cases[] = {
      {qrx::FormatRedistLogName(L"amd64", 2026, 12, 8, 9, 59, 59), false},  // a second before the start
      {lower, true},
      {qrx::FormatRedistLogName(L"amd64", 2026, 12, 8, 10, 1, 0), true},
      {upper, true},
      {qrx::FormatRedistLogName(L"amd64", 2026, 12, 8, 10, 2, 31), false},
      {L"dd_vcredist_amd64_20261208100100_extra.log", true},  // plain code-unit order, as the pattern allows
      {L"dd_vcredist_amd64_2026.log", false},
  };
  for (const auto& c : cases) EXPECT_EQ(qrx::RedistLogNameInBounds(c.name, lower, upper), c.in) << c.name;
}

// Blocks are written with "|" for each terminator here.
std::wstring Block(const std::wstring& text) {
  std::wstring block = text;
  for (wchar_t& c : block) {
    if (c == L'|') c = L'\0';
  }
  return block;
}

TEST(SetupEnvironment, TempAndTmpPointAtTheGivenFolderAndNothingElseChanges) {
  const std::wstring t = L"C:\\ProgramData\\QRX\\1a\\2b\\";
  struct Case {
    const wchar_t* block;
    std::wstring expected;
  } cases[] = {
      // The user's TEMP and TMP are replaced, whatever their case; the rest stays in order.
      {L"=C:=C:\\x|ALLUSERSPROFILE=C:\\ProgramData|Path=C:\\w|TEMP=C:\\u\\t|TMP=C:\\u\\t|windir=C:\\w||",
       L"=C:=C:\\x|ALLUSERSPROFILE=C:\\ProgramData|Path=C:\\w|TEMP=" + t + L"|TMP=" + t + L"|windir=C:\\w||"},
      {L"A=1|temp=C:\\u|Tmp=C:\\u|Z=2||", L"A=1|TEMP=" + t + L"|TMP=" + t + L"|Z=2||"},
      // Missing ones are added in name order, also at the end.
      {L"A=1|B=2||", L"A=1|B=2|TEMP=" + t + L"|TMP=" + t + L"||"},
      {L"U=1|W=2||", L"TEMP=" + t + L"|TMP=" + t + L"|U=1|W=2||"},
      {L"TEMPLATE=x|TMPDIR=y||", L"TEMP=" + t + L"|TEMPLATE=x|TMP=" + t + L"|TMPDIR=y||"},
      // Names that only start like them stay; a value naming TEMP stays.
      {L"TEMP2=a|X=TEMP=b||", L"TEMP=" + t + L"|TEMP2=a|TMP=" + t + L"|X=TEMP=b||"},
      {L"||", L"TEMP=" + t + L"|TMP=" + t + L"||"},
  };
  for (const Case& c : cases) {
    const std::wstring block = Block(c.block);
    EXPECT_EQ(qrx::BuildSetupEnvironment(block.c_str(), t), Block(c.expected)) << c.block;
  }
  EXPECT_EQ(qrx::BuildSetupEnvironment(nullptr, t), Block(L"TEMP=" + t + L"|TMP=" + t + L"||"));
}

}  // namespace
