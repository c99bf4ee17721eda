// SharedString: a reference-counted 8-bit string with copy-on-write.
//
// The object holds one pointer, to the first character of a pooled buffer (see
// string_buffer_pool.h); the length is not stored but found by scanning for the terminator.
// Copies share the buffer; a write into a shared or too small buffer first takes a private one.
// A single object is not safe for concurrent modification; copies of it may live on any thread.
// Operations that would need more than StringBufferPool::kMaxBytes, or memory that cannot be
// had, leave the string unchanged.
#pragma once

#include <cstdarg>

#include "common/string_core.h"

class StringList;

class SharedString {
 public:
  SharedString() : m_text(string_core::Empty<char>()) {}
  SharedString(const char* text);  // NOLINT: converts like the text it holds
  SharedString(const SharedString& other);
  SharedString(SharedString&& other) noexcept;
  virtual ~SharedString();

  SharedString& operator=(const SharedString& other);
  SharedString& operator=(SharedString&& other) noexcept;
  SharedString& operator=(const char* text);
  SharedString& operator+=(const char* text);
  SharedString& operator+=(const SharedString& other) { return *this += other.m_text; }
  SharedString& operator+=(char c);
  friend SharedString operator+(const SharedString& left, const char* right);

  const char* c_str() const { return m_text; }
  int Length() const { return string_core::Length(m_text); }
  bool IsEmpty() const { return m_text[0] == 0; }
  // The character at i, or 0 outside the text.
  char operator[](int i) const { return (i >= 0 && i < Length()) ? m_text[i] : 0; }
  bool operator==(const char* text) const;
  bool operator==(const SharedString& other) const { return *this == other.m_text; }

  // Drops the text and points at the shared empty buffer.
  void Empty();

  SharedString Left(int n) const;
  SharedString Right(int n) const;
  // count -1 (or any negative count): to the end.
  SharedString Mid(int start, int count = -1) const;
  // Index of the first occurrence at or after start, or -1. A negative start counts as 0.
  int Find(char c, int start = 0) const;
  int Find(const char* text, int start = 0) const;
  // Remove leading / trailing bytes of value 0x20 or below; return how many were removed.
  int TrimLeft();
  int TrimRight();
  // Makes the buffer private and able to hold n characters (terminator included); n < 1
  // empties the string. With keep the text is kept (cut to n - 1 characters if longer).
  // False when no buffer could be had.
  bool Reserve(int n, bool keep);
  // A private, writable address of character i (the buffer is unshared first), or null when i
  // lies outside the buffer's capacity (always for the empty string: Reserve first).
  char* WritablePointer(int i);
  // Splits at every `delimiter` into list (cleared first); the piece after the last delimiter
  // is always added, empty or not. Returns the number of entries.
  int Split(char delimiter, StringList& list) const;
  // printf-style formatting that replaces the text (see format.h for the rules).
  int Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  int FormatV(const char* format, va_list args);

  // The buffer's header, for diagnostics and tests.
  int RefCount() const { return string_core::Refs(m_text); }
  int Capacity() const { return string_core::Capacity(m_text); }
  bool SharesBufferWith(const SharedString& other) const { return m_text == other.m_text; }

 private:
  void AppendBytes(const char* text, int count);
  bool Inside(const char* text) const;
  char* m_text;
};
