#include "common/shared_string.h"

#include <cstring>

#include "common/string_list.h"

using namespace string_core;

bool SharedString::Inside(const char* text) const {
  auto t = reinterpret_cast<uintptr_t>(text), b = reinterpret_cast<uintptr_t>(m_text);
  return t >= b && t < b + static_cast<uintptr_t>(Capacity());
}

SharedString::SharedString(const char* text) : m_text(string_core::Empty<char>()) { *this = text; }

SharedString::SharedString(const SharedString& other) : m_text(other.m_text) { AddRef(m_text); }

SharedString::SharedString(SharedString&& other) noexcept : m_text(other.m_text) {
  other.m_text = string_core::Empty<char>();
}

SharedString::~SharedString() { Release(m_text); }

SharedString& SharedString::operator=(const SharedString& other) {
  Assign(m_text, other.m_text);
  return *this;
}

SharedString& SharedString::operator=(SharedString&& other) noexcept {
  if (this != &other) {
    Release(m_text);
    m_text = other.m_text;
    other.m_text = string_core::Empty<char>();
  }
  return *this;
}

SharedString& SharedString::operator=(const char* text) {
  if (!text || !*text) {
    Empty();
    return *this;
  }
  if (Inside(text)) {  // assigning a part of itself
    SharedString copy(text);
    return *this = copy;
  }
  const int64_t n = static_cast<int64_t>(std::strlen(text)) + 1;
  if (Prepare(m_text, n, false)) std::memcpy(m_text, text, static_cast<size_t>(n));
  return *this;
}

void SharedString::Empty() {
  Release(m_text);
  m_text = string_core::Empty<char>();
}

void SharedString::AppendBytes(const char* text, int count) {
  const int length = Length();
  const int64_t needed = int64_t{length} + count + 1;
  // When the text lies in this very buffer, the extra holder keeps it alive (and forces a new
  // buffer) while the text is copied.
  SharedString pin;
  if (Inside(text)) pin = *this;
  if (!Prepare(m_text, needed, true)) return;
  std::memcpy(m_text + length, text, static_cast<size_t>(count));
  m_text[length + count] = 0;
}

SharedString& SharedString::operator+=(const char* text) {
  if (!text || !*text) return *this;
  if (IsEmpty()) return *this = text;
  const size_t count = std::strlen(text);
  if (count >= static_cast<size_t>(StringBufferPool::kMaxBytes)) return *this;
  AppendBytes(text, static_cast<int>(count));
  return *this;
}

SharedString& SharedString::operator+=(char c) {
  if (c == 0) return *this;
  AppendBytes(&c, 1);
  return *this;
}

SharedString operator+(const SharedString& left, const char* right) {
  if (!right || !*right) return left;
  if (left.IsEmpty()) return SharedString(right);
  SharedString result(left);
  result += right;
  return result;
}

bool SharedString::operator==(const char* text) const {
  return std::strcmp(m_text, text ? text : "") == 0;
}

SharedString SharedString::Left(int n) const {
  const int length = Length();
  if (n < 1) return SharedString();
  if (n >= length) return *this;
  SharedString s;
  if (s.Reserve(n + 1, false)) {
    std::memcpy(s.m_text, m_text, static_cast<size_t>(n));
    s.m_text[n] = 0;
  }
  return s;
}

SharedString SharedString::Right(int n) const {
  const int length = Length();
  if (n < 1) return SharedString();
  if (n >= length) return *this;
  return SharedString(m_text + (length - n));
}

SharedString SharedString::Mid(int start, int count) const {
  const int length = Length();
  if (start < 0) start = 0;
  if (start >= length) return SharedString();
  const int remaining = length - start;
  if (count >= 0 && count < remaining) {
    if (count == 0) return SharedString();
    SharedString s;
    if (s.Reserve(count + 1, false)) {
      std::memcpy(s.m_text, m_text + start, static_cast<size_t>(count));
      s.m_text[count] = 0;
    }
    return s;
  }
  return SharedString(m_text + start);
}

// True when the text is longer than start (scans no further than start).
static bool ReachesPast(const char* text, int start) {
  return ::strnlen(text, static_cast<size_t>(start) + 1) > static_cast<size_t>(start);
}

int SharedString::Find(char c, int start) const {
  if (start < 0) start = 0;
  if (!ReachesPast(m_text, start) || c == 0) return -1;
  const char* hit = std::strchr(m_text + start, c);
  return hit ? static_cast<int>(hit - m_text) : -1;
}

int SharedString::Find(const char* text, int start) const {
  if (start < 0) start = 0;
  if (!ReachesPast(m_text, start) || !text) return -1;
  const char* hit = std::strstr(m_text + start, text);
  return hit ? static_cast<int>(hit - m_text) : -1;
}

int SharedString::TrimLeft() {
  int i = 0;
  while (m_text[i] != 0 && static_cast<unsigned char>(m_text[i]) <= 0x20) ++i;
  if (i == 0) return 0;
  if (m_text[i] == 0) {
    Empty();
    return i;
  }
  const int rest = Length() - i;
  if (RefCount() > 1) {
    char* fresh = Copy(m_text + i, rest, int64_t{rest} + 1);
    if (!fresh) return 0;
    Release(m_text);
    m_text = fresh;
  } else {
    std::memmove(m_text, m_text + i, static_cast<size_t>(rest) + 1);
  }
  return i;
}

int SharedString::TrimRight() {
  const int length = Length();
  int end = length;
  while (end > 0 && static_cast<unsigned char>(m_text[end - 1]) <= 0x20) --end;
  if (end == length) return 0;
  if (end == 0) {
    Empty();
    return length;
  }
  if (!Prepare(m_text, int64_t{length} + 1, true)) return 0;
  m_text[end] = 0;
  return length - end;
}

bool SharedString::Reserve(int n, bool keep) {
  if (n < 1) {
    Empty();
    return true;
  }
  return Prepare(m_text, n, keep);
}

char* SharedString::WritablePointer(int i) {
  const int capacity = Capacity();
  if (i < 0 || i >= capacity) return nullptr;
  if (RefCount() > 1) {
    char* fresh = Copy(m_text, Length(), capacity);
    if (!fresh) return nullptr;
    Release(m_text);
    m_text = fresh;
  }
  return m_text + i;
}

int SharedString::Split(char delimiter, StringList& list) const {
  list.Clear();
  int begin = 0;
  for (int i = 0; m_text[i] != 0; ++i) {
    if (m_text[i] == delimiter) {
      list.Append(Mid(begin, i - begin));
      begin = i + 1;
    }
  }
  list.Append(begin == 0 ? *this : Mid(begin));
  return list.Count();
}
