// Unit tests of the portable archive library, built natively with AddressSanitizer and
// UndefinedBehaviorSanitizer. Archives are built in memory with the library's own writer and
// then damaged field by field; interoperability with other tools is checked by interop_test.py.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>

#include "zip/deflate_encoder.h"
#include "zip/zip_format.h"
#include "zip/zip_reader.h"
#include "zip/zip_writer.h"
#include "zip_test_util.h"

using namespace ziptest;
using namespace qrx::zipformat;

namespace {

int failures = 0;
int checks = 0;

#define CHECK(cond)                                                   \
  do {                                                                \
    ++checks;                                                         \
    if (!(cond)) {                                                    \
      ++failures;                                                     \
      fprintf(stderr, "%s:%d: CHECK failed: %s\n", __FILE__, __LINE__, #cond); \
    }                                                                 \
  } while (0)

struct Item {
  std::string name;
  std::string data;
  int level;
};

Bytes MakeArchive(const std::vector<Item>& items) {
  Bytes archive;
  Bytes directory;
  uint32_t count = 0;
  for (const Item& item : items) {
    qrx::NothrowArray<unsigned char> built;
    if (!qrx::BuildZipTail(directory.data(), directory.size(), count, archive.size(), item.name,
                           item.data.data(), item.data.size(), item.level, &built)) {
      fprintf(stderr, "BuildZipTail failed for %s\n", item.name.c_str());
      exit(2);
    }
    const Bytes tail(built.data(), built.data() + built.size());
    // The tail is entry + directory + end record; keep the entry, remember the new directory.
    const size_t entrySize = kLocalHeaderSize + item.name.size() +
                             Read32(&tail[18]);  // compressed size of the local header
    archive.insert(archive.end(), tail.begin(), tail.begin() + entrySize);
    directory.assign(tail.begin() + entrySize, tail.end() - kEndSize);
    ++count;
  }
  // The final archive: entries, directory, end record.
  archive.insert(archive.end(), directory.begin(), directory.end());
  unsigned char end[kEndSize] = {};
  Write32(end, kEndSignature);
  Write16(end + 8, static_cast<uint16_t>(count));
  Write16(end + 10, static_cast<uint16_t>(count));
  Write32(end + 12, static_cast<uint32_t>(directory.size()));
  Write32(end + 16, static_cast<uint32_t>(archive.size() - directory.size()));
  archive.insert(archive.end(), end, end + kEndSize);
  return archive;
}

struct Opened {
  Bytes bytes;
  qrx::ZipReader reader;
  bool ok = false;
  explicit Opened(Bytes b) : bytes(std::move(b)) {
    reader.Init(ReadMemory, &bytes);
    ok = reader.ReadCentralDirectory(bytes.size());
  }
};

bool Extract(Opened& opened, uint32_t index, std::string* out, Sink* sinkOut = nullptr) {
  Sink sink;
  if (sinkOut) sink.limit = sinkOut->limit;
  const bool ok = opened.reader.ExtractToCallback(index, WriteSink, &sink);
  if (out) *out = sink.data;
  if (sinkOut) *sinkOut = sink;
  return ok;
}

// Offsets of the first central record and of the first local header in an archive.
size_t CentralOffset(const Bytes& a) { return Read32(&a[a.size() - kEndSize + 16]); }

std::string Pattern(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>("abcdefgh"[i % 8] + (i / 1000) % 3);
  return s;
}

std::string Random(size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (auto& c : s) {
    seed = seed * 1103515245 + 12345;
    c = static_cast<char>(seed >> 16);
  }
  return s;
}

void RoundTrip() {
  const std::vector<Item> items = {
      {"stored.txt", "plain stored text", 0},
      {"deflated.txt", Pattern(200000), 9},
      {"random.bin", Random(150000, 7), 9},
      {"empty.txt", "", 9},
      {"docs/readme.txt", "read me", 9},
  };
  Opened o(MakeArchive(items));
  CHECK(o.ok);
  CHECK(o.reader.EntryCount() == items.size());
  for (uint32_t i = 0; i < items.size(); ++i) {
    qrx::ZipEntry e;
    CHECK(o.reader.GetEntry(i, &e));
    CHECK(e.name == items[i].name);
    CHECK(e.dosTime == 0 && e.dosDate == 0);
    CHECK(e.method == (items[i].level == 0 || items[i].data.empty() ? kMethodStored : kMethodDeflated));
    std::string out;
    CHECK(Extract(o, i, &out));
    CHECK(out == items[i].data);
    CHECK(!o.reader.IsDirectory(i));
  }
  // The empty entry succeeds without a single write.
  Sink sink;
  CHECK(o.reader.ExtractToCallback(3, WriteSink, &sink));
  CHECK(sink.calls == 0);
  // Out of range, and a reader that is not reading.
  qrx::ZipEntry e;
  CHECK(!o.reader.GetEntry(5, &e));
  CHECK(!Extract(o, 5, nullptr));
  o.reader.End();
  CHECK(!o.reader.GetEntry(0, &e));
  CHECK(!o.reader.IsReading());
}

void EmptyArchive() {
  Opened o(MakeArchive({}));
  CHECK(o.ok);
  CHECK(o.reader.EntryCount() == 0);
  Bytes tooSmall(21, 0);
  Opened small(tooSmall);
  CHECK(!small.ok);
}

void DirectoryTest() {
  Opened o(MakeArchive({{"folder/", "", 0}, {"attr", "", 0}, {"file", "x", 0}}));
  CHECK(o.ok);
  // Set the MS-DOS directory attribute on the second record.
  size_t at = CentralOffset(o.bytes);
  at += kCentralHeaderSize + Read16(&o.bytes[at + 28]);
  o.bytes[at + 38] = 0x10;
  Opened again(o.bytes);
  CHECK(again.reader.IsDirectory(0));
  CHECK(again.reader.IsDirectory(1));
  CHECK(!again.reader.IsDirectory(2));
}

// One deflated entry, damaged by `damage`; the extraction must fail (and never misbehave).
void ExpectEntryFails(const char* what, const std::function<void(Bytes&, size_t central, size_t local)>& damage) {
  Bytes a = MakeArchive({{"entry.txt", Pattern(5000), 9}});
  damage(a, CentralOffset(a), 0);
  Opened o(a);
  const bool ok = o.ok && Extract(o, 0, nullptr);
  if (ok) fprintf(stderr, "  damage not detected: %s\n", what);
  CHECK(!ok);
}

void DamagedEntries() {
  ExpectEntryFails("encrypted flag", [](Bytes& a, size_t c, size_t) { a[c + 8] |= 1; });
  ExpectEntryFails("patched flag", [](Bytes& a, size_t c, size_t) { a[c + 8] |= 0x20; });
  // Methods without a decoder here: bzip2, LZMA, zstd, xz, PPMd, and AES (99, always encrypted).
  for (const int method : {12, 14, 93, 95, 98}) {
    ExpectEntryFails(("method " + std::to_string(method)).c_str(),
                     [method](Bytes& a, size_t c, size_t) { a[c + 10] = static_cast<unsigned char>(method); });
  }
  ExpectEntryFails("AES", [](Bytes& a, size_t c, size_t) { a[c + 8] |= 1; a[c + 10] = 99; });
  ExpectEntryFails("method 99 without the flag", [](Bytes& a, size_t c, size_t) { a[c + 10] = 99; });
  ExpectEntryFails("local signature", [](Bytes& a, size_t, size_t l) { a[l] = 'X'; });
  ExpectEntryFails("crc", [](Bytes& a, size_t c, size_t) { a[c + 16] ^= 1; });
  ExpectEntryFails("corrupt data", [](Bytes& a, size_t, size_t) { a[kLocalHeaderSize + 9 + 3] ^= 0xFF; });
  ExpectEntryFails("uncompressed size larger", [](Bytes& a, size_t c, size_t) { a[c + 24] += 1; });
  ExpectEntryFails("uncompressed size smaller", [](Bytes& a, size_t c, size_t) { a[c + 24] -= 1; });
  ExpectEntryFails("compressed size short", [](Bytes& a, size_t c, size_t) { Write32(&a[c + 20], 10); });
  ExpectEntryFails("local name length past the end", [](Bytes& a, size_t, size_t l) { Write16(&a[l + 26], 0xFFFF); });

  // Stored entries with sizes that disagree.
  Bytes a = MakeArchive({{"s", "stored data", 0}});
  Write32(&a[CentralOffset(a) + 24], 5);
  Opened o(a);
  CHECK(o.ok && !Extract(o, 0, nullptr));

  // Both sizes zero but a method we cannot read still fails.
  Bytes z = MakeArchive({{"z", "", 0}});
  z[CentralOffset(z) + 10] = 14;
  Opened oz(z);
  CHECK(oz.ok && !Extract(oz, 0, nullptr));

  // A write callback that takes less than it is given fails the entry.
  Opened w(MakeArchive({{"w", Pattern(100000), 9}}));
  Sink limited;
  limited.limit = 1000;
  CHECK(w.ok && !Extract(w, 0, nullptr, &limited));
}

void DamagedDirectory() {
  const Bytes good = MakeArchive({{"a", "alpha", 9}, {"b", "beta", 9}});
  const size_t end = good.size() - kEndSize;
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
  };
  const std::vector<Case> cases = {
      {"entry count larger than the directory holds", [&](Bytes& a) { Write16(&a[end + 8], 60000); Write16(&a[end + 10], 60000); }},
      {"count one more", [&](Bytes& a) { Write16(&a[end + 8], 3); Write16(&a[end + 10], 3); }},
      {"directory offset past the end", [&](Bytes& a) { Write32(&a[end + 16], 0xFFFFFF00); }},
      {"directory size past the end", [&](Bytes& a) { Write32(&a[end + 12], 0x7FFFFFFF); }},
      {"spanned archive", [&](Bytes& a) { Write16(&a[end + 4], 1); }},
      {"central signature", [&](Bytes& a) { a[CentralOffset(a)] = 'Q'; }},
      {"name length past the directory", [&](Bytes& a) { Write16(&a[CentralOffset(a) + 28], 0x4000); }},
      {"local offset past the end", [&](Bytes& a) { Write32(&a[CentralOffset(a) + 42], 0xFFFFFFF0); }},
      {"compressed size past the end", [&](Bytes& a) { Write32(&a[CentralOffset(a) + 20], 0xFFFFFF00); }},
      {"zip64 extra field cut short", [&](Bytes& a) {
         // Sizes say "see the Zip64 field" but the field is too short.
         const size_t c = CentralOffset(a);
         Write32(&a[c + 24], 0xFFFFFFFF);
         Write16(&a[c + 30], 0);
       }},
  };
  for (const Case& c : cases) {
    Bytes a = good;
    c.damage(a);
    Opened o(a);
    bool allOk = o.ok;
    for (uint32_t i = 0; allOk && i < o.reader.EntryCount(); ++i) allOk = Extract(o, i, nullptr);
    if (allOk) fprintf(stderr, "  damage not detected: %s\n", c.what);
    CHECK(!allOk);
  }
  // Every prefix of a good archive: rejected or read, never out of bounds (the sanitizers watch).
  for (size_t n = 0; n < good.size(); ++n) {
    Opened o(Bytes(good.begin(), good.begin() + n));
    CHECK(!o.ok);
  }
  // A comment with a fake end record inside still finds the real one.
  Bytes commented = good;
  const std::string comment = "PK\x05\x06 fake end record";
  Write16(&commented[end + 20], static_cast<uint16_t>(comment.size()));
  commented.insert(commented.end(), comment.begin(), comment.end());
  Opened oc(commented);
  CHECK(oc.ok && oc.reader.EntryCount() == 2);
}

// An archive of one entry with Zip64 records: the central record's sizes and offset in its Zip64
// extra field, and a Zip64 end record and locator before a classic end record that holds only
// escape values (disk numbers too when `escapeDisks`).
struct Zip64Archive {
  Bytes bytes;
  size_t zip64End = 0;  // where the Zip64 end record starts
  size_t locator = 0;
  uint32_t compressed = 0;
};

Zip64Archive MakeZip64(const std::string& data, bool escapeDisks) {
  Zip64Archive result;
  Bytes a = MakeArchive({{"big", data, 9}});
  const size_t central = CentralOffset(a);
  result.compressed = Read32(&a[central + 20]);
  // Rebuild the central record with a Zip64 extra field.
  Bytes record(a.begin() + central, a.begin() + central + kCentralHeaderSize + 3);
  Write32(&record[20], 0xFFFFFFFF);
  Write32(&record[24], 0xFFFFFFFF);
  Write32(&record[42], 0xFFFFFFFF);
  Write16(&record[30], 28);
  unsigned char extra[28] = {};
  Write16(extra, kZip64ExtraId);
  Write16(extra + 2, 24);
  Write32(extra + 4, static_cast<uint32_t>(data.size()));
  Write32(extra + 12, result.compressed);
  Write32(extra + 20, 0);
  record.insert(record.end(), extra, extra + sizeof extra);

  Bytes& z = result.bytes;
  z.assign(a.begin(), a.begin() + central);
  z.insert(z.end(), record.begin(), record.end());
  result.zip64End = z.size();
  unsigned char end64[kZip64EndSize] = {};
  Write32(end64, kZip64EndSignature);
  Write32(end64 + 4, kZip64EndSize - 12);
  Write32(end64 + 24, 1);
  Write32(end64 + 32, 1);
  Write32(end64 + 40, static_cast<uint32_t>(record.size()));
  Write32(end64 + 48, static_cast<uint32_t>(central));
  z.insert(z.end(), end64, end64 + sizeof end64);
  result.locator = z.size();
  unsigned char locator[kZip64LocatorSize] = {};
  Write32(locator, kZip64LocatorSignature);
  Write32(locator + 8, static_cast<uint32_t>(result.zip64End));
  Write32(locator + 16, 1);
  z.insert(z.end(), locator, locator + sizeof locator);
  unsigned char end[kEndSize] = {};
  Write32(end, kEndSignature);
  if (escapeDisks) {
    Write16(end + 4, 0xFFFF);
    Write16(end + 6, 0xFFFF);
  }
  Write16(end + 8, 0xFFFF);
  Write16(end + 10, 0xFFFF);
  Write32(end + 12, 0xFFFFFFFF);
  Write32(end + 16, 0xFFFFFFFF);
  z.insert(z.end(), end, end + kEndSize);
  return result;
}

Bytes Framed(const Bytes& archive, size_t prefix, size_t suffix) {
  Bytes out(prefix, 'p');
  out.insert(out.end(), archive.begin(), archive.end());
  out.insert(out.end(), suffix, 's');
  return out;
}

void Zip64() {
  const std::string data = Pattern(3000);
  struct Variant {
    bool escapeDisks;
    size_t prefix;
    size_t suffix;
  };
  for (const Variant& v : {Variant{false, 0, 0}, Variant{true, 0, 0}, Variant{true, 89, 0},
                           Variant{true, 89, 700}, Variant{false, 4096, 3}}) {
    const Zip64Archive z = MakeZip64(data, v.escapeDisks);
    Opened o(Framed(z.bytes, v.prefix, v.suffix));
    if (!o.ok) fprintf(stderr, "  zip64 not read: disks %d prefix %zu suffix %zu\n", v.escapeDisks, v.prefix, v.suffix);
    CHECK(o.ok);
    CHECK(o.reader.EntryCount() == 1);
    CHECK(o.reader.PrefixSize() == v.prefix);
    qrx::ZipEntry e;
    CHECK(o.reader.GetEntry(0, &e) && e.uncompressedSize == data.size() && e.compressedSize == z.compressed &&
          e.localHeaderOffset == v.prefix);
    std::string out;
    CHECK(Extract(o, 0, &out) && out == data);
  }

  const Zip64Archive z = MakeZip64(data, true);
  // A locator whose offset misses the record (it does not count a prefix) still finds the record
  // right before it.
  Bytes missed = z.bytes;
  Write32(&missed[z.locator + 8], static_cast<uint32_t>(z.zip64End + 1));
  Opened om(missed);
  std::string got;
  CHECK(om.ok && Extract(om, 0, &got) && got == data);

  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
  };
  const std::vector<Case> refused = {
      // The Zip64 record's count must fit its directory.
      {"count past the directory", [&](Bytes& a) { Write32(&a[z.zip64End + 24], 1000); Write32(&a[z.zip64End + 32], 1000); }},
      {"record on another disk", [&](Bytes& a) { Write32(&a[z.zip64End + 16], 1); }},
      {"directory on another disk", [&](Bytes& a) { Write32(&a[z.zip64End + 20], 2); }},
      {"locator on another disk", [&](Bytes& a) { Write32(&a[z.locator + 4], 1); }},
      {"two disks", [&](Bytes& a) { Write32(&a[z.locator + 16], 2); }},
      {"classic disk number that is no escape", [&](Bytes& a) { Write16(&a[z.locator + kZip64LocatorSize + 4], 1); }},
      {"entries on this disk differ", [&](Bytes& a) { Write32(&a[z.zip64End + 24], 0); }},
      // Escape values are no values without the Zip64 records.
      {"no locator", [&](Bytes& a) { a[z.locator] = 'Q'; }},
      {"no record", [&](Bytes& a) { a[z.zip64End] = 'Q'; }},
      {"directory size past the record", [&](Bytes& a) { Write32(&a[z.zip64End + 40], 1000); }},
  };
  for (const Case& c : refused) {
    Bytes bad = z.bytes;
    c.damage(bad);
    Opened o(bad);
    if (o.ok) fprintf(stderr, "  zip64 damage not detected: %s\n", c.what);
    CHECK(!o.ok);
  }
}

