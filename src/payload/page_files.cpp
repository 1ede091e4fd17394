// The page table is not read yet: no pages are ever loaded.
#include "payload/page_files.h"

namespace qrx {

PageFiles::PageFiles(Logger* logger) : logger_(logger) {}

PageFiles::~PageFiles() = default;

std::vector<std::wstring> ReadSupportedLanguages(const PageFiles&) { return {}; }

void PrepareLicense(const PageFiles&, const std::wstring&, const std::wstring&) {}

}  // namespace qrx
