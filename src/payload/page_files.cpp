#include "payload/page_files.h"

#include "payload/payload_reader.h"
#include "payload/payload_texts.h"
#include "sysinfo/run_marker.h"
#include "sysinfo/temp_folder.h"
#include "sysinfo/working_parent.h"

namespace qrx {

PageFiles::PageFiles(Logger* logger) : logger_(logger) {
  DWORD markerError = 0;
  if (!CreateWorkingFolder(folder_, &markerError)) {
    LogError(logger_, kLogCreateTempFolderFailed);
    return;
  }
  if (markerError) LogError(logger_, kLogRunMarkerNotWritten, folder_.c_str(), static_cast<unsigned>(markerError));
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
