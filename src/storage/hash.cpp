#include "storage/hash.h"

#include <algorithm>

#include "base/sjis.h"

namespace koru {
namespace {

int HashLowered(std::string_view lowered) {
  const size_t n = lowered.size();
  unsigned h = static_cast<unsigned>(n) << 4;
  if (n >= 2) {
    h += static_cast<unsigned char>(lowered[n - 2]);
    h += static_cast<unsigned char>(lowered[0]);
  }
  return static_cast<int>(h & 255u);
}

unsigned char LowerByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

struct NameHashes {
  int bucket;
  uint32_t full;
};

// The bucket and the full hash of a name, both over its lower-cased form, in one walk
// and without making that form: filing 100,000 names should allocate nothing here.
NameHashes HashFolded(std::string_view name) {
  const size_t n = name.size();
  uint32_t h = 2166136261u;  // FNV-1a
  unsigned first = 0;
  unsigned second_to_last = 0;
  for (size_t i = 0; i < n;) {
    const size_t length = CharLengthAt(name, i);
    for (size_t k = 0; k < length; ++k) {
      const unsigned char raw = static_cast<unsigned char>(name[i + k]);
      const unsigned char c = length == 1 ? LowerByte(raw) : raw;
      if (i + k == 0) first = c;
      if (i + k + 2 == n) second_to_last = c;
      h = (h ^ c) * 16777619u;
    }
    i += length;
  }
  unsigned bucket = static_cast<unsigned>(n) << 4;
  if (n >= 2) bucket += first + second_to_last;
  // Linear probing uses the low bits: mix the high ones in.
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  return {static_cast<int>(bucket & 255u), h};
}

// Equal without regard to ASCII case; lowering keeps the length, so unequal lengths
// settle it at once.
bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && EqualsIgnoreCase(a, b);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// THashCollectionItem

void THashCollectionItem::SetName(std::string name) {
  if (name == name_) return;
  // Unlinked under the name it was filed with, so that the look-up index finds it.
  RemoveFromHash();
  name_ = std::move(name);
  AddToHash();
}

std::string THashCollectionItem::DisplayName() const {
  return name_.empty() ? std::string("THashCollectionItem") : name_;
}

void THashCollectionItem::Assign(const THashCollectionItem& source) { SetName(source.Name()); }

void THashCollectionItem::AddToHash() {
  THashCollection& owner = *collection_;
  const NameHashes hashes = HashFolded(name_);
  // Room first: a failure to grow leaves the item unfiled rather than half filed.
  if (!name_.empty()) owner.GrowSlots(owner.used_slots_ + 1);

  bucket_ = hashes.bucket;
  THashCollectionItem*& head = owner.buckets_[static_cast<size_t>(bucket_)];
  if (head != nullptr) {
    head->previous_ = this;
    next_ = head;
  }
  head = this;

  name_hash_ = hashes.full;
  THashCollectionItem** newest = &owner.unnamed_newest_;
  if (!name_.empty()) {
    const size_t slot = owner.FindSlot(name_, name_hash_);
    if (owner.slots_[slot] == nullptr) ++owner.used_slots_;
    newest = &owner.slots_[slot];
  }
  if (*newest != nullptr) {
    older_same_name_ = *newest;
    older_same_name_->newer_same_name_ = this;
  }
  *newest = this;
}

void THashCollectionItem::RemoveFromHash() {
  THashCollection& owner = *collection_;
  if (previous_ != nullptr) {
    previous_->next_ = next_;
    if (next_ != nullptr) next_->previous_ = previous_;
  } else {
    THashCollectionItem*& head = owner.buckets_[static_cast<size_t>(bucket_)];
    if (head == this) {
      head = next_;
      if (next_ != nullptr) next_->previous_ = nullptr;
    }
  }
  previous_ = nullptr;
  next_ = nullptr;

  if (older_same_name_ != nullptr) older_same_name_->newer_same_name_ = newer_same_name_;
  if (newer_same_name_ != nullptr) {
    newer_same_name_->older_same_name_ = older_same_name_;
  } else if (name_.empty()) {
    if (owner.unnamed_newest_ == this) owner.unnamed_newest_ = older_same_name_;
  } else if (!owner.slots_.empty()) {
    // The newest of its name: its slot passes to the next older one, or is given up.
    const size_t slot = owner.FindSlot(name_, name_hash_);
    if (owner.slots_[slot] == this) {
      if (older_same_name_ != nullptr) {
        owner.slots_[slot] = older_same_name_;
      } else {
        owner.EraseSlot(slot);
      }
    }
  }
  older_same_name_ = nullptr;
  newer_same_name_ = nullptr;
}

// ---------------------------------------------------------------------------------------
// THashCollection

THashCollection::~THashCollection() { Clear(); }

std::unique_ptr<THashCollectionItem> THashCollection::CreateItem() {
  struct PlainItem : THashCollectionItem {};
  return std::make_unique<PlainItem>();
}

THashCollectionItem& THashCollection::Add() {
  std::unique_ptr<THashCollectionItem> item = CreateItem();
  item->collection_ = this;
  item->index_ = Count();
  items_.push_back(std::move(item));
  THashCollectionItem& added = *items_.back();
  added.AddToHash();
  return added;
}

void THashCollection::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  for (size_t i = static_cast<size_t>(index) + 1; i < items_.size(); ++i) --items_[i]->index_;
  items_[static_cast<size_t>(index)]->RemoveFromHash();
  items_.erase(items_.begin() + index);
}

void THashCollection::Clear() {
  // Every item goes, so the indexes are emptied as a whole first (they then never hold a
  // destroyed item) rather than unlinked item by item.
  buckets_.fill(nullptr);
  std::fill(slots_.begin(), slots_.end(), nullptr);
  used_slots_ = 0;
  unnamed_newest_ = nullptr;
  while (!items_.empty()) items_.pop_back();
}

void THashCollection::Reserve(int count) {
  if (count <= 0) return;
  items_.reserve(static_cast<size_t>(count));
  GrowSlots(static_cast<size_t>(count));
}

size_t THashCollection::FindSlot(std::string_view name, uint32_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const THashCollectionItem* item = slots_[slot];
    if (item == nullptr || (item->name_hash_ == hash && SameName(item->name_, name))) {
      return slot;
    }
  }
}

