#pragma once

// A small writer of "vf" archives in every layout the reader accepts, independent of the
// production writer, so that the reader is checked against the format and not against
// itself.

#include <cstdint>
#include <string>
#include <vector>

#include "base/binary_io.h"
#include "base/stream.h"
#include "storage/compression.h"
#include "storage/rands.h"

namespace koru::testing {

inline constexpr uint32_t kSeed = 0x5C2A9D17;
// Layout selector: no "vf" signature at all.
inline constexpr int kNoSignature = -1;

struct FixtureEntry {
  std::string name;
  std::string content;  // uncompressed
  bool compress = true;
  uint32_t file_time = 0;
  uint32_t crc = 0;
  bool separate = false;
};

inline std::string Deflate(const std::string& content) {
  MemoryStream stream(std::vector<uint8_t>(content.begin(), content.end()));
  CompressStream(stream, kCompressDefault);
  return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

inline void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}
inline void Put64(std::string& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// The stored bytes of an entry as the fixture writes them.
inline std::string Stored(const FixtureEntry& e) {
  return e.compress ? Deflate(e.content) : e.content;
}

// The directory alone, with offsets relative to data_base (the position of the first
// stored byte as the reader will see it).
inline std::string BuildDirectory(int version, const std::vector<FixtureEntry>& entries,
                                  int64_t data_base) {
  std::string out;
  if (version != kNoSignature) {
    out += "vf";
    Put32(out, static_cast<uint32_t>(version));
  }
  Put32(out, static_cast<uint32_t>(entries.size()));
  TKwRandom names(kSeed);
  for (const FixtureEntry& e : entries) {
    Put32(out, static_cast<uint32_t>(e.name.size()));
    for (char c : e.name) {
      out.push_back(version >= 100 ? static_cast<char>(c ^ (names.Next() & 0xFF)) : c);
    }
  }
  TKwRandom offsets(kSeed);
  int64_t offset = data_base;
  std::vector<int64_t> values;
  for (const FixtureEntry& e : entries) {
    values.push_back(offset);
    offset += static_cast<int64_t>(Stored(e).size());
  }
  values.push_back(offset);
  for (int64_t v : values) {
    if (version >= 101) {
      Put64(out, static_cast<uint64_t>(v ^ static_cast<int64_t>(offsets.Next())));
    } else if (version == 100) {
      Put32(out, static_cast<uint32_t>(v) ^ static_cast<uint32_t>(offsets.Next()));
    } else {
      Put32(out, static_cast<uint32_t>(v));
    }
  }
  if (version >= 101) {
    for (const FixtureEntry& e : entries) out.push_back(e.compress ? 0 : 1);
    for (const FixtureEntry& e : entries) Put32(out, e.file_time);
    for (const FixtureEntry& e : entries) Put32(out, e.crc);
    if (version >= 102) {
      for (const FixtureEntry& e : entries) out.push_back(e.separate ? 1 : 0);
    }
  }
  return out;
}

// Size of the directory of entries in the given layout.
inline int64_t DirectorySize(int version, const std::vector<FixtureEntry>& entries) {
  return static_cast<int64_t>(BuildDirectory(version, entries, 0).size());
}

// A whole archive: directory, then the stored bytes. Layouts below 101 have no flags, so
// their entries must all be compressed.
inline std::string BuildArchive(int version, const std::vector<FixtureEntry>& entries) {
  std::string out = BuildDirectory(version, entries, DirectorySize(version, entries));
  for (const FixtureEntry& e : entries) out += Stored(e);
  return out;
}

inline std::vector<uint8_t> Bytes(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

}  // namespace koru::testing
