// Builds small RIFF AVI files byte by byte, so that each test shows the layout it feeds.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace avitest {

using Bytes = std::vector<uint8_t>;

inline void Put32(Bytes* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b->push_back(uint8_t(v >> (8 * i)));
}
inline void Put16(Bytes* b, uint16_t v) {
  b->push_back(uint8_t(v));
  b->push_back(uint8_t(v >> 8));
}
inline void PutCode(Bytes* b, const char* code) {
  for (int i = 0; i < 4; ++i) b->push_back(uint8_t(code[i]));
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
// A chunk with its pad byte; `size` overrides the size field (to lie about it).
inline Bytes Chunk(const char* id, const Bytes& data, int64_t size = -1) {
  Bytes b;
  PutCode(&b, id);
  Put32(&b, size < 0 ? uint32_t(data.size()) : uint32_t(size));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() & 1) b.push_back(0);
  return b;
}
inline Bytes List(const char* id, const char* type, const Bytes& children, int64_t size = -1) {
  Bytes data;
  PutCode(&data, type);
  data.insert(data.end(), children.begin(), children.end());
  return Chunk(id, data, size < 0 ? -1 : size);
}
inline Bytes Avih(uint32_t total_frames, uint32_t width, uint32_t height, uint32_t size = 56) {
  Bytes d;
  uint32_t fields[14] = {40000, 0, 0, 0x10, total_frames, 0, 2, 0, width, height};
  for (uint32_t f : fields) Put32(&d, f);
  d.resize(size, 0);
  return Chunk("avih", d);
}
inline Bytes Strh(const char* type, const char* handler, uint32_t scale, uint32_t rate,
                  uint32_t size = 56) {
  Bytes d;
  PutCode(&d, type);
  PutCode(&d, handler);
  for (int i = 0; i < 3; ++i) Put32(&d, 0);  // flags, priority+language, initial frames
  Put32(&d, scale);
  Put32(&d, rate);
  d.resize(size, 0);
  return Chunk("strh", d);
}
inline Bytes StrfVideo(const char* compression, uint32_t width, uint32_t height) {
  Bytes d;
  Put32(&d, 40);
  Put32(&d, width);
  Put32(&d, height);
  Put16(&d, 1);
  Put16(&d, 24);
  PutCode(&d, compression);
  d.resize(40, 0);
  return Chunk("strf", d);
}
inline Bytes StrfAudio(uint16_t tag, uint32_t rate) {
  Bytes d;
  Put16(&d, tag);
  Put16(&d, 2);
  Put32(&d, rate);
  Put32(&d, 16000);
  Put16(&d, 1);
  Put16(&d, 0);
  Put16(&d, 0);
  return Chunk("strf", d);
}
inline Bytes VideoStrl(const char* code = "KU50", uint32_t scale = 1, uint32_t rate = 25) {
  return List("LIST", "strl", Cat({Strh("vids", code, scale, rate), StrfVideo(code, 160, 120)}));
}
inline Bytes AudioStrl(uint16_t tag = 0x55, uint32_t rate = 44100) {
  return List("LIST", "strl", Cat({Strh("auds", "\0\0\0\0", 1, rate), StrfAudio(tag, rate)}));
}
inline Bytes Hdrl(std::initializer_list<Bytes> children) { return List("LIST", "hdrl", Cat(children)); }
inline Bytes Movi(std::initializer_list<Bytes> chunks) { return List("LIST", "movi", Cat(chunks)); }
inline Bytes Riff(std::initializer_list<Bytes> children, const char* id = "RIFF") {
  return List(id, "AVI ", Cat(children));
}

inline std::string TempPath(const std::string& name) {
  return testing::TempDir() + "avitest_" + std::to_string(getpid()) + "_" + name;
}
inline std::string WriteFile(const std::string& name, const Bytes& data) {
  std::string path = TempPath(name);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f) {
    if (!data.empty()) std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  }
  return path;
}
inline Bytes ReadFile(const std::string& path) {
  Bytes out;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  std::fclose(f);
  return out;
}

}  // namespace avitest
