#include "common/text_convert.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/entity_table.h"
#include "platform/sys/codepage.h"

namespace {

size_t WideLength(const char16_t* w) {
  size_t n = 0;
  while (w[n]) ++n;
  return n;
}

bool IsTableMode(int mode) { return mode == 1252 || mode == 1257; }

}  // namespace

SharedString Utf16ToUtf8(const char16_t* wide, bool* lossFlag) {
  if (lossFlag) *lossFlag = false;
  if (!wide) return SharedString();
  std::string out;
  out.reserve(WideLength(wide) * 3);
  for (const char16_t* p = wide; *p; ++p) {
    const unsigned u = *p;
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (u >> 12)));
      out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return SharedString(out.c_str());
}

SharedWString Utf8ToUtf16(const char* narrow, bool* errorFlag) {
  if (errorFlag) *errorFlag = false;
  if (!narrow) return SharedWString();
  std::u16string out;
  const auto* p = reinterpret_cast<const unsigned char*>(narrow);
  while (*p) {
    const unsigned lead = *p;
    if (lead < 0x80) {
      out.push_back(static_cast<char16_t>(lead));
      ++p;
    } else if ((lead & 0xE0) == 0xC0 && (p[1] & 0x80)) {
      out.push_back(static_cast<char16_t>(((lead & 0x1F) << 6) | (p[1] & 0x3F)));
      p += 2;
    } else if ((lead & 0xF0) == 0xE0 && (p[1] & 0x80) && (p[2] & 0x80)) {
      out.push_back(static_cast<char16_t>(((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F)));
      p += 3;
    } else {
      if (errorFlag) *errorFlag = true;
      break;
    }
  }
  return SharedWString(out.c_str());
}

SharedString ToNarrow(const char16_t* wide, int mode, bool* lossFlag) {
  if (lossFlag) *lossFlag = false;
  if (!wide || !*wide) return SharedString();
  const size_t length = WideLength(wide);
  if (mode == kModeUtf8) return Utf16ToUtf8(wide, lossFlag);
  std::string out;
  if (mode == kModeEntities) {
    for (size_t i = 0; i < length; ++i) {
      const char16_t u = wide[i];
      if (const char* name = FindEntityByCodePoint(u)) {
        out += '&';
        out += name;
        out += ';';
      } else if (u >= 0x80) {
        char ref[16];
        std::snprintf(ref, sizeof(ref), "&#%d;", static_cast<int>(u));
        out += ref;
      } else {
        out.push_back(static_cast<char>(u));
      }
    }
    return SharedString(out.c_str());
  }
  if (mode == kModeAnsi || IsTableMode(mode)) {
    if (length > 0x3FFFFFFF) return SharedString();
    const UINT codePage = mode == kModeAnsi ? CP_ACP : static_cast<UINT>(mode);
    const int n = static_cast<int>(length);
    BOOL usedDefault = FALSE;
    const int needed = WideCharToMultiByte(codePage, 0, wide, n, nullptr, 0, "?", nullptr);
    out.resize(static_cast<size_t>(needed));
    WideCharToMultiByte(codePage, 0, wide, n, out.data(), needed, "?", &usedDefault);
    if (lossFlag && usedDefault) *lossFlag = true;
    return SharedString(out.c_str());  // a converted zero unit cannot occur: the input has none
  }
  return SharedString();
}

SharedWString ToWide(const char* narrow, int mode, bool* errorFlag) {
  if (errorFlag) *errorFlag = false;
  if (!narrow || !*narrow) return SharedWString();
  if (mode == kModeUtf8) return Utf8ToUtf16(narrow, errorFlag);
  if (mode == kModeEntities) return DecodeEntities(narrow, errorFlag);
  if (mode == kModeAnsi || IsTableMode(mode)) {
    const size_t length = std::strlen(narrow);
    if (length > 0x3FFFFFFF) return SharedWString();
    const UINT codePage = mode == kModeAnsi ? CP_ACP : static_cast<UINT>(mode);
    const int n = static_cast<int>(length);
    const int needed = MultiByteToWideChar(codePage, 0, narrow, n, nullptr, 0);
    std::u16string out(static_cast<size_t>(needed), u'\0');
    MultiByteToWideChar(codePage, 0, narrow, n, out.data(), needed);
    return SharedWString(out.c_str());
  }
  return SharedWString();
}