// Raw deflate of `data` at `level`, as the writer makes it.
Bytes Deflated(const std::string& data, int level) {
  z_stream stream{};
  deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (status != Z_STREAM_END) exit(2);
  return out;
}

// True when inflating `compressed` in 64 KiB input pieces into a 64 KiB output buffer reaches a
// call that takes the last input byte and fills the buffer before the stream ends: the inflater
// then still owes output although no input is left.
bool OwesOutputAfterLastInput(const Bytes& compressed) {
  const size_t chunk = 64 * 1024;
  z_stream stream{};
  inflateInit2(&stream, -MAX_WBITS);
  Bytes output(chunk);
  size_t consumed = 0;
  bool owes = false;
  for (;;) {
    if (stream.avail_in == 0) {
      if (consumed == compressed.size()) break;
      const size_t n = std::min(chunk, compressed.size() - consumed);
      stream.next_in = const_cast<Bytef*>(compressed.data() + consumed);
      stream.avail_in = static_cast<uInt>(n);
      consumed += n;
    }
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    const int status = inflate(&stream, Z_NO_FLUSH);
    if (status == Z_STREAM_END || (status != Z_OK && status != Z_BUF_ERROR)) break;
    if (stream.avail_in == 0 && consumed == compressed.size() && stream.avail_out == 0) {
      owes = true;
      break;
    }
  }
  inflateEnd(&stream);
  return owes;
}

