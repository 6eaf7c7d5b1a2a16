#pragma once

// Windows sharing rules for the implementations whose OS does not enforce them (memory,
// host): every open file is registered with the access it was given and what it lets
// others do, and a new opener, a deletion or a move is refused as Windows would refuse
// it (files are never opened with FILE_SHARE_DELETE, so an open file cannot be removed).

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/file_system.h"

namespace koru::platform {

struct OpenRecord {
  bool read = false;
  bool write = false;
  bool share_read = false;
  bool share_write = false;
};

OpenRecord MakeOpenRecord(const OpenOptions& options);

// True iff an opener asking for wanted may join the existing openers.
bool SharingAllows(const std::vector<OpenRecord>& existing, const OpenRecord& wanted);

class OpenFileLedger;

// One registered opener; unregisters when destroyed.
class LedgerTicket {
 public:
  using Key = std::pair<uint64_t, uint64_t>;
  LedgerTicket(std::shared_ptr<OpenFileLedger> ledger, Key key, uint64_t id)
      : ledger_(std::move(ledger)), key_(key), id_(id) {}
  ~LedgerTicket();
  LedgerTicket(const LedgerTicket&) = delete;
  LedgerTicket& operator=(const LedgerTicket&) = delete;

 private:
  std::shared_ptr<OpenFileLedger> ledger_;
  Key key_;
  uint64_t id_;
};

class OpenFileLedger : public std::enable_shared_from_this<OpenFileLedger> {
 public:
  using Key = LedgerTicket::Key;

  // Registers an opener of the file key; nullptr when sharing forbids it.
  std::unique_ptr<LedgerTicket> TryOpen(Key key, const OpenRecord& record);
  // True iff some opener of key is registered.
  bool IsOpen(Key key) const;

 private:
  friend class LedgerTicket;
  void Close(Key key, uint64_t id);

  mutable std::mutex mutex_;
  std::map<Key, std::vector<std::pair<uint64_t, OpenRecord>>> open_;
  uint64_t next_id_ = 1;
};

}  // namespace koru::platform
