#include "storage/hash.h"

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

}  // namespace

// ---------------------------------------------------------------------------------------
// THashCollectionItem

void THashCollectionItem::SetName(std::string name) {
  if (name == name_) return;
  name_ = std::move(name);
  RemoveFromHash();
  AddToHash();
}

std::string THashCollectionItem::DisplayName() const {
  return name_.empty() ? std::string("THashCollectionItem") : name_;
}

void THashCollectionItem::Assign(const THashCollectionItem& source) { SetName(source.Name()); }

void THashCollectionItem::AddToHash() {
  bucket_ = THashCollection::HashName(name_);
  THashCollectionItem*& head = collection_->buckets_[static_cast<size_t>(bucket_)];
  if (head != nullptr) {
    head->previous_ = this;
    next_ = head;
  }
  head = this;
}

void THashCollectionItem::RemoveFromHash() {
  if (previous_ != nullptr) {
    previous_->next_ = next_;
    if (next_ != nullptr) next_->previous_ = previous_;
  } else {
    THashCollectionItem*& head = collection_->buckets_[static_cast<size_t>(bucket_)];
    if (head == this) {
      head = next_;
      if (next_ != nullptr) next_->previous_ = nullptr;
    }
  }
  previous_ = nullptr;
  next_ = nullptr;
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
  while (!items_.empty()) {
    items_.back()->RemoveFromHash();
    items_.pop_back();
  }
}

int THashCollection::HashName(std::string_view name) { return HashLowered(AsciiLower(name)); }

int THashCollection::HashNameDbcs(std::string_view name) {
  // AsciiLower already steps over double-byte characters whole.
  return HashLowered(AsciiLower(name));
}

int THashCollection::IndexOf(std::string_view name) const {
  const int bucket = japanese_names_ ? HashNameDbcs(name) : HashName(name);
  for (const THashCollectionItem* item = buckets_[static_cast<size_t>(bucket)]; item != nullptr;
       item = item->next_) {
    if (EqualsIgnoreCase(item->name_, name)) return item->index_;
  }
  return -1;
}

}  // namespace koru
