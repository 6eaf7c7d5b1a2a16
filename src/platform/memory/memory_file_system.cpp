#include "platform/memory/memory_file_system.h"

#include <algorithm>
#include <limits>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/dir_entries.h"
#include "platform/dos_time.h"
#include "platform/memory/sparse_bytes.h"
#include "platform/open_file_ledger.h"
#include "platform/windows_path.h"

namespace koru::platform {
namespace {

struct FileContent {
  SparseBytes bytes;
  uint32_t attributes = kAttrArchive;
  uint32_t dos_time = 0;
  uint64_t id = 0;
};

// The attribute bits SetFileAttributes can change.
constexpr uint32_t kSettableAttributes = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

}  // namespace

struct MemoryFileSystem::Node {
  std::string name;
  bool is_dir = false;
  uint32_t attributes = kAttrDirectory;  // folders only; files keep theirs in the content
  uint32_t dos_time = 0;                 // folders only
  std::shared_ptr<FileContent> file;
  std::map<std::string, std::unique_ptr<Node>> children;  // by AsciiLower(name)

  uint32_t Attributes() const {
    const uint32_t bits = is_dir ? attributes : file->attributes;
    return bits == 0 ? static_cast<uint32_t>(kAttrNormal) : bits;
  }
  uint32_t DosTime() const { return is_dir ? dos_time : file->dos_time; }
};

struct MemoryFileSystem::State {
  struct Drive {
    std::unique_ptr<Node> root;
    uint64_t free_bytes = kDefaultFreeBytes;
  };
  uint32_t clock = kDefaultClock;
  uint64_t next_id = 1;
  std::shared_ptr<OpenFileLedger> ledger = std::make_shared<OpenFileLedger>();
  std::map<char, Drive> drives;
};

struct MemoryFileSystem::Location {
  char drive = 'c';
  std::vector<std::string> parts;
  bool trailing = false;
};

namespace {

using Node = MemoryFileSystem::Node;
using State = MemoryFileSystem::State;

OpenFileLedger::Key KeyOf(const FileContent& content) { return {0, content.id}; }

// True iff some file at or below node is open.
bool HasOpenFiles(const Node& node, const OpenFileLedger& ledger) {
  if (!node.is_dir) return ledger.IsOpen(KeyOf(*node.file));
  for (const auto& child : node.children) {
    if (HasOpenFiles(*child.second, ledger)) return true;
  }
  return false;
}

class MemoryFile : public File {
 public:
  MemoryFile(std::shared_ptr<FileContent> content, std::shared_ptr<State> state,
             std::unique_ptr<LedgerTicket> ticket, const OpenRecord& record)
      : content_(std::move(content)),
        state_(std::move(state)),
        ticket_(std::move(ticket)),
        can_read_(record.read),
        can_write_(record.write) {}

  int64_t Read(void* buffer, int64_t count) override {
    if (!can_read_) throw KoruError(kStreamReadError);
    const int64_t n = content_->bytes.Read(position_, buffer, count);
    position_ += n;
    return n;
  }

  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    if (!can_write_ || position_ > std::numeric_limits<int64_t>::max() - count) {
      throw KoruError(kStreamWriteError);
    }
    content_->bytes.Write(position_, buffer, count);
    content_->dos_time = state_->clock;
    position_ += count;
    return count;
  }

  int64_t GetSize() override { return content_->bytes.size(); }
  int64_t GetPosition() override { return position_; }
  void SetPosition(int64_t position) override { position_ = std::max<int64_t>(position, 0); }

  void SetSize(int64_t size) override {
    if (!can_write_ || size < 0) throw KoruError(kStreamWriteError);
    content_->bytes.Resize(size);
    content_->dos_time = state_->clock;
    if (position_ > size) position_ = size;
  }

  void Flush() override {}

 private:
  std::shared_ptr<FileContent> content_;
  std::shared_ptr<State> state_;
  std::unique_ptr<LedgerTicket> ticket_;
  bool can_read_;
  bool can_write_;
  int64_t position_ = 0;
};

std::unique_ptr<Node> NewFolder(const std::string& name, uint32_t dos_time) {
  auto node = std::make_unique<Node>();
  node->name = name;
  node->is_dir = true;
  node->dos_time = dos_time;
  return node;
}

std::unique_ptr<Node> NewFile(const std::string& name, State& state) {
  auto node = std::make_unique<Node>();
  node->name = name;
  node->file = std::make_shared<FileContent>();
  node->file->dos_time = state.clock;
  node->file->id = state.next_id++;
  return node;
}

std::unique_ptr<Node> CloneFile(const Node& source, const std::string& name, State& state) {
  auto node = std::make_unique<Node>();
  node->name = name;
  node->file = std::make_shared<FileContent>(*source.file);
  node->file->id = state.next_id++;
  return node;
}

}  // namespace

