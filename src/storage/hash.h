#pragma once

// An ordered collection of named items with a 256-bucket index by name. Items stay in
// insertion order; names compare without regard to ASCII case and double-byte characters
// compare exactly, whatever the system locale.
//
// The buckets are the archive format's own hash, and it sorts poorly: the bucket depends
// only on the length mod 16 and two bytes, so a folder of similar names shares one chain.
// Look-ups therefore go through a second index, an open-addressing table keyed by a
// 32-bit hash of the whole lower-cased name. Each slot holds the newest item of one name;
// the older items of that name hang behind it, newest first, in the order in which the
// bucket chain would meet them.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace koru {

class THashCollection;

class THashCollectionItem {
 public:
  virtual ~THashCollectionItem() = default;

  const std::string& Name() const { return name_; }
  // Renames the item and refiles it (an exact, case-sensitive change only; a change of
  // case alone refiles it at the head of the same bucket).
  void SetName(std::string name);
  // The item's position in its collection.
  int Index() const { return index_; }
  // The bucket (0 to 255) the item is filed in: HashName(Name()).
  int Bucket() const { return bucket_; }
  THashCollection& Collection() const { return *collection_; }
  // The name, or the generic text of an unnamed item.
  std::string DisplayName() const;
  // Takes over the name of another item (derived classes copy their own fields too).
  virtual void Assign(const THashCollectionItem& source);

  THashCollectionItem(const THashCollectionItem&) = delete;
  THashCollectionItem& operator=(const THashCollectionItem&) = delete;

 protected:
  THashCollectionItem() = default;

 private:
  friend class THashCollection;

  void AddToHash();
  void RemoveFromHash();

  THashCollection* collection_ = nullptr;
  int bucket_ = 0;
  int index_ = 0;
  std::string name_;
  THashCollectionItem* previous_ = nullptr;
  THashCollectionItem* next_ = nullptr;
  // The look-up index: the full hash of the name as filed, and the neighbours among the
  // items of an equal name (older: filed before it).
  uint32_t name_hash_ = 0;
  THashCollectionItem* older_same_name_ = nullptr;
  THashCollectionItem* newer_same_name_ = nullptr;
};

class THashCollection {
 public:
  static constexpr int kBucketCount = 256;

  THashCollection() { buckets_.fill(nullptr); }
  virtual ~THashCollection();

  int Count() const { return static_cast<int>(items_.size()); }
  // REQUIRES: 0 <= index < Count().
  THashCollectionItem& ItemAt(int index) const { return *items_[static_cast<size_t>(index)]; }
  // Appends a new item of the collection's item class, filed under the empty name.
  THashCollectionItem& Add();
  // Destroys the item at index; the items behind it move up by one.
  void Delete(int index);
  // Destroys every item, from the last to the first.
  void Clear();
  // Makes room for count items in all, so that adding and naming that many moves nothing.
  void Reserve(int count);

  // The position of an item whose name equals name without regard to case, the one filed
  // most recently among equal names; -1 when there is none.
  virtual int IndexOf(std::string_view name) const;

  bool JapaneseNames() const { return japanese_names_; }
  void SetJapaneseNames(bool on) { japanese_names_ = on; }

  // The bucket of a name: (length * 16 + first byte + second-to-last byte) mod 256 over the
  // lower-cased name (the two bytes only for names of two bytes or more).
  static int HashName(std::string_view name);
  // The same, lowering only bytes outside double-byte characters. Both variants lower
  // only A to Z, so they file every name in the same bucket.
  static int HashNameDbcs(std::string_view name);

  THashCollection(const THashCollection&) = delete;
  THashCollection& operator=(const THashCollection&) = delete;

 protected:
  // Creates an item of the collection's item class.
  virtual std::unique_ptr<THashCollectionItem> CreateItem();

 private:
  friend class THashCollectionItem;

  // The slot of the newest item named like name (hash: its full hash), or the empty slot
  // where such an item would go. REQUIRES: slots_ is not empty.
  size_t FindSlot(std::string_view name, uint32_t hash) const;
  // Makes the table large enough for names distinct names, at most half full.
  void GrowSlots(size_t names);
  // Empties slot, moving up the entries behind it that would otherwise be cut off.
  void EraseSlot(size_t slot);

  std::array<THashCollectionItem*, kBucketCount> buckets_;
  // Open addressing with linear probing; the size is a power of two or 0.
  std::vector<THashCollectionItem*> slots_;
  size_t used_slots_ = 0;
  // Unnamed items, filed once and renamed at once while a directory is read, keep a
  // chain of their own instead of a slot taken and given up each time.
  THashCollectionItem* unnamed_newest_ = nullptr;
  std::vector<std::unique_ptr<THashCollectionItem>> items_;
  bool japanese_names_ = false;
};

}  // namespace koru
