#include "common/ptr_array.h"

#include <gtest/gtest.h>

#include "common/string_list.h"

namespace {

TEST(PtrArray, GrowthRule) {
  struct Case {
    int64_t n;
    int64_t capacity;
  } cases[] = {{1, 21}, {10, 31}, {21, 43}, {22, 44}, {100, 130}, {1000, 1120}, {0, 20}};
  for (const Case& c : cases) EXPECT_EQ(PtrArray::GrownCapacity(c.n), c.capacity) << c.n;

  PtrArray a;
  EXPECT_EQ(a.Capacity(), 0);
  int slots[30];
  for (int i = 0; i < 21; ++i) ASSERT_EQ(a.Append(&slots[i]), 0);
  EXPECT_EQ(a.Capacity(), 21);
  ASSERT_EQ(a.Append(&slots[21]), 0);  // the 22nd pointer
  EXPECT_EQ(a.Capacity(), 44);
  for (int i = 0; i < 22; ++i) EXPECT_EQ(a[i], &slots[i]);  // realloc kept them
  EXPECT_EQ(a.At(22), nullptr);
  EXPECT_EQ(a.At(-1), nullptr);
  a.Clear();
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.Capacity(), 0);

  PtrArray sized(10), none(-3);
  EXPECT_EQ(sized.Capacity(), 31);
  EXPECT_EQ(none.Capacity(), 0);
  EXPECT_EQ(a.Reserve(PtrArray::kMaxSlots + 1), -1);
  EXPECT_EQ(a.Capacity(), 0);
}

struct Counted {
  explicit Counted(int* deaths) : deaths(deaths) {}
  ~Counted() { ++*deaths; }
  int* deaths;
};

TEST(OwningPtrArray, DeletesEveryElementOnClearAndDestruction) {
  int deaths = 0;
  {
    OwningPtrArray<Counted> owned;
    for (int i = 0; i < 5; ++i) owned.Append(new Counted(&deaths));
    owned.Append(nullptr);
    owned.Clear();
    EXPECT_EQ(deaths, 5);
    EXPECT_EQ(owned.Count(), 0);
    for (int i = 0; i < 3; ++i) owned.Append(new Counted(&deaths));
    owned.DeleteElement(1);
    EXPECT_EQ(deaths, 6);
    EXPECT_EQ(owned[1], nullptr);  // the slot stays, emptied
    EXPECT_EQ(owned.DeleteElement(7), 0);
  }
  EXPECT_EQ(deaths, 8);

  // The base array never deletes what it points to.
  Counted keep(&deaths);
  {
    PtrArray plain;
    plain.Append(&keep);
    EXPECT_EQ(plain.DeleteElement(0), 0);
  }
  EXPECT_EQ(deaths, 8);
}

TEST(StringList, CopySharesBuffers) {
  StringList a;
  a.Append(SharedString("one"));
  a.Append(SharedString("two"));
  StringList b(a);
  ASSERT_EQ(b.Count(), 2);
  EXPECT_TRUE(b.Get(0).SharesBufferWith(a.Get(0)));
  EXPECT_NE(b[0], a[0]);  // separate string objects
  EXPECT_EQ(a.Get(0).RefCount(), 2);
  b = b;
  EXPECT_EQ(b.Count(), 2);
  b = StringList();
  EXPECT_EQ(b.Count(), 0);
  EXPECT_EQ(a.Get(0).RefCount(), 1);
  EXPECT_TRUE(a.Get(5).IsEmpty());
}

}  // namespace
