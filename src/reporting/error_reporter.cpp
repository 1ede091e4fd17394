#include "reporting/error_reporter.h"

#include "reporting/report_transport.h"
#include "sysinfo/temp_folder.h"
#include "zip/zip_files.h"

namespace qrx {

const wchar_t kLogArchiveName[] = L"log.zip";

void SendErrorReport(ErrorReporter& reporter) {
  std::wstring folder;
  if (!GetTempFolder(folder) || !CreateUniqueTempFolder(folder)) return;
  // The folder ends with a backslash.
  const std::wstring archive = folder + kLogArchiveName;
  for (const std::wstring& attachment : reporter.attachments) {
    // A file that cannot be read is left out; the others still go.
    AddFileToArchive(attachment.c_str(), archive.c_str());
  }
  if (reporter.info) SendFileReport(archive, reporter.info->requestToken, reporter.info->machineId);
  DeleteFolderTree(folder);
}

}  // namespace qrx
