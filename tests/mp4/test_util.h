// Builders for the small streams and files the mp4 tests feed the library.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mp4/mp4file.h"
#include "mp4/mp4v_headers.h"

namespace mp4test {

using Bytes = std::vector<uint8_t>;

class BitWriter {
 public:
  void put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (bit_ == 0) out_.push_back(0);
      if ((value >> i) & 1) out_.back() |= static_cast<uint8_t>(0x80 >> bit_);
      bit_ = (bit_ + 1) % 8;
    }
  }
  // Stuffing as the standard does it: a 0 then ones up to the byte boundary.
  Bytes finish() {
    put(0, 1);
    while (bit_ != 0) put(1, 1);
    return out_;
  }
  Bytes raw() const { return out_; }

 private:
  Bytes out_;
  int bit_ = 0;
};

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes VoHeader() { return {0, 0, 1, 0x00}; }

inline Bytes VolHeader(uint32_t resolution, uint32_t width, uint32_t height, int fixed_increment = 0,
                       uint32_t shape = 0) {
  BitWriter w;
  w.put(0x00000120, 32);
  w.put(0, 1);       // random_accessible_vol
  w.put(1, 8);       // video_object_type_indication
  w.put(0, 1);       // is_object_layer_identifier
  w.put(1, 4);       // aspect_ratio_info
  w.put(0, 1);       // vol_control_parameters
  w.put(shape, 2);
  w.put(1, 1);
  w.put(resolution, 16);
  w.put(1, 1);
  w.put(fixed_increment ? 1 : 0, 1);
  if (fixed_increment) w.put(static_cast<uint32_t>(fixed_increment), mp4v_time_increment_bits(resolution));
  if (shape == 0) {
    w.put(1, 1);
    w.put(width, 13);
    w.put(1, 1);
    w.put(height, 13);
    w.put(1, 1);
  }
  w.put(0, 1);  // interlaced
  w.put(1, 1);  // obmc_disable
  return w.finish();
}

inline Bytes Config(uint32_t resolution, uint32_t width = 160, uint32_t height = 120) {
  return Cat({VoHeader(), VolHeader(resolution, width, height)});
}

// A VOP header followed by a few payload bytes (never a start code).
inline Bytes Vop(char type, uint32_t modulo_time_base, uint32_t increment, uint32_t resolution, size_t payload = 16) {
  BitWriter w;
  w.put(0x000001B6, 32);
  w.put(static_cast<uint32_t>(std::string("IPBS").find(type)), 2);
  for (uint32_t i = 0; i < modulo_time_base; ++i) w.put(1, 1);
  w.put(0, 1);
  w.put(1, 1);
  w.put(increment, mp4v_time_increment_bits(resolution));
  w.put(1, 1);
  w.put(1, 1);  // vop_coded
  if (type == 'P') w.put(0, 1);
  Bytes out = w.finish();
  for (size_t i = 0; i < payload; ++i) out.push_back(static_cast<uint8_t>(0x55 + i));
  return out;
}

inline Bytes Gov(uint32_t seconds) {
  BitWriter w;
  w.put(0x000001B3, 32);
  w.put(seconds / 3600, 5);
  w.put((seconds / 60) % 60, 6);
  w.put(1, 1);
  w.put(seconds % 60, 6);
  w.put(0, 1);  // closed_gov
  w.put(0, 1);  // broken_link
  return w.finish();
}

// MPEG-1 Layer III frame header (bitrate index 9 = 128 kbit/s, sampling index 0 = 44100 Hz).
inline uint32_t Mp3Header(int bitrate_index = 9, int sampling_index = 0, int padding = 0, int mpeg1 = 1) {
  return 0xFFE00000u | (mpeg1 ? 0x00180000u : 0x00100000u) | 0x00020000u | 0x00010000u |
         (uint32_t(bitrate_index) << 12) | (uint32_t(sampling_index) << 10) | (uint32_t(padding) << 9);
}

inline Bytes Mp3Frame(uint32_t header, int length, uint8_t fill) {
  Bytes f(static_cast<size_t>(length), fill);
  f[0] = uint8_t(header >> 24);
  f[1] = uint8_t(header >> 16);
  f[2] = uint8_t(header >> 8);
  f[3] = uint8_t(header);
  return f;
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/mp4test-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline Bytes ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const Bytes& data) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// Runs a shell command; returns its standard output, exit status in *status.
inline std::string Shell(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  int rc = pclose(p);
  if (status) *status = rc;
  return out;
}

// Finds the first atom of a type anywhere in the bytes (a path of types, searched by scanning).
inline long FindType(const Bytes& b, const char* type, size_t from = 0) {
  for (size_t i = from + 4; i + 4 <= b.size(); ++i)
    if (b[i] == uint8_t(type[0]) && b[i + 1] == uint8_t(type[1]) && b[i + 2] == uint8_t(type[2]) &&
        b[i + 3] == uint8_t(type[3]))
      return static_cast<long>(i - 4);
  return -1;
}

inline uint32_t Be32(const Bytes& b, size_t at) {
  return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | b[at + 3];
}
inline void PutBe32(Bytes& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v >> 24);
  b[at + 1] = uint8_t(v >> 16);
  b[at + 2] = uint8_t(v >> 8);
  b[at + 3] = uint8_t(v);
}

}  // namespace mp4test
