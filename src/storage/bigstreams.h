#pragma once

// Streams with signed 64-bit sizes, positions and counts for archive data: a file split
// into numbered 1 GiB volumes, a memory block, a module resource, and a read-ahead reader
// that serves the directory's many small reads from one large read.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "platform/file_system.h"
#include "platform/system.h"

namespace koru {

class TKwBigStream {
 public:
  virtual ~TKwBigStream() = default;

  virtual int64_t GetSize() { return 0; }
  virtual int64_t GetPosition() { return 0; }
  virtual void SetPosition(int64_t position) {}
  // Writes count bytes at the position; returns the bytes written.
  virtual int64_t Write(const void* buffer, int64_t count) { return 0; }
  // Reads up to count bytes at the position; returns the bytes read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) { return 0; }
  // Copies count bytes from source's position (0 = all of source from its start) to
  // this stream's position; returns the bytes copied.
  virtual int64_t CopyFromBig(TKwBigStream& source, int64_t count) { return 0; }
  // The same from an ordinary stream.
  virtual int64_t CopyFromStream(Stream& source, int64_t count) { return 0; }
  // Copies count bytes from this stream's position to dest; returns the bytes copied.
  virtual int64_t CopyToStream(Stream& dest, int64_t count) { return 0; }

  // Reads exactly count bytes or throws KoruError(kStreamReadError).
  void ReadExact(void* buffer, int64_t count);
  // Writes exactly count bytes or throws KoruError(kStreamWriteError).
  void WriteExact(const void* buffer, int64_t count);
  // Bytes between the position and the end (never negative).
  int64_t Remaining();

  TKwBigStream() = default;
  TKwBigStream(const TKwBigStream&) = delete;
  TKwBigStream& operator=(const TKwBigStream&) = delete;
};

// Open modes in the platform library's file-mode values: the low 4 bits are the access
// (0 read, 1 write, 2 read and write), bits 4 to 7 the sharing; 0xFFFF creates.
inline constexpr uint16_t kModeRead = 0x20;         // read, others may read
inline constexpr uint16_t kModeReadWrite = 0x22;    // read and write, others may read
inline constexpr uint16_t kModeCreate = 0xFFFF;     // delete the old volumes, start empty
inline constexpr int64_t kVolumeSize = 0x40000000;  // 1 GiB per volume file

// The options under which volumes of an existing file open in the given mode.
platform::OpenOptions OpenOptionsForMode(uint16_t mode);

// The file name of volume index of the data file file_name: file_name itself for 0, then
// Format("%s.%.3d", file_name without its extension, index): game.dat, game.001, ...
std::string VolumeFileName(const std::string& file_name, int index);

// One stream over a data file and its numbered volumes. Every volume but the last holds
// exactly kVolumeSize bytes; a write fills a volume to 1 GiB before it starts the next.
class TKwBigFileStream : public TKwBigStream {
 public:
  // Read modes (access 0 or 2) open every existing volume from 0 up to the first missing
  // one; write-only and create modes delete those volumes and start empty. Throws
  // KoruError when a volume cannot be opened or deleted, and "ファイルが破壊されています"
  // when a volume other than the last is shorter than 1 GiB.
  TKwBigFileStream(platform::FileSystem& files, std::string file_name, uint16_t mode);
  // Flushes the volumes of a stream opened for writing, then closes them.
  ~TKwBigFileStream() override;

  int64_t GetSize() override;
  int64_t GetPosition() override { return position_; }
  // Positions beyond the size are taken as the size, negative ones as 0.
  void SetPosition(int64_t position) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Read(void* buffer, int64_t count) override;
  // Throws KoruError(kStreamReadError) when source ends before count bytes.
  int64_t CopyFromBig(TKwBigStream& source, int64_t count) override;
  int64_t CopyFromStream(Stream& source, int64_t count) override;
  // A count of 0 copies nothing. Throws KoruError(kStreamReadError) when this stream ends
  // before count bytes.
  int64_t CopyToStream(Stream& dest, int64_t count) override;

  const std::string& FileName() const { return file_name_; }
  uint16_t Mode() const { return mode_; }
  int VolumeCount() const { return static_cast<int>(volumes_.size()); }
  std::string VolumeFileName(int index) const { return koru::VolumeFileName(file_name_, index); }
  // Forces written data of every volume to the disc.
  void Flush();

