// The root object interface and small helpers for reference-counted objects.
#pragma once

#include "platform/com/guid.h"
#include "platform/com/hresult.h"
#include "platform/sys/interlocked.h"

#define STDMETHODCALLTYPE
#define STDMETHOD(name) virtual HRESULT STDMETHODCALLTYPE name
#define STDMETHOD_(type, name) virtual type STDMETHODCALLTYPE name
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE

// {00000000-0000-0000-C000-000000000046}
constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {00000001-0000-0000-C000-000000000046}
constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IUnknown {
  STDMETHOD(QueryInterface)(REFIID iid, void** object) = 0;
  STDMETHOD_(ULONG, AddRef)() = 0;
  STDMETHOD_(ULONG, Release)() = 0;

 protected:
  ~IUnknown() = default;  // objects are destroyed through Release
};
using LPUNKNOWN = IUnknown*;

struct IClassFactory : IUnknown {
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** object) = 0;
  STDMETHOD(LockServer)(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// A reference count for an object's AddRef/Release: starts at 0, changed atomically.
class RefCount {
 public:
  ULONG Increment() { return static_cast<ULONG>(InterlockedIncrement(&m_count)); }
  // The count after the decrement; the caller deletes the object at 0.
  ULONG Decrement() { return static_cast<ULONG>(InterlockedDecrement(&m_count)); }
  LONG Value() const { return m_count; }

 private:
  volatile LONG m_count = 0;
};

// Releases an interface pointer and clears it.
template <typename T>
inline void SafeRelease(T*& p) {
  if (p) {
    p->Release();
    p = nullptr;
  }
}

// A holding pointer that releases its interface when it goes.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* p, bool addRef = true) : m_p(p) {
    if (m_p && addRef) m_p->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.m_p) {}
  ComPtr& operator=(const ComPtr& o) {
    if (o.m_p) o.m_p->AddRef();
    SafeRelease(m_p);
    m_p = o.m_p;
    return *this;
  }
  ~ComPtr() { SafeRelease(m_p); }
  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  // For calls that return an interface through T**: releases what is held first.
  T** Receive() {
    SafeRelease(m_p);
    return &m_p;
  }
  T* Detach() {
    T* p = m_p;
    m_p = nullptr;
    return p;
  }

 private:
  T* m_p = nullptr;
};
