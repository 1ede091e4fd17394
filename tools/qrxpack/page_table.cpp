#include "page_table.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <zlib.h>

#include "common/contained_path.h"
#include "payload/payload_record.h"
#include "payload/record_inflate.h"

namespace qrxpack {
namespace fs = std::filesystem;

bool Utf8ToUtf16(const std::string& text, std::u16string& units) {
  units.clear();
  for (size_t i = 0; i < text.size();) {
    const uint8_t lead = static_cast<uint8_t>(text[i]);
    uint32_t cp = 0;
    size_t extra = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F, extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F, extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07, extra = 3;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const uint8_t next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = cp << 6 | (next & 0x3F);
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
  return true;
}

std::string Utf16ToUtf8(const std::u16string& units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size()) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | cp >> 6);
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | cp >> 12);
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | cp >> 18);
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

bool CollectPages(const std::string& dir, std::vector<PageFile>& pages, std::string& error) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    error = "no such folder: " + dir;
    return false;
  }
  for (fs::recursive_directory_iterator it(dir, ec), end; it != end && !ec; it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    std::string name = fs::relative(it->path(), dir).generic_string();
    std::replace(name.begin(), name.end(), '/', '\\');
    std::ifstream in(it->path(), std::ios::binary);
    PageFile page{name, Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
    if (!in.good() && !in.eof()) {
      error = "cannot read " + it->path().string();
      return false;
    }
    pages.push_back(std::move(page));
  }
  if (ec) {
    error = "cannot list " + dir + ": " + ec.message();
    return false;
  }
  std::sort(pages.begin(), pages.end(), [](const PageFile& a, const PageFile& b) { return a.name < b.name; });
  return true;
}

namespace {

void AppendU32(Bytes& b, uint32_t value) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// The certificate entry of a signed image: it must be the last thing in the file.
bool FindEntry(const Bytes& image, PeLayout& layout, std::string& error) {
  if (!ParsePe(image, layout, error)) return false;
  if (layout.certStart == 0 || layout.certSize < 8) {
    error = "the image is not signed";
    return false;
  }
  if (static_cast<uint64_t>(layout.certStart) + layout.certSize != image.size()) {
    error = "the certificate entry is not the end of the file";
    return false;
  }
  if (ReadU32(image, layout.certStart) != layout.certSize) {
    error = "dwLength differs from the directory size";
    return false;
  }
  if (ReadU16(image, layout.certStart + 4) != 0x0200 || ReadU16(image, layout.certStart + 6) != 0x0002) {
    error = "not a PKCS signed-data entry of revision 2.0";
    return false;
  }
  return true;
}

// Raw deflate at the best level; empty when zlib fails.
Bytes DeflateRaw(const Bytes& data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = const_cast<uint8_t*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
  out.resize(done ? stream.total_out : 0);
  deflateEnd(&stream);
  return out;
}

// The record's data as stored: deflated (unpacked size, then the stream) where that is smaller
// and the file is within the reader's cap, else the bytes themselves.
bool StoredForm(const Bytes& data, Bytes& stored) {
  if (data.size() <= qrx::kMaxUnpackedFileSize) {
    const Bytes stream = DeflateRaw(data);
    if (!stream.empty() && qrx::kDeflatedPrefixSize + stream.size() < data.size()) {
      stored.clear();
      AppendU32(stored, static_cast<uint32_t>(data.size()));
      stored.insert(stored.end(), stream.begin(), stream.end());
      return true;
    }
  }
  stored = data;
  return false;
}

}  // namespace

bool BuildTableBytes(const std::vector<PageFile>& pages, Bytes& table, std::string& error) {
  table.clear();
  uint64_t unpackedTotal = 0;
  for (const PageFile& page : pages) {
    std::u16string name;
    if (!Utf8ToUtf16(page.name, name) || name.size() >= qrx::kRecordNameUnits) {
      error = "name not valid UTF-8 or longer than 259 units: " + page.name;
      return false;
    }
    if (!qrx::IsContainedRelativePath(std::wstring(name.begin(), name.end()))) {
      error = "name leaves the page folder: " + page.name;
      return false;
    }
    if (page.data.size() > 0xFFFFFFFFull) {
      error = "file of 4 GiB or more: " + page.name;
      return false;
    }
    const size_t at = table.size();
    table.resize(at + qrx::kRecordHeaderSize, 0);
    // Little-endian fields, written unit by unit so the host's byte order does not matter.
    for (size_t i = 0; i < name.size(); ++i) {
      table[at + 2 * i] = static_cast<uint8_t>(name[i]);
      table[at + 2 * i + 1] = static_cast<uint8_t>(name[i] >> 8);
    }
    Bytes stored;
    const bool deflated = StoredForm(page.data, stored);
    if (deflated) unpackedTotal += page.data.size();
    if (unpackedTotal > qrx::kMaxUnpackedTableSize) {
      error = "the deflated files unpack to more than the reader's table cap";
      return false;
    }
    WriteU32(table, at + 520, static_cast<uint32_t>(stored.size()));
    WriteU32(table, at + 524, deflated ? qrx::kRecordDeflated : 0);
    table.insert(table.end(), stored.begin(), stored.end());
  }
  table.resize(table.size() + qrx::kRecordHeaderSize, 0);
  return true;
}