// One deflated entry as a streaming writer leaves it: general-purpose bit 3, zero CRC and sizes
// in the local header, a data descriptor after the data, the real values in the central record.
// `prefix` bytes go in front without being counted by any offset, `suffix` bytes after the end.
Bytes StreamedArchive(const std::string& name, const std::string& data, int level, size_t prefix = 0,
                      size_t suffix = 0) {
  const Bytes packed = Deflated(data, level);
  const uint32_t crc = static_cast<uint32_t>(
      crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
  Bytes a;
  unsigned char local[kLocalHeaderSize] = {};
  Write32(local, kLocalHeaderSignature);
  Write16(local + 4, 20);
  Write16(local + 6, kFlagDataDescriptor);
  Write16(local + 8, kMethodDeflated);
  Write16(local + 26, static_cast<uint16_t>(name.size()));
  a.insert(a.end(), local, local + sizeof local);
  a.insert(a.end(), name.begin(), name.end());
  a.insert(a.end(), packed.begin(), packed.end());
  unsigned char descriptor[16];
  Write32(descriptor, 0x08074B50);
  Write32(descriptor + 4, crc);
  Write32(descriptor + 8, static_cast<uint32_t>(packed.size()));
  Write32(descriptor + 12, static_cast<uint32_t>(data.size()));
  a.insert(a.end(), descriptor, descriptor + sizeof descriptor);
  const size_t central = a.size();
  unsigned char record[kCentralHeaderSize] = {};
  Write32(record, kCentralHeaderSignature);
  Write16(record + 4, 20);
  Write16(record + 6, 20);
  Write16(record + 8, kFlagDataDescriptor);
  Write16(record + 10, kMethodDeflated);
  Write32(record + 16, crc);
  Write32(record + 20, static_cast<uint32_t>(packed.size()));
  Write32(record + 24, static_cast<uint32_t>(data.size()));
  Write16(record + 28, static_cast<uint16_t>(name.size()));
  a.insert(a.end(), record, record + sizeof record);
  a.insert(a.end(), name.begin(), name.end());
  unsigned char end[kEndSize] = {};
  Write32(end, kEndSignature);
  Write16(end + 8, 1);
  Write16(end + 10, 1);
  Write32(end + 12, static_cast<uint32_t>(a.size() - central));
  Write32(end + 16, static_cast<uint32_t>(central));
  a.insert(a.end(), end, end + kEndSize);
  return Framed(a, prefix, suffix);
}

// A deflated entry whose last input is taken by a call that fills the output buffer: the rest of
// the output comes from further calls without input.
void OutputOwedAfterLastInput() {
  const std::string zeros(262304, '\0');  // four 64 KiB buffers and 160 bytes
  CHECK(OwesOutputAfterLastInput(Deflated(zeros, 9)));
  Opened o(StreamedArchive("setup.dat", zeros, 9));
  CHECK(o.ok);
  std::string out;
  CHECK(Extract(o, 0, &out) && out == zeros);

  // The same around many multiples of 64 KiB and levels, compressible data of several kinds.
  int owed = 0, cases = 0;
  for (const int level : {6, 9}) {
    for (size_t blocks = 1; blocks <= 4; ++blocks) {
      for (size_t extra = 0; extra < 2400; extra += 53) {
        const std::string data = blocks % 2 ? std::string(blocks * 65536 + extra, '\0')
                                            : std::string(blocks * 65536 + extra, 'a') + "end";
        const Bytes packed = Deflated(data, level);
        if (OwesOutputAfterLastInput(packed)) ++owed;
        ++cases;
        Opened oc(StreamedArchive("f", data, level));
        std::string got;
        const bool ok = oc.ok && Extract(oc, 0, &got) && got == data;
        if (!ok) fprintf(stderr, "  owed-output case failed: level %d, %zu bytes\n", level, data.size());
        CHECK(ok);
      }
    }
  }
  printf("owed-output cases: %d of %d\n", owed, cases);
  CHECK(owed >= 5);

  // The bounds stay: data that stops early, a recorded size one short or one long, a bad CRC.
  const size_t central = o.bytes.size() - kEndSize - kCentralHeaderSize - 9;
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
  };
  const std::vector<Case> cases2 = {
      {"compressed size one short", [&](Bytes& a) { Write32(&a[central + 20], Read32(&a[central + 20]) - 1); }},
      {"uncompressed size one short", [&](Bytes& a) { Write32(&a[central + 24], Read32(&a[central + 24]) - 1); }},
      {"uncompressed size one long", [&](Bytes& a) { Write32(&a[central + 24], Read32(&a[central + 24]) + 1); }},
      {"crc", [&](Bytes& a) { a[central + 16] ^= 1; }},
  };
  for (const Case& c : cases2) {
    Bytes bad = o.bytes;
    c.damage(bad);
    Opened ob(bad);
    Sink sink;
    const bool ok = ob.ok && Extract(ob, 0, nullptr, &sink);
    if (ok) fprintf(stderr, "  damage not detected: %s\n", c.what);
    CHECK(!ok);
    CHECK(sink.data.size() <= zeros.size());
  }
}