void THashCollection::GrowSlots(size_t names) {
  if (names * 2 <= slots_.size()) return;
  size_t size = std::max<size_t>(slots_.size(), 64);
  while (size < names * 2) size *= 2;
  std::vector<THashCollectionItem*> old(size, nullptr);
  old.swap(slots_);
  const size_t mask = size - 1;
  for (THashCollectionItem* item : old) {
    if (item == nullptr) continue;
    size_t slot = item->name_hash_ & mask;
    while (slots_[slot] != nullptr) slot = (slot + 1) & mask;
    slots_[slot] = item;
  }
}

void THashCollection::EraseSlot(size_t slot) {
  const size_t mask = slots_.size() - 1;
  size_t hole = slot;
  for (size_t next = (hole + 1) & mask; slots_[next] != nullptr; next = (next + 1) & mask) {
    const size_t home = slots_[next]->name_hash_ & mask;
    // The entry at next may fill the hole unless its home lies after the hole (cyclically,
    // in (hole, next]).
    const bool home_after_hole =
        hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
    if (home_after_hole) continue;
    slots_[hole] = slots_[next];
    hole = next;
  }
  slots_[hole] = nullptr;
  --used_slots_;
}

int THashCollection::HashName(std::string_view name) { return HashLowered(AsciiLower(name)); }

int THashCollection::HashNameDbcs(std::string_view name) {
  // AsciiLower already steps over double-byte characters whole.
  return HashLowered(AsciiLower(name));
}

int THashCollection::IndexOf(std::string_view name) const {
  // Two names are equal ignoring case exactly when their lowered forms are equal, and
  // equal names share a bucket whose chain is newest first: the newest item of the name
  // is what the walk along the chain would find. Both look-up modes lower only A to Z
  // outside double-byte characters, so they give the same result.
  if (name.empty()) return unnamed_newest_ != nullptr ? unnamed_newest_->index_ : -1;
  if (slots_.empty()) return -1;
  const THashCollectionItem* found = slots_[FindSlot(name, HashFolded(name).full)];
  return found != nullptr ? found->index_ : -1;
}

}  // namespace koru
