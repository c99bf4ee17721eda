#include "subtitles/subtitle_text.h"

#include <cstring>

#include "common/file_stream.h"

namespace {

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// UTF-16 after its byte-order mark to UTF-8; an unpaired surrogate becomes U+FFFD and an odd
// last byte is dropped.
std::string Utf16ToUtf8Bytes(const std::string& in, bool bigEndian) {
  std::string out;
  out.reserve(in.size());
  auto unit = [&](size_t i) -> uint32_t {
    uint8_t a = static_cast<uint8_t>(in[i]), b = static_cast<uint8_t>(in[i + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  for (size_t i = 2; i + 1 < in.size(); i += 2) {
    uint32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < in.size()) {
      uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      } else {
        c = 0xFFFD;
      }
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace

int SubtitleText::Open(const char* path, bool textMode) {
  m_bytes.clear();
  m_stream = MemoryStream("", 0);
  FileStream file;
  if (file.Open(path, "rb") != 0) return -1;
  if (file.Seek(0, SEEK_END) != 0) return -1;
  long size = file.Tell();
  if (size < 0 || static_cast<unsigned long>(size) > kMaxFileBytes) return -1;
  if (file.Seek(0, SEEK_SET) != 0) return -1;
  m_bytes.resize(static_cast<size_t>(size));
  if (size > 0 && file.Read(m_bytes.data(), 1, m_bytes.size()) != m_bytes.size()) {
    m_bytes.clear();
    return -1;
  }
  file.Close();

  const auto* b = reinterpret_cast<const uint8_t*>(m_bytes.data());
  if (m_bytes.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    m_bytes.erase(0, 3);
  } else if (m_bytes.size() >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
    m_bytes = Utf16ToUtf8Bytes(m_bytes, b[0] == 0xFE);
  }
  if (textMode) {
    size_t w = 0;
    for (size_t r = 0; r < m_bytes.size(); ++r) {
      if (m_bytes[r] == '\r' && r + 1 < m_bytes.size() && m_bytes[r + 1] == '\n') continue;
      m_bytes[w++] = m_bytes[r];
    }
    m_bytes.resize(w);
  }
  m_stream = MemoryStream(m_bytes.data(), m_bytes.size());
  return 0;
}

void StripLineEnd(char* line) {
  size_t n = std::strlen(line);
  if (n > 0 && line[n - 1] == '\n') line[--n] = 0;
  if (n > 0 && line[n - 1] == '\r') line[--n] = 0;
}

int SubtitleText::ReadLine(char* buffer, int size) {
  if (m_stream.ReadLine(buffer, size) != 0) {
    // A zero byte at once also reads as nothing; only the real end of the data ends the file.
    if (m_stream.AtEnd()) return 1;
    buffer[0] = 0;
    return 0;
  }
  StripLineEnd(buffer);
  return 0;
}