MemoryFileSystem::MemoryFileSystem() : state_(std::make_shared<State>()) { AddDrive('C'); }

MemoryFileSystem::~MemoryFileSystem() = default;

void MemoryFileSystem::AddDrive(char letter, uint64_t free_bytes) {
  const char drive = AsciiLower(std::string(1, letter))[0];
  auto& slot = state_->drives[drive];
  if (!slot.root) slot.root = NewFolder(std::string(1, drive) + ":", state_->clock);
  slot.free_bytes = free_bytes;
}

bool MemoryFileSystem::SetFreeBytes(char letter, uint64_t free_bytes) {
  auto it = state_->drives.find(AsciiLower(std::string(1, letter))[0]);
  if (it == state_->drives.end()) return false;
  it->second.free_bytes = free_bytes;
  return true;
}

void MemoryFileSystem::SetClock(uint32_t dos_time) { state_->clock = dos_time; }

uint32_t MemoryFileSystem::Clock() const { return state_->clock; }

std::optional<MemoryFileSystem::Location> MemoryFileSystem::Locate(const std::string& path) {
  if (path.empty()) return std::nullopt;
  // UNC names ("\\server\share") lie outside every drive.
  if (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
      (path[1] == '\\' || path[1] == '/')) {
    return std::nullopt;
  }
  const WindowsPath parsed = ParseWindowsPath(path);
  Location location;
  if (parsed.drive != 0) location.drive = parsed.drive;
  if (state_->drives.count(location.drive) == 0) return std::nullopt;
  for (const std::string& part : parsed.parts) {
    if (!IsValidWindowsName(part)) return std::nullopt;
  }
  location.parts = CollapseDots(parsed.parts);
  location.trailing = parsed.trailing;
  return location;
}

Node* MemoryFileSystem::Find(const Location& location) {
  Node* node = state_->drives[location.drive].root.get();
  for (const std::string& part : location.parts) {
    if (!node->is_dir) return nullptr;
    auto it = node->children.find(AsciiLower(part));
    if (it == node->children.end()) return nullptr;
    node = it->second.get();
  }
  if (location.trailing && !node->is_dir) return nullptr;
  return node;
}

Node* MemoryFileSystem::FindParent(const Location& location) {
  if (location.parts.empty()) return nullptr;
  Location parent = location;
  parent.parts.pop_back();
  parent.trailing = false;
  Node* node = Find(parent);
  return node != nullptr && node->is_dir ? node : nullptr;
}

std::unique_ptr<File> MemoryFileSystem::OpenFile(const std::string& path,
                                                 const OpenOptions& options) {
  const bool creating = options.disposition != FileDisposition::kOpenExisting;
  const std::string message =
      Format(creating ? "ファイル %s を作成できません" : "ファイル %s を開けません", path.c_str());
  auto location = Locate(path);
  if (!location || location->trailing) throw KoruError(message);
  Node* parent = FindParent(*location);
  if (parent == nullptr) throw KoruError(message);
  const std::string& name = location->parts.back();
  auto it = parent->children.find(AsciiLower(name));
  const OpenRecord record = MakeOpenRecord(options);
  if (it == parent->children.end()) {
    if (!creating) throw KoruError(message);
    it = parent->children.emplace(AsciiLower(name), NewFile(name, *state_)).first;
  } else {
    Node& node = *it->second;
    if (node.is_dir) throw KoruError(message);
    if (record.write && (node.file->attributes & kAttrReadOnly) != 0) throw KoruError(message);
  }
  std::shared_ptr<FileContent> content = it->second->file;
  auto ticket = state_->ledger->TryOpen(KeyOf(*content), record);
  if (!ticket) throw KoruError(message);
  if (options.disposition == FileDisposition::kCreateAlways) {
    content->bytes.Resize(0);
    content->attributes = kAttrArchive;
    content->dos_time = state_->clock;
  }
  return std::make_unique<MemoryFile>(std::move(content), state_, std::move(ticket), record);
}

bool MemoryFileSystem::FileExists(const std::string& path) {
  auto location = Locate(path);
  Node* node = location ? Find(*location) : nullptr;
  return node != nullptr && !node->is_dir;
}

bool MemoryFileSystem::DirectoryExists(const std::string& path) {
  auto location = Locate(path);
  Node* node = location ? Find(*location) : nullptr;
  return node != nullptr && node->is_dir;
}

std::optional<uint32_t> MemoryFileSystem::GetAttributes(const std::string& path) {
  auto location = Locate(path);
  Node* node = location ? Find(*location) : nullptr;
  if (node == nullptr) return std::nullopt;
  return node->Attributes();
}

FileStatus MemoryFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  auto location = Locate(path);
  Node* node = location ? Find(*location) : nullptr;
  if (node == nullptr) return FileFailure::kNotFound;
  if (node->is_dir) {
    node->attributes = kAttrDirectory | (attributes & kSettableAttributes);
  } else {
    node->file->attributes = attributes & kSettableAttributes;
  }
  return true;
}

