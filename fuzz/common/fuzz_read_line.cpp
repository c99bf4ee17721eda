// Line reading over hostile bytes, in both forms, from memory (binary) and from a file in text
// mode. Every byte but the zero bytes must come out exactly once, in order (text mode reads
// CR LF as LF), whatever the buffer size.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/file_stream.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::string WithoutZeros(std::string s) {
  std::string out;
  for (char c : s)
    if (c) out.push_back(c);
  return out;
}

std::string ReadAllBuffer(ByteStream& s, int size) {
  std::string all, buffer(static_cast<size_t>(size), '\0');
  for (size_t guard = 0;; ++guard) {
    Check(guard < 4 * (1u << 20));
    int rc = s.ReadLine(buffer.data(), size);
    size_t n = std::char_traits<char>::length(buffer.c_str());
    Check(n <= static_cast<size_t>(size - 1));
    Check((rc == 1) == (n == 0));
    all.append(buffer.c_str(), n);
    if (rc == 1 && s.AtEnd()) break;
  }
  return all;
}

std::string ReadAllString(ByteStream& s) {
  std::string all;
  SharedString line;
  for (size_t guard = 0;; ++guard) {
    Check(guard < 4 * (1u << 20));
    int rc = s.ReadLine(line);
    Check((rc == 1) == line.IsEmpty());
    all += line.c_str();
    if (rc == 1 && s.AtEnd()) break;
  }
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int bufferSize = 2 + data[0] % 40;
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string expectBinary = WithoutZeros(bytes);

  MemoryStream m1(bytes.data(), bytes.size());
  Check(ReadAllBuffer(m1, bufferSize) == expectBinary);
  MemoryStream m2(bytes.data(), bytes.size());
  Check(ReadAllString(m2) == expectBinary);

  std::string text = bytes;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
    text.replace(at, 2, "\n");
  const std::string expectText = WithoutZeros(text);

  static const std::string path = "/tmp/fuzz_read_line." + std::to_string(getpid());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  FileStream fs;
  if (fs.Open(path.c_str(), "rt") == 0) {
    Check(ReadAllBuffer(fs, bufferSize) == expectText);
    Check(fs.Seek(0, SEEK_SET) == 0);
    Check(ReadAllString(fs) == expectText);
  }
  fs.Close();
  std::remove(path.c_str());
  return 0;
}
