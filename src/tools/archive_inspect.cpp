// vfkit list, cat and verify: reading an archive without changing it.
#include <cinttypes>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

#include "base/error.h"
#include "base/sjis.h"
#include "storage/vrfiles.h"
#include "tools/archive_tool.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include <iostream>
#endif

namespace koru::tools {
namespace {

constexpr const char* kListUsage =
    "usage: vfkit list ARCHIVE [--json]\n"
    "\n"
    "Lists the entries of ARCHIVE (a data file such as game.dat with its volumes and\n"
    "game.ext, or an executable carrying an archive) in directory order: offset, stored\n"
    "size, how it is stored (zlib or stored), the DOS time, the CRC-32, S for an entry\n"
    "installed as a separate file, and the name. Entries superseded by a merge show\n"
    "with their \"/\" names.\n"
    "  --json   one object {\"entries\": [{\"name\", \"offset\", \"size\", \"uncompressed\",\n"
    "           \"file_time\", \"crc\", \"separate_file\"}, ...]}; names as UTF-8 text, and\n"
    "           \"name_hex\" (the Shift-JIS bytes) when a name does not convert exactly\n";

constexpr const char* kCatUsage =
    "usage: vfkit cat ARCHIVE NAME\n"
    "\n"
    "Writes the uncompressed content of entry NAME (\"/\" or \"\\\" between folders,\n"
    "letter case ignored) to standard output, byte for byte.\n";

constexpr const char* kVerifyUsage =
    "usage: vfkit verify ARCHIVE\n"
    "\n"
    "Checks the CRC-32 of every entry that carries one, as the setup program does after\n"
    "an installation. Exit code 0 when all match, 1 when one does not (the mismatching\n"
    "entries are named), 3 when the archive cannot be read.\n";

std::string HexBytes(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 15]);
  }
  return hex;
}

nlohmann::json EntryToJson(const TVrFile& entry) {
  nlohmann::json json;
  std::string utf8;
  const bool exact = TrySjisToUtf8(entry.Name(), &utf8) && Utf8ToSjis(utf8) == entry.Name();
  json["name"] = exact ? utf8 : SjisToUtf8(entry.Name());
  if (!exact) json["name_hex"] = HexBytes(entry.Name());
  json["offset"] = entry.Offset;
  json["size"] = entry.Size;
  json["uncompressed"] = entry.Uncompressed;
  json["file_time"] = entry.FileTime;
  json["crc"] = entry.Crc;
  json["separate_file"] = entry.SeparateFile;
  return json;
}

void ListText(const TVrFileCollection& archive, std::ostream& out) {
  char line[160];
  std::snprintf(line, sizeof line, "%14s %12s %-6s %-19s %-8s %s %s\n", "offset", "size", "method",
                "time", "crc", "s", "name");
  out << line;
  int count = 0;
  int superseded = 0;
  int64_t stored = 0;
  for (int i = 0; i < archive.Count(); ++i) {
    if (IsEndMarkerAt(archive, i)) continue;
    const TVrFile& entry = archive.Entry(i);
    std::snprintf(line, sizeof line, "%14" PRId64 " %12" PRId64 " %-6s %-19s %08X %s ",
                  entry.Offset, entry.Size, entry.Uncompressed ? "stored" : "zlib",
                  FormatDosTime(entry.FileTime).c_str(), static_cast<unsigned>(entry.Crc),
                  entry.SeparateFile ? "S" : "-");
    out << line << DisplayName(entry.Name()) << "\n";
    ++count;
    if (IsSupersededName(entry.Name())) ++superseded;
    stored += entry.Size;
  }
  out << count << " entries (" << superseded << " superseded), " << stored << " bytes stored\n";
}

int List(const std::vector<std::string>& raw, CommandContext& context) {
  static const CommandSyntax syntax{"list", kListUsage, 1, 1, {}, {"json"}};
  int exit_code = kExitOk;
  const auto args = ParseCommandLine(raw, syntax, context, &exit_code);
  if (!args) return exit_code;
  TVrFileCollection archive(context.env);
  OpenExistingArchive(archive, ArgToPath(args->positional()[0]));
  if (!args->Has("json")) {
    ListText(archive, context.out);
    return kExitOk;
  }
  nlohmann::json entries = nlohmann::json::array();
  for (int i = 0; i < archive.Count(); ++i) {
    if (!IsEndMarkerAt(archive, i)) entries.push_back(EntryToJson(archive.Entry(i)));
  }
  context.out << nlohmann::json{{"entries", std::move(entries)}}.dump(2) << "\n";
  return kExitOk;
}

