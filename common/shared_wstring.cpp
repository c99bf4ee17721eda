#include "common/shared_wstring.h"

using namespace string_core;

SharedWString::SharedWString(const char16_t* text) : m_text(string_core::Empty<char16_t>()) { *this = text; }

SharedWString::SharedWString(const SharedWString& other) : m_text(other.m_text) {
  AddRef(m_text);
}

SharedWString::SharedWString(SharedWString&& other) noexcept : m_text(other.m_text) {
  other.m_text = string_core::Empty<char16_t>();
}

SharedWString::~SharedWString() { Release(m_text); }

SharedWString& SharedWString::operator=(const SharedWString& other) {
  Assign(m_text, other.m_text);
  return *this;
}

SharedWString& SharedWString::operator=(SharedWString&& other) noexcept {
  if (this != &other) {
    Release(m_text);
    m_text = other.m_text;
    other.m_text = string_core::Empty<char16_t>();
  }
  return *this;
}

SharedWString& SharedWString::operator=(const char16_t* text) {
  if (!text || !*text) {
    Empty();
    return *this;
  }
  const int length = string_core::Length(text);
  auto t = reinterpret_cast<uintptr_t>(text), b = reinterpret_cast<uintptr_t>(m_text);
  if (t >= b && t < b + static_cast<uintptr_t>(Capacity()) * 2) {  // a part of itself
    char16_t* fresh = Copy(text, length, int64_t{length} + 1);
    if (fresh) {
      Release(m_text);
      m_text = fresh;
    }
    return *this;
  }
  if (Prepare(m_text, int64_t{length} + 1, false))
    std::memcpy(m_text, text, (static_cast<size_t>(length) + 1) * sizeof(char16_t));
  return *this;
}

void SharedWString::Append(char16_t c) {
  if (c == 0) return;
  const int length = Length();
  if (!Prepare(m_text, int64_t{length} + 2, true)) return;
  m_text[length] = c;
  m_text[length + 1] = 0;
}

bool SharedWString::operator==(const char16_t* text) const {
  if (!text) return IsEmpty();
  int i = 0;
  for (; m_text[i] && m_text[i] == text[i]; ++i) {
  }
  return m_text[i] == text[i];
}

void SharedWString::Empty() {
  Release(m_text);
  m_text = string_core::Empty<char16_t>();
}

bool SharedWString::Reserve(int n, bool keep) {
  if (n < 1) {
    Empty();
    return true;
  }
  return Prepare(m_text, n, keep);
}

bool SharedWString::MakeUnique() {
  if (RefCount() <= 1) return true;
  char16_t* fresh = Copy(m_text, Length(), Capacity());
  if (!fresh) return false;
  Release(m_text);
  m_text = fresh;
  return true;
}

char16_t* SharedWString::WritablePointer(int i) {
  if (i < 0 || i >= Capacity()) return nullptr;
  if (!MakeUnique()) return nullptr;
  return m_text + i;
}
