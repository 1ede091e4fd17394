// libFuzzer target: any bytes as an archive. Reads the central directory, every record, the
// directory test and the extraction of every entry into a sink, and checks entry names.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/contained_path.h"
#include "zip/zip_reader.h"
#include "zip_test_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ziptest::Bytes archive(data, data + size);
  qrx::ZipReader reader;
  reader.Init(ziptest::ReadMemory, &archive);
  if (reader.ReadCentralDirectory(archive.size())) {
    const uint32_t count = reader.EntryCount();
    for (uint32_t i = 0; i < count && i < 64; ++i) {
      qrx::ZipEntry entry;
      if (!reader.GetEntry(i, &entry)) __builtin_trap();  // indexed entries always parse
      reader.IsDirectory(i);
      qrx::IsContainedRelativePath(std::wstring(entry.name.begin(), entry.name.end()));
      ziptest::Sink sink;
      sink.limit = 1 << 24;
      if (reader.ExtractToCallback(i, ziptest::WriteSink, &sink) &&
          sink.data.size() != entry.uncompressedSize) {
        __builtin_trap();  // success means exactly the recorded size
      }
    }
  }
  reader.End();
  return 0;
}