 private:
  bool Writable() const;
  // Volume index, creating it when a write reaches the next one.
  platform::File& VolumeForWrite(int64_t index);
  // Copies count bytes from source into the volumes at the position; piece(volume, n)
  // moves n bytes into volume at its position.
  template <typename MovePiece>
  int64_t WritePieces(int64_t count, MovePiece move_piece);

  platform::FileSystem& files_;
  std::string file_name_;
  uint16_t mode_;
  int64_t position_ = 0;
  std::vector<std::unique_ptr<platform::File>> volumes_;
};

// A big stream over an owned in-memory stream.
class TKwBigMemoryStream : public TKwBigStream {
 public:
  TKwBigMemoryStream() = default;
  explicit TKwBigMemoryStream(std::vector<uint8_t> bytes) : memory_(std::move(bytes)) {}

  // Replaces the contents with the whole file; position 0.
  void LoadFromFile(platform::FileSystem& files, const std::string& file_name);

  int64_t GetSize() override { return memory_.GetSize(); }
  int64_t GetPosition() override { return memory_.GetPosition(); }
  void SetPosition(int64_t position) override { memory_.SetPosition(position); }
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Read(void* buffer, int64_t count) override;
  // Only from another TKwBigMemoryStream; from any other class nothing is copied and the
  // result is 0.
  int64_t CopyFromBig(TKwBigStream& source, int64_t count) override;
  int64_t CopyFromStream(Stream& source, int64_t count) override;
  // A count of 0 copies the whole content from its start.
  int64_t CopyToStream(Stream& dest, int64_t count) override;

  MemoryStream& Memory() { return memory_; }

 private:
  MemoryStream memory_;
};

// A read-only big stream over a module resource, which it keeps loaded.
class TKwBigResourceStream : public TKwBigStream {
 public:
  // Loads resource res_name of type res_type from module_path ("" = the program's own
  // module). Throws KoruError(Format(kResourceNotFoundError, res_name)) when the module
  // cannot be loaded or has no such resource.
  TKwBigResourceStream(platform::System& system, const std::string& module_path,
                       std::string res_name, std::string res_type);
  // Over resource bytes already loaded (REQUIRES: data is not null).
  TKwBigResourceStream(std::unique_ptr<platform::ResourceData> data, std::string res_name,
                       std::string res_type);

  int64_t GetSize() override { return view_.GetSize(); }
  int64_t GetPosition() override { return view_.GetPosition(); }
  void SetPosition(int64_t position) override { view_.SetPosition(position); }
  // Throws KoruError(kReadOnlyStreamError).
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Read(void* buffer, int64_t count) override { return view_.Read(buffer, count); }
  // Only from another TKwBigResourceStream (which fails: this stream is read-only).
  int64_t CopyFromBig(TKwBigStream& source, int64_t count) override;
  // Fails: the stream is read-only.
  int64_t CopyFromStream(Stream& source, int64_t count) override;
  // A count of 0 copies the whole content from its start.
  int64_t CopyToStream(Stream& dest, int64_t count) override;

  const std::string& ResName() const { return res_name_; }
  const std::string& ResType() const { return res_type_; }

 private:
  std::unique_ptr<platform::ResourceData> data_;
  ReadOnlyMemoryStream view_;
  std::string res_name_;
  std::string res_type_;
};

// Message of a missing resource; %s is the resource name.
inline constexpr const char* kResourceNotFoundError = "リソース %s が見つかりません";

// A read-ahead reader over a big stream (not owned): reads of kReadAheadSize bytes serve
// many small reads. Releasing it moves the source back over the bytes read ahead but not
// handed over, so the source stands right behind the last byte the caller took.
class TKwBuffBigStream {
 public:
  static constexpr int64_t kReadAheadSize = 102400;

  explicit TKwBuffBigStream(TKwBigStream& source) : source_(source) {}
  ~TKwBuffBigStream();

  // Hands over up to count bytes; fewer only when the source has no more.
  int64_t Read(void* buffer, int64_t count);
  // Hands over exactly count bytes or throws KoruError(kStreamReadError).
  void ReadExact(void* buffer, int64_t count);
  // Bytes that the source and the buffer together can still hand over.
  int64_t Remaining();

  TKwBuffBigStream(const TKwBuffBigStream&) = delete;
  TKwBuffBigStream& operator=(const TKwBuffBigStream&) = delete;

 private:
  TKwBigStream& source_;
  MemoryStream buffer_;
};

}  // namespace koru