bool AppendTable(Bytes& image, const std::vector<PageFile>& pages, std::string& error) {
  PeLayout layout;
  if (!FindEntry(image, layout, error)) return false;
  const size_t blob = layout.certStart + 8;
  const size_t blobLength = DerElementLength(image, blob, image.size());
  if (blobLength == 0) {
    error = "the PKCS#7 blob is not well formed";
    return false;
  }
  Bytes table;
  if (!BuildTableBytes(pages, table, error)) return false;
  // The first record goes directly after the blob (replacing any padding the signer added).
  image.resize(blob + blobLength);
  const uint64_t firstRecord = image.size();
  image.insert(image.end(), table.begin(), table.end());
  while ((image.size() + 4 - layout.certStart) % 8 != 0) image.push_back(0);
  if (firstRecord > 0xFFFFFFFFull || image.size() + 4 > 0xFFFFFFFFull) {
    error = "the packed image would reach 4 GiB";
    return false;
  }
  AppendU32(image, static_cast<uint32_t>(firstRecord));

  const uint32_t length = static_cast<uint32_t>(image.size() - layout.certStart);
  WriteU32(image, layout.certStart, length);
  WriteU32(image, layout.securityDirOffset + 4, length);
  WriteU32(image, layout.checksumOffset, ComputePeChecksum(image, layout.checksumOffset));
  return true;
}

bool ReadTable(const Bytes& image, std::vector<PageFile>& pages, std::string& error, size_t* tableStart,
               size_t* tableEnd) {
  PeLayout layout;
  if (!FindEntry(image, layout, error)) return false;
  if (layout.certSize % 8 != 0) {
    error = "dwLength is not a multiple of 8";
    return false;
  }
  if (ReadU32(image, layout.checksumOffset) != ComputePeChecksum(image, layout.checksumOffset)) {
    error = "the PE checksum is stale";
    return false;
  }
  const size_t trailer = image.size() - 4;
  const size_t blob = layout.certStart + 8;
  const size_t blobLength = DerElementLength(image, blob, trailer);
  size_t at = ReadU32(image, trailer);
  uint64_t unpackedTotal = 0;
  if (tableStart) *tableStart = at;
  if (blobLength == 0 || at < blob + blobLength || at > trailer) {
    error = "the trailer does not point after the PKCS#7 blob";
    return false;
  }
  for (;;) {
    if (at + qrx::kRecordHeaderSize > trailer) {
      error = "no end record";
      return false;
    }
    qrx::PayloadFileHeader header;
    for (size_t i = 0; i < qrx::kRecordNameUnits; ++i) header.name[i] = ReadU16(image, at + 2 * i);
    header.sizeLow = ReadU32(image, at + 520);
    header.sizeHigh = ReadU32(image, at + 524);
    at += qrx::kRecordHeaderSize;
    if (qrx::IsEndRecord(header)) {
      if (tableEnd) *tableEnd = at;
      break;
    }
    std::wstring wide;
    if (!qrx::RecordName(header, wide)) {
      error = "a record name without its terminating zero";
      return false;
    }
    const std::u16string name(wide.begin(), wide.end());
    if (!qrx::IsContainedRelativePath(wide)) {
      error = "a record name that leaves the folder: " + Utf16ToUtf8(name);
      return false;
    }
    if (!qrx::HasKnownSizes(header) || header.sizeLow > trailer - at) {
      error = "a record size beyond the table: " + Utf16ToUtf8(name);
      return false;
    }
    PageFile page{Utf16ToUtf8(name), Bytes(image.begin() + at, image.begin() + at + header.sizeLow), false};
    if (qrx::IsDeflated(header)) {
      // Inflated with the wizard's own bounds: exactly the declared size, within both caps.
      const uint32_t declared = qrx::DeclaredUnpackedSize(image.data() + at);
      unpackedTotal += declared;
      // The caps are held before anything is allocated or inflated.
      const bool withinCaps = declared <= qrx::kMaxUnpackedFileSize && unpackedTotal <= qrx::kMaxUnpackedTableSize;
      Bytes unpacked(withinCaps ? declared : 0);
      uint64_t inflated = 0;
      if (!withinCaps ||
          qrx::InflateExactly(image.data() + at + qrx::kDeflatedPrefixSize, header.sizeLow - qrx::kDeflatedPrefixSize,
                              unpacked.data(), declared, inflated) != qrx::InflateOutcome::kOk) {
        error = "a deflated record that does not unpack to its declared size within the caps: " + page.name;
        return false;
      }
      page.data = std::move(unpacked);
      page.deflated = true;
    }
    pages.push_back(std::move(page));
    at += header.sizeLow;
  }
  if (trailer - at > 7 || std::any_of(image.begin() + at, image.begin() + trailer, [](uint8_t b) { return b != 0; })) {
    error = "unexpected bytes between the end record and the trailer";
    return false;
  }
  return true;
}

}  // namespace qrxpack
