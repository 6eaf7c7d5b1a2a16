#pragma once

// Little-endian integers on streams, as every file format of the program stores them.

#include <cstdint>
#include <cstring>
#include <string>

#include "base/stream.h"

namespace koru {

template <typename T>
T ReadLittleEndian(Stream& stream) {
  uint8_t bytes[sizeof(T)];
  stream.ReadExact(bytes, sizeof(T));
  uint64_t value = 0;
  for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<uint64_t>(bytes[i]) << (8 * i);
  T result;
  std::memcpy(&result, &value, sizeof(T));  // little-endian hosts only, as are all targets
  return result;
}

template <typename T>
void WriteLittleEndian(Stream& stream, T value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof(T));
  uint8_t bytes[sizeof(T)];
  for (size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
  stream.WriteExact(bytes, sizeof(T));
}

inline int32_t ReadInt32(Stream& s) { return ReadLittleEndian<int32_t>(s); }
inline uint32_t ReadUInt32(Stream& s) { return ReadLittleEndian<uint32_t>(s); }
inline int64_t ReadInt64(Stream& s) { return ReadLittleEndian<int64_t>(s); }
inline uint8_t ReadUInt8(Stream& s) { return ReadLittleEndian<uint8_t>(s); }
inline void WriteInt32(Stream& s, int32_t v) { WriteLittleEndian(s, v); }
inline void WriteUInt32(Stream& s, uint32_t v) { WriteLittleEndian(s, v); }
inline void WriteInt64(Stream& s, int64_t v) { WriteLittleEndian(s, v); }
inline void WriteUInt8(Stream& s, uint8_t v) { WriteLittleEndian(s, v); }

// Decodes/encodes little-endian integers in memory.
inline uint32_t LoadUInt32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t LoadInt32(const uint8_t* p) { return static_cast<int32_t>(LoadUInt32(p)); }
inline int64_t LoadInt64(const uint8_t* p) {
  return static_cast<int64_t>(static_cast<uint64_t>(LoadUInt32(p)) |
                              (static_cast<uint64_t>(LoadUInt32(p + 4)) << 32));
}
inline void StoreUInt32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreInt64(uint8_t* p, int64_t v) {
  const uint64_t u = static_cast<uint64_t>(v);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

}  // namespace koru
