// SharedWString: the UTF-16 (char16_t) counterpart of SharedString, with the same storage
// rules (shared pooled buffers, copy-on-write, a shared empty buffer) and the few operations
// the module needs at its wide-character boundaries.
#pragma once

#include "common/string_core.h"

class SharedWString {
 public:
  SharedWString() : m_text(string_core::Empty<char16_t>()) {}
  SharedWString(const char16_t* text);  // NOLINT: converts like the text it holds
  SharedWString(const SharedWString& other);
  SharedWString(SharedWString&& other) noexcept;
  virtual ~SharedWString();

  SharedWString& operator=(const SharedWString& other);
  SharedWString& operator=(SharedWString&& other) noexcept;
  SharedWString& operator=(const char16_t* text);
  // Appends one unit (a zero unit changes nothing).
  SharedWString& operator+=(char16_t c) {
    Append(c);
    return *this;
  }
  void Append(char16_t c);

  const char16_t* c_str() const { return m_text; }
  int Length() const { return string_core::Length(m_text); }
  bool IsEmpty() const { return m_text[0] == 0; }
  char16_t operator[](int i) const { return (i >= 0 && i < Length()) ? m_text[i] : 0; }
  bool operator==(const char16_t* text) const;
  bool operator==(const SharedWString& other) const { return *this == other.m_text; }

  void Empty();
  // As SharedString::Reserve.
  bool Reserve(int n, bool keep);
  // Gives the string a private buffer of the same capacity when it is shared.
  bool MakeUnique();
  // As SharedString::WritablePointer.
  char16_t* WritablePointer(int i);

  int RefCount() const { return string_core::Refs(m_text); }
  int Capacity() const { return string_core::Capacity(m_text); }
  bool SharesBufferWith(const SharedWString& other) const { return m_text == other.m_text; }

 private:
  char16_t* m_text;
};