// Standard output as a write-only stream, so that uncompressed entries are copied to it
// in pieces instead of through memory.
class OstreamSink : public Stream {
 public:
  explicit OstreamSink(std::ostream& out) : out_(out) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    out_.write(static_cast<const char*>(buffer), static_cast<std::streamsize>(count));
    if (!out_) return 0;
    written_ += count;
    return count;
  }
  int64_t GetSize() override { return written_; }
  int64_t GetPosition() override { return written_; }
  void SetPosition(int64_t) override {}
  void SetSize(int64_t) override {}

 private:
  std::ostream& out_;
  int64_t written_ = 0;
};

void SetBinaryStdout(std::ostream& out) {
#if defined(_WIN32)
  // The C runtime turns "\n" into "\r\n" on a text-mode stdout, which would damage
  // binary content.
  if (&out == &std::cout) {
    std::cout.flush();
    _setmode(_fileno(stdout), _O_BINARY);
  }
#else
  (void)out;
#endif
}

int Cat(const std::vector<std::string>& raw, CommandContext& context) {
  static const CommandSyntax syntax{"cat", kCatUsage, 2, 2, {}, {}};
  int exit_code = kExitOk;
  const auto args = ParseCommandLine(raw, syntax, context, &exit_code);
  if (!args) return exit_code;
  TVrFileCollection archive(context.env);
  OpenExistingArchive(archive, ArgToPath(args->positional()[0]));
  const std::string name = ArgToPath(args->positional()[1]);
  const int index = archive.IndexOf(name);
  if (index < 0 || IsEndMarkerAt(archive, index)) {
    throw KoruError(Format(kEntryMissingError, name.c_str()));
  }
  SetBinaryStdout(context.out);
  OstreamSink sink(context.out);
  archive.ExtractEntry(archive.Entry(index), sink);
  context.out.flush();
  if (!context.out) throw KoruError(kStreamWriteError);
  return kExitOk;
}

// Whether one entry's checksum matches, by the same rule as VerifyChecksums: the stored
// bytes, or the uncompressed content of a separate file. Used only to name the entries
// after VerifyChecksums has answered false.
bool EntryMatches(TVrFileCollection& archive, const TVrFile& entry) {
  try {
    if (entry.SeparateFile) return archive.ContentCrc32(entry) == entry.Crc;
    TKwBigStream& stream = *archive.ArchiveStream();
    stream.SetPosition(entry.Offset);
    if (stream.GetPosition() != entry.Offset) return false;
    std::vector<uint8_t> buffer(1 << 20);
    return BigStreamCrc32(stream, entry.Size, buffer.data(), static_cast<int64_t>(buffer.size())) ==
           entry.Crc;
  } catch (const KoruError&) {
    return false;
  }
}

int Verify(const std::vector<std::string>& raw, CommandContext& context) {
  static const CommandSyntax syntax{"verify", kVerifyUsage, 1, 1, {}, {}};
  int exit_code = kExitOk;
  const auto args = ParseCommandLine(raw, syntax, context, &exit_code);
  if (!args) return exit_code;
  const std::string path = ArgToPath(args->positional()[0]);
  TVrFileCollection archive(context.env);
  OpenExistingArchive(archive, path);
  bool ok = false;
  {
    ProgressBar bar(context.err, context.err_is_terminal, "verify");
    archive.OnProgress = EntryProgress(bar);
    ok = archive.VerifyChecksums();
  }
  archive.OnProgress = nullptr;
  int checked = 0;
  int failed = 0;
  for (int i = 0; i < archive.Count(); ++i) {
    const TVrFile& entry = archive.Entry(i);
    if (IsEndMarkerAt(archive, i) || entry.Crc == 0 || IsSupersededName(entry.Name())) continue;
    ++checked;
    if (!ok && !EntryMatches(archive, entry)) {
      ++failed;
      context.err << "checksum mismatch: " << DisplayName(entry.Name()) << "\n";
    }
  }
  if (ok) {
    context.out << DisplayPath(path) << ": OK, " << checked << " checksums match\n";
    return kExitOk;
  }
  context.out << DisplayPath(path) << ": FAILED, " << (failed > 0 ? failed : 1) << " of " << checked
              << " checksums do not match\n";
  return kExitFailure;
}

}  // namespace

int RunList(const std::vector<std::string>& args, CommandContext& context) {
  return List(args, context);
}
int RunCat(const std::vector<std::string>& args, CommandContext& context) {
  return Cat(args, context);
}
int RunVerify(const std::vector<std::string>& args, CommandContext& context) {
  return Verify(args, context);
}

}  // namespace koru::tools