// Data in front of the archive that no offset counts, and data after the end record.
void PrefixedAndSuffixed() {
  const std::vector<Item> items = {{"setup.exe", Random(70000, 3), 9}, {"docs/a.txt", Pattern(90000), 6},
                                   {"s.txt", "stored", 0}};
  const Bytes plain = MakeArchive(items);
  struct Variant {
    size_t prefix;
    size_t suffix;
  };
  for (const Variant& v : {Variant{89, 0}, Variant{0, 500}, Variant{89, 1000}, Variant{1, 1}, Variant{300000, 0}}) {
    Opened o(Framed(plain, v.prefix, v.suffix));
    if (!o.ok) fprintf(stderr, "  not read: prefix %zu suffix %zu\n", v.prefix, v.suffix);
    CHECK(o.ok);
    CHECK(o.reader.EntryCount() == items.size());
    CHECK(o.reader.PrefixSize() == v.prefix);
    CHECK(o.reader.CentralDirectoryOffset() == CentralOffset(plain) + v.prefix);
    for (uint32_t i = 0; o.ok && i < items.size(); ++i) {
      std::string out;
      CHECK(Extract(o, i, &out) && out == items[i].data);
    }
  }
  // The streamed shape with the prefix of a padded download.
  const std::string text = Pattern(262304);
  Opened s(StreamedArchive("big.txt", text, 9, 89, 40));
  std::string out;
  CHECK(s.ok && s.reader.PrefixSize() == 89 && Extract(s, 0, &out) && out == text);

  // Bytes between the directory and the end record, with offsets that count everything: read
  // where the records say.
  Bytes gap = plain;
  gap.insert(gap.end() - kEndSize, 100, 'g');
  Opened og(gap);
  CHECK(og.ok && og.reader.PrefixSize() == 0 && Extract(og, 1, &out) && out == items[1].data);

  // With the shift applied every offset is checked as strictly as without one.
  const Bytes prefixed = Framed(plain, 89, 0);
  const size_t c = CentralOffset(plain) + 89;
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
  };
  const std::vector<Case> refused = {
      {"local offset past the end once shifted",
       [&](Bytes& a) { Write32(&a[c + 42], static_cast<uint32_t>(a.size() - 89 - kLocalHeaderSize + 1)); }},
      {"compressed size past the end once shifted",
       [&](Bytes& a) { Write32(&a[c + 20], static_cast<uint32_t>(a.size() - 89 - kLocalHeaderSize - 9 + 1)); }},
      {"local header not where the shifted offset points", [&](Bytes& a) { Write32(&a[c + 42], 1); }},
      {"no directory at either position", [&](Bytes& a) { a[c] = 'Q'; }},
  };
  for (const Case& k : refused) {
    Bytes bad = prefixed;
    k.damage(bad);
    Opened o(bad);
    bool allOk = o.ok;
    for (uint32_t i = 0; allOk && i < o.reader.EntryCount(); ++i) allOk = Extract(o, i, nullptr);
    if (allOk) fprintf(stderr, "  damage not detected: %s\n", k.what);
    CHECK(!allOk);
  }
  // A directory that would end after the end record starts.
  Bytes over = prefixed;
  Write32(&over[over.size() - kEndSize + 16], static_cast<uint32_t>(CentralOffset(plain) + 90));
  CHECK(!Opened(over).ok);
}

