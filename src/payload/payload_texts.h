// Log lines of the page table, the page folder and the licence step.
#pragma once

namespace qrx {

inline constexpr wchar_t kLogCreateTempFolderFailed[] = L"create temporary folder failed!";
inline constexpr wchar_t kLogLoadSuccess[] = L"load resource success, temporary folder path : %s";
inline constexpr wchar_t kLogLoadFromPe[] = L"Load Resource from pe.";
inline constexpr wchar_t kLogOwnPathFailed[] = L"get current app full path failed!";
inline constexpr wchar_t kLogOpenFailed[] = L"open file : %s failed!";
inline constexpr wchar_t kLogReadTrailerFailed[] = L"read end of certification table failed!";
inline constexpr wchar_t kLogReadInfoFailed[] = L"read file info failed!";
inline constexpr wchar_t kLogReadDataFailed[] = L"read file data failed!";
inline constexpr wchar_t kLogCreateFailed[] = L"create %s failed!";
inline constexpr wchar_t kLogLoadFinished[] = L"Load Resource from pe finished.";
inline constexpr wchar_t kLogDeleteFailed[] = L"Delete Temp folder failed!";

inline constexpr wchar_t kLogLicenseFrom[] = L"Dynamic license from %s.";
inline constexpr wchar_t kLogLicenseSuccess[] = L"Download license from %s success.";
inline constexpr wchar_t kLogLicenseFailed[] = L"Download license from %s failed.";
inline constexpr wchar_t kLogLicenseTimedOut[] = L"Download license from %s timed out after %u ms.";

}  // namespace qrx
