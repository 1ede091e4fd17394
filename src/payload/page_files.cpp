#include "payload/page_files.h"

#include "payload/payload_reader.h"
#include "payload/payload_texts.h"
#include "sysinfo/temp_folder.h"

namespace qrx {

PageFiles::PageFiles(Logger* logger) : logger_(logger) {
  if (!GetTempFolder(folder_) || !CreateUniqueTempFolder(folder_)) {
    // A temp folder found but no subfolder made: there is nothing of ours to delete later.
    folder_.clear();
    LogError(logger_, kLogCreateTempFolderFailed);
    return;
  }
  if (ExtractPayload(folder_, logger_)) {
    loaded_ = true;
    LogDebug(logger_, kLogLoadSuccess, folder_.c_str());
  }
}

PageFiles::~PageFiles() {
  if (!folder_.empty()) {
    if (!DeleteFolderTree(folder_)) LogError(logger_, kLogDeleteFailed);
    folder_.clear();
  }
}

}  // namespace qrx