Bytes LoadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriterInPlace() {
  char folder[] = "/tmp/zipnativeXXXXXX";
  if (!mkdtemp(folder)) {
    CHECK(false);
    return;
  }
  const std::string path = std::string(folder) + "/log.zip";
  const std::string first = Pattern(10000), second = "second";
  CHECK(qrx::ZipAddMemoryToArchiveFileInPlace(path.c_str(), "log.txt", first.data(), first.size(), 9));
  CHECK(qrx::ZipAddMemoryToArchiveFileInPlace(path.c_str(), "log.txt", second.data(), second.size(), 9));
  CHECK(qrx::ZipAddMemoryToArchiveFileInPlace(path.c_str(), "empty", "", 0, 9));
  Opened o(LoadFile(path));
  CHECK(o.ok && o.reader.EntryCount() == 3);
  std::string out;
  CHECK(Extract(o, 0, &out) && out == first);
  CHECK(Extract(o, 1, &out) && out == second);
  qrx::ZipEntry e;
  CHECK(o.reader.GetEntry(1, &e) && e.name == "log.txt");
  CHECK(o.reader.GetEntry(2, &e) && e.uncompressedSize == 0 && e.method == kMethodStored);

  // A failed creation leaves no archive behind.
  const std::string created = std::string(folder) + "/created.zip";
  CHECK(!qrx::ZipAddMemoryToArchiveFileInPlace(created.c_str(), "x", "x", 1, 42));
  CHECK(access(created.c_str(), F_OK) != 0);
  // A file that is not an archive is left as it was.
  const std::string notZip = std::string(folder) + "/not.zip";
  { std::ofstream(notZip, std::ios::binary) << "not an archive at all, not at all"; }
  const Bytes before = LoadFile(notZip);
  CHECK(!qrx::ZipAddMemoryToArchiveFileInPlace(notZip.c_str(), "x", "x", 1, 9));
  CHECK(LoadFile(notZip) == before);
  // An archive whose end record carries a long comment would keep stale bytes: refused, untouched.
  Bytes commented = LoadFile(path);
  const std::string comment(2000, 'c');
  Write16(&commented[commented.size() - 2], static_cast<uint16_t>(comment.size()));
  commented.insert(commented.end(), comment.begin(), comment.end());
  const std::string commentedPath = std::string(folder) + "/commented.zip";
  { std::ofstream(commentedPath, std::ios::binary).write(reinterpret_cast<const char*>(commented.data()), commented.size()); }
  CHECK(!qrx::ZipAddMemoryToArchiveFileInPlace(commentedPath.c_str(), "x", "x", 1, 9));
  CHECK(LoadFile(commentedPath) == commented);
  // A folder that does not exist.
  CHECK(!qrx::ZipAddMemoryToArchiveFileInPlace((std::string(folder) + "/no/such.zip").c_str(), "x", "x", 1, 9));

  unlink(path.c_str());
  unlink(notZip.c_str());
  unlink(commentedPath.c_str());
  rmdir(folder);
}

}  // namespace

