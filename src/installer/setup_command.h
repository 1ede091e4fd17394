// The setup command line and the names of the redistributable logs. Pure text work.
#pragma once

#include <string>

namespace qrx {

// Quoted setup path, a blank, the parameters verbatim, " /qn /l* " and the quoted log path.
std::wstring BuildSetupCommandLine(const std::wstring& setupPath, const std::wstring& parameters,
                                   const std::wstring& logPath);

// The environment block for setup: `block` (entries "NAME=value", each ended by a null, the whole
// ended by one more null) without its TEMP and TMP entries (names compared without case), with
// "TEMP=<tempFolder>" and "TMP=<tempFolder>" added in name order. The result carries the same
// terminators; an empty or null `block` gives just the two entries.
std::wstring BuildSetupEnvironment(const wchar_t* block, const std::wstring& tempFolder);

// "amd64" when "osbits" is exactly "64", "x86" otherwise; and the matching search pattern.
const wchar_t* RedistArchFor(const std::wstring& osBits);
const wchar_t* RedistPatternFor(const std::wstring& osBits);

// "dd_vcredist_<arch>_<yyyyMMddhhmmss>.log".
std::wstring FormatRedistLogName(const wchar_t* arch, int year, int month, int day, int hour, int minute,
                                 int second);

// Both bounds inclusive, compared by UTF-16 code unit.
bool RedistLogNameInBounds(const std::wstring& name, const std::wstring& lower, const std::wstring& upper);

}  // namespace qrx
