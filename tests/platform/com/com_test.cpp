#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/com/task_memory.h"
#include "platform/com/unknown.h"

namespace {

TEST(HResult, OriginalValues) {
  struct Case {
    HRESULT code;
    uint32_t value;
  } cases[] = {
      {S_OK, 0},
      {S_FALSE, 1},
      {E_NOTIMPL, 0x80004001},
      {E_NOINTERFACE, 0x80004002},
      {E_POINTER, 0x80004003},
      {E_FAIL, 0x80004005},
      {E_UNEXPECTED, 0x8000FFFF},
      {E_OUTOFMEMORY, 0x8007000E},
      {E_INVALIDARG, 0x80070057},
      {CLASS_E_CLASSNOTAVAILABLE, 0x80040111},
      {CLASS_E_NOAGGREGATION, 0x80040110},
      {REGDB_E_CLASSNOTREG, 0x80040154},
  };
  for (const Case& c : cases) EXPECT_EQ(static_cast<uint32_t>(c.code), c.value);
  EXPECT_TRUE(SUCCEEDED(S_FALSE));
  EXPECT_TRUE(FAILED(E_FAIL));
  EXPECT_FALSE(FAILED(S_OK));
}

TEST(Guid, CompareFormatParse) {
  GUID a = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
  GUID b = a;
  EXPECT_TRUE(a == b);
  b.Data4[7] = 9;
  EXPECT_TRUE(a != b);
  EXPECT_FALSE(IsEqualGUID(a, GUID_NULL));

  char text[39];
  GuidToString(IID_IUnknown, text);
  EXPECT_STREQ(text, "{00000000-0000-0000-C000-000000000046}");
  GuidToString(a, text);
  EXPECT_STREQ(text, "{12345678-9ABC-DEF0-0102-030405060708}");
  GUID parsed;
  ASSERT_TRUE(GuidFromString("{12345678-9abc-def0-0102-030405060708}", &parsed));
  EXPECT_TRUE(parsed == a);
  for (const char* bad : {"", "{12345678-9ABC-DEF0-0102-03040506070}", "12345678-9ABC-DEF0-0102-030405060708",
                          "{12345678-9ABC-DEF0-0102-030405060708}x", "{1234567G-9ABC-DEF0-0102-030405060708}",
                          "{12345678+9ABC-DEF0-0102-030405060708}"})
    EXPECT_FALSE(GuidFromString(bad, &parsed)) << bad;
  EXPECT_FALSE(GuidFromString(nullptr, &parsed));
}

class Counted final : public IUnknown {
 public:
  explicit Counted(int* deaths) : m_deaths(deaths) { AddRef(); }
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return m_refs.Increment(); }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = m_refs.Decrement();
    if (n == 0) delete this;
    return n;
  }

 private:
  ~Counted() { ++*m_deaths; }
  RefCount m_refs;
  int* m_deaths;
};

TEST(Unknown, ReferenceCountingAcrossThreads) {
  int deaths = 0;
  Counted* obj = new Counted(&deaths);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([obj] {
      for (int i = 0; i < 10000; ++i) {
        ComPtr<IUnknown> p(obj);
        ComPtr<IUnknown> q = p;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(deaths, 0);
  void* other = nullptr;
  EXPECT_EQ(obj->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  IUnknown* asUnknown = obj;
  SafeRelease(asUnknown);
  EXPECT_EQ(asUnknown, nullptr);
  EXPECT_EQ(deaths, 1);
}

TEST(TaskMemory, AllocateReallocateFree) {
  char* p = static_cast<char*>(CoTaskMemAlloc(16));
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "0123456789abcdef", 16);
  p = static_cast<char*>(CoTaskMemRealloc(p, 4096));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::memcmp(p, "0123456789abcdef", 16), 0);
  CoTaskMemFree(p);
  void* zero = CoTaskMemAlloc(0);
  EXPECT_NE(zero, nullptr);
  CoTaskMemFree(zero);
  CoTaskMemFree(nullptr);
}

}  // namespace
