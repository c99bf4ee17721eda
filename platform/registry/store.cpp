#include "platform/registry/store.h"

#include <cstdio>
#include <cstring>

namespace hostreg {

namespace {

constexpr char kHeader[] = "hostreg 1";

// Names and texts are written with percent escapes for the bytes that would break a line or a
// quoted field; everything else (including 8-bit ANSI text) is stored as it is.
bool NeedsEscape(unsigned char c) { return c < 0x20 || c == 0x7F || c == '%' || c == '"' || c == ']'; }

void Escape(const std::string& in, std::string& out) {
  static const char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : in) {
    if (NeedsEscape(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unescape(const char* p, const char* end, std::string& out) {
  out.clear();
  while (p < end) {
    if (*p == '%') {
      if (end - p < 3) return false;
      int hi = HexDigit(p[1]), lo = HexDigit(p[2]);
      if (hi < 0 || lo < 0) return false;
      out += static_cast<char>(hi * 16 + lo);
      p += 3;
    } else {
      if (NeedsEscape(static_cast<unsigned char>(*p))) return false;
      out += *p++;
    }
  }
  return true;
}

const char* const kRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

// A key path is a root name followed by zero or more non-empty components.
bool ValidKeyPath(const std::string& path) {
  size_t first = path.find('\\');
  std::string root = path.substr(0, first);
  bool known = false;
  for (const char* r : kRoots) known = known || root == r;
  if (!known) return false;
  if (first == std::string::npos) return true;
  size_t start = first + 1;
  for (;;) {
    size_t next = path.find('\\', start);
    size_t len = (next == std::string::npos ? path.size() : next) - start;
    if (len == 0) return false;
    if (next == std::string::npos) return true;
    start = next + 1;
  }
}

void AddWithParents(Store& store, const std::string& path) {
  for (size_t pos = path.find('\\'); pos != std::string::npos; pos = path.find('\\', pos + 1))
    store[path.substr(0, pos)];
  store[path];
}

bool ParseValueLine(const char* p, const char* end, Key& key) {
  if (p >= end || *p != '"') return false;
  const char* close = static_cast<const char*>(std::memchr(p + 1, '"', static_cast<size_t>(end - p - 1)));
  if (!close) return false;
  std::string name;
  if (!Unescape(p + 1, close, name)) return false;
  p = close + 1;
  if (p >= end || *p++ != '=') return false;
  Value v;
  auto starts = [&](const char* word) {
    size_t n = std::strlen(word);
    if (static_cast<size_t>(end - p) < n || std::memcmp(p, word, n) != 0) return false;
    p += n;
    return true;
  };
  if (starts("dword:")) {
    if (end - p != 8) return false;
    DWORD d = 0;
    for (int i = 0; i < 8; ++i) {
      int h = HexDigit(p[i]);
      if (h < 0) return false;
      d = d * 16 + static_cast<DWORD>(h);
    }
    v.type = 4;  // REG_DWORD, stored little-endian as the original platform does
    for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<BYTE>(d >> (8 * i)));
  } else if (starts("sz:\"")) {
    if (end - p < 1 || end[-1] != '"') return false;
    std::string text;
    if (!Unescape(p, end - 1, text)) return false;
    v.type = 1;  // REG_SZ with its terminator
    v.data.assign(text.begin(), text.end());
    v.data.push_back(0);
  } else if (starts("hex(")) {
    DWORD type = 0;
    int digits = 0;
    while (p < end && *p >= '0' && *p <= '9' && digits < 10) {
      type = type * 10 + static_cast<DWORD>(*p++ - '0');
      ++digits;
    }
    if (digits == 0 || digits > 9 || end - p < 2 || p[0] != ')' || p[1] != ':') return false;
    p += 2;
    v.type = type;
    while (p < end) {
      if (end - p < 2) return false;
      int hi = HexDigit(p[0]), lo = HexDigit(p[1]);
      if (hi < 0 || lo < 0) return false;
      v.data.push_back(static_cast<BYTE>(hi * 16 + lo));
      p += 2;
      if (p < end) {
        if (*p != ',' || end - p < 3) return false;
        ++p;
      }
    }
  } else {
    return false;
  }
  key.values[name] = std::move(v);
  return true;
}

}  // namespace

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

bool Parse(const std::string& text, Store& out, size_t& badLine) {
  out.clear();
  badLine = 0;
  if (text.empty()) return true;  // a file created but never written is an empty store
  Key* current = nullptr;
  size_t lineNo = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) {  // every line of a file we wrote ends with a line feed
      badLine = lineNo + 1;
      return false;
    }
    const char* p = text.data() + pos;
    const char* end = text.data() + nl;
    pos = nl + 1;
    ++lineNo;
    if (lineNo == 1) {
      if (static_cast<size_t>(end - p) != sizeof(kHeader) - 1 || std::memcmp(p, kHeader, sizeof(kHeader) - 1) != 0) {
        badLine = 1;
        return false;
      }
      continue;
    }
    if (p == end) continue;
    bool ok;
    if (*p == '[') {
      ok = end - p >= 2 && end[-1] == ']';
      std::string path;
      ok = ok && Unescape(p + 1, end - 1, path) && ValidKeyPath(path);
      if (ok) {
        AddWithParents(out, path);
        current = &out[path];
      }
    } else {
      ok = current != nullptr && ParseValueLine(p, end, *current);
    }
    if (!ok) {
      badLine = lineNo;
      return false;
    }
  }
  if (lineNo == 0) {
    badLine = 1;
    return false;
  }
  return true;
}

std::string Serialise(const Store& store) {
  std::string out = kHeader;
  out += '\n';
  char buf[16];
  for (const auto& [path, key] : store) {
    out += "\n[";
    Escape(path, out);
    out += "]\n";
    for (const auto& [name, v] : key.values) {
      out += '"';
      Escape(name, out);
      out += "\"=";
      bool text = v.type == 1 && !v.data.empty() && v.data.back() == 0 &&
                  std::memchr(v.data.data(), 0, v.data.size() - 1) == nullptr;
      if (v.type == 4 && v.data.size() == 4) {
        DWORD d = static_cast<DWORD>(v.data[0]) | static_cast<DWORD>(v.data[1]) << 8 |
                  static_cast<DWORD>(v.data[2]) << 16 | static_cast<DWORD>(v.data[3]) << 24;
        std::snprintf(buf, sizeof buf, "dword:%08x", d);
        out += buf;
      } else if (text) {
        out += "sz:\"";
        Escape(std::string(v.data.begin(), v.data.end() - 1), out);
        out += '"';
      } else {
        std::snprintf(buf, sizeof buf, "hex(%u):", v.type);
        out += buf;
        for (size_t i = 0; i < v.data.size(); ++i) {
          std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", v.data[i]);
          out += buf;
        }
      }
      out += '\n';
    }
  }
  return out;
}

}  // namespace hostreg
