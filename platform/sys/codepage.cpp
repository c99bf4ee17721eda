#include "platform/sys/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

struct UnitToByte {
  char16_t unit;
  uint8_t byte;
};

#include "platform/sys/codepage_tables.inc"

template <size_t N>
int Search(const UnitToByte (&table)[N], char16_t unit) {
  auto it = std::lower_bound(std::begin(table), std::end(table), unit,
                             [](const UnitToByte& e, char16_t u) { return e.unit < u; });
  return (it != std::end(table) && it->unit == unit) ? it->byte : -1;
}

std::string IconvName(UINT codePage) {
  if (codePage == CP_UTF8) return "UTF-8";
  return "CP" + std::to_string(codePage);
}

bool IconvSupports(UINT codePage) {
  static std::mutex mutex;
  static std::map<UINT, bool>* known = new std::map<UINT, bool>;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = known->find(codePage);
  if (it != known->end()) return it->second;
  iconv_t cd = iconv_open("UTF-16LE", IconvName(codePage).c_str());
  bool ok = cd != reinterpret_cast<iconv_t>(-1);
  if (ok) iconv_close(cd);
  (*known)[codePage] = ok;
  return ok;
}

UINT Resolve(UINT codePage) { return codePage == CP_ACP ? GetACP() : codePage; }

// Converts the whole input through iconv into `out`; undecodable bytes become '?'.
void IconvToWide(UINT codePage, const char* src, size_t len, std::u16string& out) {
  iconv_t cd = iconv_open("UTF-16LE", IconvName(codePage).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (size_t i = 0; i < len; ++i) out.push_back(static_cast<uint8_t>(src[i]) < 0x80 ? src[i] : u'?');
    return;
  }
  char* in = const_cast<char*>(src);
  size_t inLeft = len;
  char16_t chunk[256];
  while (inLeft > 0) {
    char* o = reinterpret_cast<char*>(chunk);
    size_t oLeft = sizeof(chunk);
    size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(chunk, (sizeof(chunk) - oLeft) / 2);
    if (rc == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      out.push_back(u'?');  // a byte that starts no character of the code page
      ++in;
      --inLeft;
      if (errno == EINVAL) {  // an incomplete sequence at the end
        inLeft = 0;
      }
    }
  }
  iconv_close(cd);
}

// Converts one character (one unit, or a surrogate pair) through iconv; false when the code
// page lacks it.
bool IconvCharToNarrow(iconv_t cd, const char16_t* units, size_t count, std::string& out) {
  char* in = reinterpret_cast<char*>(const_cast<char16_t*>(units));
  size_t inLeft = count * 2;
  char buf[16];
  char* o = buf;
  size_t oLeft = sizeof(buf);
  if (iconv(cd, &in, &inLeft, &o, &oLeft) == static_cast<size_t>(-1)) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return false;
  }
  out.append(buf, sizeof(buf) - oLeft);
  return true;
}

template <typename T>
int Deliver(const std::basic_string<T>& text, T* dst, int dstLen) {
  if (text.size() > 0x7FFFFFFF) return 0;
  int n = static_cast<int>(text.size());
  if (dstLen == 0) return n;
  if (!dst || dstLen < n) return 0;
  std::memcpy(dst, text.data(), text.size() * sizeof(T));
  return n;
}

}  // namespace

UINT GetACP() {
  const char* value = std::getenv("HOST_ANSI_CODEPAGE");
  if (!value || !*value) return 1252;
  char* end = nullptr;
  long cp = std::strtol(value, &end, 10);
  bool ok = end && *end == 0 && cp > 0 && cp < 65536 &&
            (HasBuiltinCodePage(static_cast<UINT>(cp)) || IconvSupports(static_cast<UINT>(cp)));
  if (ok) return static_cast<UINT>(cp);
  static std::once_flag warned;
  std::call_once(warned, [value] {
    std::fprintf(stderr, "HOST_ANSI_CODEPAGE=%s is not a code page this host converts; using 1252\n",
                 value);
  });
  return 1252;
}

bool HasBuiltinCodePage(UINT codePage) { return codePage == 1252 || codePage == 1257; }

char16_t BuiltinByteToUnit(UINT codePage, uint8_t byte) {
  if (byte < 0x80) return byte;
  if (codePage == 1257) return kByteToUnit1257[byte - 0x80];
  return kByteToUnit1252[byte - 0x80];
}

int BuiltinUnitToByte(UINT codePage, char16_t unit) {
  if (unit < 0x80) return unit;
  if (codePage == 1257) return Search(kUnitToByte1257, unit);
  if (codePage == 1252) return Search(kUnitToByte1252, unit);
  return -1;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, char16_t* dst,
                        int dstLen) {
  if (!src || dstLen < 0) return 0;
  size_t len = srcLen < 0 ? std::strlen(src) + 1 : static_cast<size_t>(srcLen);
  UINT cp = Resolve(codePage);
  std::u16string out;
  out.reserve(len);
  if (HasBuiltinCodePage(cp)) {
    for (size_t i = 0; i < len; ++i) out.push_back(BuiltinByteToUnit(cp, static_cast<uint8_t>(src[i])));
  } else {
    IconvToWide(cp, src, len, out);
  }
  return Deliver(out, dst, dstLen);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcLen, char* dst,
                        int dstLen, const char* defaultChar, BOOL* usedDefaultChar) {
  if (usedDefaultChar) *usedDefaultChar = FALSE;
  if (!src || dstLen < 0) return 0;
  size_t len = 0;
  if (srcLen < 0) {
    while (src[len]) ++len;
    ++len;
  } else {
    len = static_cast<size_t>(srcLen);
  }
  const char fallback = defaultChar ? *defaultChar : '?';
  UINT cp = Resolve(codePage);
  std::string out;
  out.reserve(len);
  bool used = false;
  if (HasBuiltinCodePage(cp)) {
    for (size_t i = 0; i < len; ++i) {
      int b = BuiltinUnitToByte(cp, src[i]);
      if (b < 0) {
        out.push_back(fallback);
        used = true;
      } else {
        out.push_back(static_cast<char>(b));
      }
    }
  } else {
    iconv_t cd = iconv_open(IconvName(cp).c_str(), "UTF-16LE");
    for (size_t i = 0; i < len; ++i) {
      size_t count = 1;
      char16_t u = src[i];
      if (u >= 0xD800 && u < 0xDC00 && i + 1 < len && src[i + 1] >= 0xDC00 && src[i + 1] < 0xE000)
        count = 2;
      bool lone = u >= 0xD800 && u < 0xE000 && count == 1;
      if (u < 0x80) {
        out.push_back(static_cast<char>(u));
      } else if (lone || cd == reinterpret_cast<iconv_t>(-1) ||
                 !IconvCharToNarrow(cd, src + i, count, out)) {
        out.push_back(fallback);
        used = true;
      }
      i += count - 1;
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
  if (usedDefaultChar) *usedDefaultChar = used ? TRUE : FALSE;
  return Deliver(out, dst, dstLen);
}
