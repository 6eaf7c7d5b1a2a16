#include "storage/directory_codec.h"

#include "base/binary_io.h"
#include "storage/vrfiles.h"

namespace koru::directory_codec {
namespace {

void Append32(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t bytes[4];
  StoreUInt32(bytes, value);
  out.insert(out.end(), bytes, bytes + 4);
}

void Append64(std::vector<uint8_t>& out, int64_t value) {
  uint8_t bytes[8];
  StoreInt64(bytes, value);
  out.insert(out.end(), bytes, bytes + 8);
}

}  // namespace

void ScrambleName(TKwRandom& random, std::string& name) {
  for (char& c : name) c = static_cast<char>(static_cast<uint8_t>(c) ^ (random.Next() & 0xFF));
}

std::vector<uint8_t> EncodeHeader(int32_t count) {
  std::vector<uint8_t> out = {'v', 'f'};
  Append32(out, static_cast<uint32_t>(kArchiveVersion));
  Append32(out, static_cast<uint32_t>(count));
  return out;
}

std::vector<uint8_t> EncodeNames(const std::vector<const TVrFile*>& entries) {
  std::vector<uint8_t> out;
  TKwRandom random(kDirectorySeed);
  for (const TVrFile* entry : entries) {
    std::string name = entry->Name();
    ScrambleName(random, name);
    Append32(out, static_cast<uint32_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
  }
  return out;
}

std::vector<uint8_t> EncodeTables(const std::vector<int64_t>& offsets,
                                  const std::vector<const TVrFile*>& entries) {
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(TableBytes(static_cast<int64_t>(entries.size()))));
  TKwRandom random(kDirectorySeed);
  for (int64_t offset : offsets) Append64(out, ScrambleOffset64(random, offset));
  for (const TVrFile* entry : entries) out.push_back(entry->Uncompressed ? 1 : 0);
  for (const TVrFile* entry : entries) Append32(out, entry->FileTime);
  for (const TVrFile* entry : entries) Append32(out, entry->Crc);
  for (const TVrFile* entry : entries) out.push_back(entry->SeparateFile ? 1 : 0);
  return out;
}

}  // namespace koru::directory_codec
