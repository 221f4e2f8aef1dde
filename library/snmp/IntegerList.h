// IntegerList: a list of signed 32-bit integers of fixed capacity (the
// components of an object identifier). Appends past the capacity are dropped.
#pragma once

#include <cstdint>
#include <memory>

inline constexpr int32_t kDefaultListCapacity = 512;

class IntegerList {
 public:
  explicit IntegerList(int32_t capacity = kDefaultListCapacity);
  ~IntegerList();
  IntegerList(const IntegerList&) = delete;
  IntegerList& operator=(const IntegerList&) = delete;

  // Stores v when count < capacity; otherwise does nothing.
  void Append(int32_t v);
  // The item at i, or 0 when i is not below the count (or negative).
  int32_t Get(int32_t i) const;
  // Replaces the items with other's, cut off at this list's capacity.
  void Assign(const IntegerList& other);

  int32_t GetCount() const { return m_nCount; }
  int32_t GetCapacity() const { return m_nCapacity; }

  // Frees the storage. A released list holds nothing and accepts nothing.
  void Release();

 private:
  std::unique_ptr<int32_t[]> m_pItems;
  int32_t m_nCapacity = 0;
  int32_t m_nCount = 0;
};
