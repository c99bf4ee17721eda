// Growable arrays of pointers.
//
// PtrArray holds untyped pointers and never touches what they point to. OwningPtrArray<T> owns
// its elements: clearing or destroying it deletes every non-null element. Growth follows one
// fixed rule (a request for n slots gives 20 + trunc(n x 1.1f) slots), so the sizes that
// memory dumps and tests see are predictable.
#pragma once

#include <cstdint>

class PtrArray {
 public:
  // Largest number of slots an array may have; larger requests fail.
  static constexpr int kMaxSlots = 1 << 26;

  explicit PtrArray(int initialSize = 0);
  PtrArray(const PtrArray&) = delete;
  PtrArray& operator=(const PtrArray&) = delete;
  virtual ~PtrArray();

  // Frees the slots (the base never deletes the pointed-to objects).
  virtual void Clear();
  // Destroys the element at index (the base does nothing). Returns 0.
  virtual int DeleteElement(int index);

  // Makes room for n slots. 0, or -1 when n is too large or memory is exhausted.
  int Reserve(int n);
  // Adds p at the end. 0, or -1 when the array cannot grow (p is not stored then).
  int Append(void* p);

  int Count() const { return m_count; }
  int Capacity() const { return m_capacity; }
  // The pointer at index, or null outside 0..Count()-1.
  void* At(int index) const { return (index >= 0 && index < m_count) ? m_items[index] : nullptr; }
  void* operator[](int index) const { return At(index); }

  // The capacity the growth rule gives for a request of n slots.
  static int64_t GrownCapacity(int64_t n);

 protected:
  void ClearSlots();
  void** m_items;
  int32_t m_count;
  int32_t m_capacity;
};

template <typename T>
class OwningPtrArray : public PtrArray {
 public:
  explicit OwningPtrArray(int initialSize = 0) : PtrArray(initialSize) {}
  ~OwningPtrArray() override { OwningPtrArray::Clear(); }

  void Clear() override {
    for (int i = 0; i < m_count; ++i) OwningPtrArray::DeleteElement(i);
    ClearSlots();
  }
  int DeleteElement(int index) override {
    if (index < 0 || index >= m_count) return 0;
    delete static_cast<T*>(m_items[index]);
    m_items[index] = nullptr;
    return 0;
  }
  // Takes ownership of p; when it cannot be stored it is deleted and -1 returned.
  int Append(T* p) {
    if (PtrArray::Append(p) == 0) return 0;
    delete p;
    return -1;
  }
  T* At(int index) const { return static_cast<T*>(PtrArray::At(index)); }
  T* operator[](int index) const { return At(index); }
};