std::optional<uint32_t> MemoryFileSystem::GetFileDosTime(const std::string& path) {
  auto location = Locate(path);
  Node* node = location ? Find(*location) : nullptr;
  if (node == nullptr || node->is_dir || !UnpackDosTime(node->file->dos_time)) return std::nullopt;
  return node->file->dos_time;
}

FileStatus MemoryFileSystem::SetFileDosTime(const std::string& path, uint32_t dos_time) {
  auto location = Locate(path);
  Node* node = location ? Find(*location) : nullptr;
  if (node == nullptr) return FileFailure::kNotFound;
  if (node->is_dir || !UnpackDosTime(dos_time)) return false;
  // The file system keeps two-second steps, as a DOS time does.
  node->file->dos_time = dos_time;
  return true;
}

std::optional<int64_t> MemoryFileSystem::GetFileSize(const std::string& path) {
  auto location = Locate(path);
  Node* node = location ? Find(*location) : nullptr;
  if (node == nullptr || node->is_dir) return std::nullopt;
  return node->file->bytes.size();
}

FileStatus MemoryFileSystem::CopyFileTo(const std::string& source, const std::string& target,
                                        bool fail_if_exists) {
  auto from = Locate(source);
  auto to = Locate(target);
  Node* source_node = from ? Find(*from) : nullptr;
  if (source_node == nullptr) return FileFailure::kNotFound;
  if (source_node->is_dir || !to || to->trailing) return false;
  Node* parent = FindParent(*to);
  if (parent == nullptr) return FileFailure::kNotFound;
  // The copy reads the source while others may keep it open for reading and writing.
  OpenRecord reader;
  reader.read = reader.share_read = reader.share_write = true;
  auto reading = state_->ledger->TryOpen(KeyOf(*source_node->file), reader);
  if (!reading) return FileFailure::kInUse;
  const std::string& name = to->parts.back();
  auto it = parent->children.find(AsciiLower(name));
  if (it != parent->children.end()) {
    Node& existing = *it->second;
    if (fail_if_exists) return FileFailure::kAlreadyExists;
    if (existing.is_dir || &existing == source_node) return false;
    if ((existing.file->attributes & kAttrReadOnly) != 0) return FileFailure::kAccessDenied;
    if (state_->ledger->IsOpen(KeyOf(*existing.file))) return FileFailure::kInUse;
    const std::string kept_name = existing.name;
    it->second = CloneFile(*source_node, kept_name, *state_);
    return true;
  }
  parent->children.emplace(AsciiLower(name), CloneFile(*source_node, name, *state_));
  return true;
}

FileStatus MemoryFileSystem::MoveFileTo(const std::string& source, const std::string& target) {
  auto from = Locate(source);
  auto to = Locate(target);
  if (!from || !to || from->parts.empty() || to->parts.empty()) return false;
  Node* node = Find(*from);
  Node* from_parent = FindParent(*from);
  Node* to_parent = FindParent(*to);
  if (node == nullptr || from_parent == nullptr || to_parent == nullptr)
    return FileFailure::kNotFound;
  if (to->trailing && !node->is_dir) return false;
  if (HasOpenFiles(*node, *state_->ledger)) return FileFailure::kInUse;
  if (node->is_dir && from->drive != to->drive) return false;
  // A folder cannot go below itself.
  if (node->is_dir) {
    const Node* root = state_->drives[to->drive].root.get();
    const Node* walk = root;
    for (const std::string& part : to->parts) {
      if (walk == node) return false;
      auto it = walk->children.find(AsciiLower(part));
      if (it == walk->children.end()) break;
      walk = it->second.get();
    }
  }
  const std::string& new_name = to->parts.back();
  auto existing = to_parent->children.find(AsciiLower(new_name));
  // Renaming to the same name in another case is allowed; any other existing target is not.
  if (existing != to_parent->children.end() && existing->second.get() != node) {
    return FileFailure::kAlreadyExists;
  }
  auto owned = std::move(from_parent->children[AsciiLower(from->parts.back())]);
  from_parent->children.erase(AsciiLower(from->parts.back()));
  owned->name = new_name;
  to_parent->children[AsciiLower(new_name)] = std::move(owned);
  return true;
}

