#include "platform/open_file_ledger.h"

namespace koru::platform {

OpenRecord MakeOpenRecord(const OpenOptions& options) {
  OpenRecord record;
  record.read = options.access != FileAccess::kWrite;
  // Truncating an existing file is a write whatever access was asked for.
  record.write =
      options.access != FileAccess::kRead || options.disposition == FileDisposition::kCreateAlways;
  record.share_read = options.share == FileShare::kRead || options.share == FileShare::kReadWrite;
  record.share_write = options.share == FileShare::kWrite || options.share == FileShare::kReadWrite;
  return record;
}

bool SharingAllows(const std::vector<OpenRecord>& existing, const OpenRecord& wanted) {
  for (const OpenRecord& other : existing) {
    if (wanted.read && !other.share_read) return false;
    if (wanted.write && !other.share_write) return false;
    if (other.read && !wanted.share_read) return false;
    if (other.write && !wanted.share_write) return false;
  }
  return true;
}

LedgerTicket::~LedgerTicket() { ledger_->Close(key_, id_); }

std::unique_ptr<LedgerTicket> OpenFileLedger::TryOpen(Key key, const OpenRecord& record) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& openers = open_[key];
  std::vector<OpenRecord> records;
  for (const auto& opener : openers) records.push_back(opener.second);
  if (!SharingAllows(records, record)) {
    if (openers.empty()) open_.erase(key);
    return nullptr;
  }
  const uint64_t id = next_id_++;
  openers.emplace_back(id, record);
  return std::make_unique<LedgerTicket>(shared_from_this(), key, id);
}

bool OpenFileLedger::IsOpen(Key key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_.count(key) != 0;
}

void OpenFileLedger::Close(Key key, uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = open_.find(key);
  if (it == open_.end()) return;
  auto& openers = it->second;
  for (auto opener = openers.begin(); opener != openers.end(); ++opener) {
    if (opener->first == id) {
      openers.erase(opener);
      break;
    }
  }
  if (openers.empty()) open_.erase(it);
}

}  // namespace koru::platform