// Inflates a raw deflate stream with zlib; false when zlib does not read it to its end.
bool InflateAll(const qrx::NothrowArray<unsigned char>& packed, std::string& out) {
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
  stream.next_in = const_cast<unsigned char*>(packed.data());
  stream.avail_in = static_cast<uInt>(packed.size());
  char buffer[65536];
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    status = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  return status == Z_STREAM_END && stream.avail_in == 0;
}

// Our encoder's streams, read back by zlib: edges of the match search (the window's far end,
// the longest match, overlapping repeats) and data that does not compress.
void DeflateEncoder() {
  std::string random(100000, '\0');
  uint32_t seed = 12345;
  for (char& c : random) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  std::string text;
  for (int i = 0; text.size() < 300000; ++i) {
    text += "[2026-12-09 00:00:" + std::to_string(i % 60) + "] DEBUG Property lang: en, line " + std::to_string(i) + "\r\n";
  }
  const std::string block = random.substr(0, 40000);
  const struct {
    const char* name;
    std::string data;
    size_t most;  // largest acceptable stream
  } rows[] = {
      {"empty", "", 2},
      {"one byte", "x", 3},
      {"three bytes", "abc", 5},
      {"a run (overlapping repeat)", std::string(100000, 'a'), 1000},
      {"longest matches", std::string(258 * 7 + 1, 'b'), 40},
      {"repeat at the window's far end", block.substr(0, 100) + random.substr(50000, 32668) + block.substr(0, 100),
       32868 * 9 / 8 + 8},
      {"repeat just past the window", block.substr(0, 100) + random.substr(50000, 32669) + block.substr(0, 100),
       32869 * 9 / 8 + 8 + 100},
      {"incompressible", random, random.size() * 9 / 8 + 8},
      {"log text", text, text.size() / 4},
      {"all byte values", [] { std::string s; for (int i = 0; i < 256 * 4; ++i) s += static_cast<char>(i); return s; }(),
       256 * 4 * 9 / 8 + 8},
  };
  for (const auto& row : rows) {
    qrx::NothrowArray<unsigned char> packed;
    const bool ok = qrx::DeflateFixedHuffman(reinterpret_cast<const unsigned char*>(row.data.data()), row.data.size(),
                                             &packed);
    CHECK(ok);
    std::string back;
    CHECK(InflateAll(packed, back));
    CHECK(back == row.data);
    if (packed.size() > row.most) fprintf(stderr, "  %s: %zu bytes, more than %zu\n", row.name, packed.size(), row.most);
    CHECK(packed.size() <= row.most);
  }
}

int main() {
  DeflateEncoder();
  RoundTrip();
  EmptyArchive();
  DirectoryTest();
  DamagedEntries();
  DamagedDirectory();
  Zip64();
  OutputOwedAfterLastInput();
  PrefixedAndSuffixed();
  WriterInPlace();
  printf("zip native tests: %d checks, %d failed\n", checks, failures);
  return failures == 0 ? 0 : 1;
}
