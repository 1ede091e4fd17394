#include "reporting/error_reporter.h"

#include <vector>

#include "common/no_links.h"
#include "common/unique_any.h"
#include "reporting/report_transport.h"
#include "sysinfo/temp_folder.h"
#include "sysinfo/working_parent.h"
#include "zip/nothrow_array.h"
#include "zip/zip_files.h"

namespace qrx {

const wchar_t kLogArchiveName[] = L"log.zip";
const wchar_t kLogReportFileRefused[] = L"Report file %s not sent: %s";

bool ReadFileTail(HANDLE file, DWORD cap, NothrowArray<char>& data) {
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) return false;
  const LONGLONG start = size.QuadPart > cap ? size.QuadPart - cap : 0;
  const DWORD length = static_cast<DWORD>(size.QuadPart - start);
  LARGE_INTEGER offset = {};
  offset.QuadPart = start;
  if (!SetFilePointerEx(file, offset, nullptr, FILE_BEGIN)) return false;
  if (!data.Resize(length)) return false;
  DWORD read = 0;
  if (length > 0 && !ReadFile(file, data.data(), length, &read, nullptr)) return false;
  return data.Resize(read);
}

void SendErrorReport(ErrorReporter& reporter, Logger* logger) {
  // Every file of the report lies under the working parent; each is opened once, never through a
  // link, and read from that handle. A refusal is logged while the log is still open.
  // One entry per attachment, in order; empty for one that was refused or is missing.
  std::vector<UniqueFile> files;
  std::wstring top;
  const bool haveTop = GetWorkingParent(top);
  for (const std::wstring& attachment : reporter.attachments) {
    UniqueFile file;
    const LinkCheck check =
        haveTop ? OpenLinkFreeFile(top, attachment, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, file)
                : LinkCheck::kMoved;
    if (check != LinkCheck::kPlain && check != LinkCheck::kMissing) {
      LogError(logger, kLogReportFileRefused, attachment.c_str(), LinkCheckText(check));
    }
    files.push_back(std::move(file));
  }
  if (logger) logger->CloseFile();

  std::wstring folder;
  if (!CreateWorkingFolder(folder)) return;
  // The folder ends with a backslash.
  const std::wstring archive = folder + kLogArchiveName;
  for (size_t i = 0; i < files.size(); ++i) {
    if (!files[i]) continue;
    NothrowArray<char> data;
    // A file that cannot be read is left out; the others still go.
    if (ReadFileTail(files[i].get(), kReportFileCap, data)) {
      AddBytesToArchive(reporter.attachments[i].c_str(), data.data(), data.size(), archive.c_str());
    }
    files[i].Reset();
  }
  if (reporter.info) SendFileReport(archive, reporter.info->requestToken, reporter.info->machineId);
  DeleteFolderTree(folder);
}

}  // namespace qrx