FileStatus MemoryFileSystem::MoveFileOver(const std::string& source, const std::string& target) {
  auto from = Locate(source);
  auto to = Locate(target);
  if (!from || !to || from->parts.empty() || to->parts.empty() || to->trailing) return false;
  if (from->drive != to->drive) return false;
  Node* node = Find(*from);
  Node* from_parent = FindParent(*from);
  Node* to_parent = FindParent(*to);
  if (node == nullptr || from_parent == nullptr || to_parent == nullptr)
    return FileFailure::kNotFound;
  if (node->is_dir) return FileFailure::kAccessDenied;
  if (state_->ledger->IsOpen(KeyOf(*node->file))) return FileFailure::kInUse;
  const std::string& new_name = to->parts.back();
  auto existing = to_parent->children.find(AsciiLower(new_name));
  if (existing != to_parent->children.end() && existing->second.get() != node) {
    const Node& old = *existing->second;
    if (old.is_dir || (old.file->attributes & kAttrReadOnly) != 0)
      return FileFailure::kAccessDenied;
    if (state_->ledger->IsOpen(KeyOf(*old.file))) return FileFailure::kInUse;
  }
  auto owned = std::move(from_parent->children[AsciiLower(from->parts.back())]);
  from_parent->children.erase(AsciiLower(from->parts.back()));
  owned->name = new_name;
  to_parent->children[AsciiLower(new_name)] = std::move(owned);
  return true;
}

FileStatus MemoryFileSystem::RemoveFile(const std::string& path) {
  auto location = Locate(path);
  if (!location) return false;
  Node* node = Find(*location);
  Node* parent = FindParent(*location);
  if (node == nullptr || parent == nullptr) return FileFailure::kNotFound;
  if (node->is_dir || (node->file->attributes & kAttrReadOnly) != 0)
    return FileFailure::kAccessDenied;
  if (state_->ledger->IsOpen(KeyOf(*node->file))) return FileFailure::kInUse;
  parent->children.erase(AsciiLower(location->parts.back()));
  return true;
}

FileStatus MemoryFileSystem::MakeDirectory(const std::string& path) {
  auto location = Locate(path);
  if (!location) return false;
  Node* parent = FindParent(*location);
  if (parent == nullptr) return FileFailure::kNotFound;
  const std::string& name = location->parts.back();
  if (parent->children.count(AsciiLower(name)) != 0) return FileFailure::kAlreadyExists;
  parent->children.emplace(AsciiLower(name), NewFolder(name, state_->clock));
  return true;
}

FileStatus MemoryFileSystem::RemoveDirectoryAt(const std::string& path) {
  auto location = Locate(path);
  if (!location) return false;
  Node* node = Find(*location);
  Node* parent = FindParent(*location);
  if (node == nullptr || parent == nullptr) return FileFailure::kNotFound;
  if (!node->is_dir || !node->children.empty()) return false;
  if ((node->attributes & kAttrReadOnly) != 0) return FileFailure::kAccessDenied;
  parent->children.erase(AsciiLower(location->parts.back()));
  return true;
}

std::vector<DirEntry> MemoryFileSystem::ListDirectory(const std::string& folder) {
  std::vector<DirEntry> entries;
  auto location = Locate(folder);
  Node* node = location ? Find(*location) : nullptr;
  if (node == nullptr || !node->is_dir) return entries;
  for (const auto& child : node->children) {
    DirEntry entry;
    entry.name = child.second->name;
    entry.attributes = child.second->Attributes();
    entry.size = child.second->is_dir ? 0 : child.second->file->bytes.size();
    entry.dos_time = child.second->DosTime();
    entries.push_back(std::move(entry));
  }
  SortDirEntries(&entries);
  return entries;
}

std::optional<uint64_t> MemoryFileSystem::FreeBytes(const std::string& path) {
  auto location = Locate(path);
  if (!location) return std::nullopt;
  return state_->drives[location->drive].free_bytes;
}

std::string MemoryFileSystem::ShortPathName(const std::string& path) { return path; }

bool MemoryFileSystem::PutFile(const std::string& path, std::string_view bytes) {
  const size_t cut = FindLastChar(path, '\\');
  if (cut != std::string::npos && cut > 0 && !MakeDirectories(path.substr(0, cut))) return false;
  auto location = Locate(path);
  if (!location || location->trailing) return false;
  Node* parent = FindParent(*location);
  if (parent == nullptr) return false;
  const std::string& name = location->parts.back();
  auto& slot = parent->children[AsciiLower(name)];
  if (slot && (slot->is_dir || state_->ledger->IsOpen(KeyOf(*slot->file)))) return false;
  slot = NewFile(name, *state_);
  slot->file->bytes.Write(0, bytes.data(), static_cast<int64_t>(bytes.size()));
  return true;
}

std::optional<std::string> MemoryFileSystem::FileContents(const std::string& path) {
  auto location = Locate(path);
  Node* node = location ? Find(*location) : nullptr;
  if (node == nullptr || node->is_dir) return std::nullopt;
  std::string bytes(static_cast<size_t>(node->file->bytes.size()), '\0');
  node->file->bytes.Read(0, bytes.data(), static_cast<int64_t>(bytes.size()));
  return bytes;
}

}  // namespace koru::platform
