// Running ffmpeg and ffprobe from tests: making inputs and reading back what they decode.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace avitest {

inline std::string Shell(const std::string& command, int* status = nullptr) {
  std::string out;
  std::FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int s = pclose(p);
  if (status) *status = s;
  return out;
}

inline bool HaveFfmpeg() {
  int status = 0;
  Shell("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1", &status);
  return status == 0;
}

// Makes `path` with ffmpeg from test sources: `video` and `audio` are output options for the two
// streams (empty: no such stream).
inline bool MakeAvi(const std::string& path, const std::string& video, const std::string& audio,
                    double seconds = 2, const std::string& size = "160x120") {
  std::ostringstream cmd;
  cmd << "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=" << size << ":rate=25:duration=" << seconds;
  if (!audio.empty()) cmd << " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=" << seconds;
  // ffmpeg shifts every stream by the MP3 encoder's priming and then fills the gap with an empty
  // video chunk; tests that want that chunk ask for the shift themselves.
  if (video.find("-avoid_negative_ts") == std::string::npos) cmd << " -avoid_negative_ts disabled";
  cmd << " " << video << " " << (audio.empty() ? "-an" : audio) << " '" << path << "' 2>&1";
  int status = 0;
  std::string out = Shell(cmd.str(), &status);
  if (status != 0) ADD_FAILURE() << cmd.str() << "\n" << out;
  return status == 0;
}

struct Frame {
  double time;  // seconds
  std::string md5;
};

// Decoded video frames of stream 0 as ffmpeg reports them; `input_options` go before -i.
inline std::vector<Frame> DecodedFrames(const std::string& path, const std::string& input_options = "") {
  std::istringstream in(Shell("ffmpeg -nostdin -v error " + input_options + " -i '" + path +
                              "' -map 0:v:0 -f framemd5 - 2>/dev/null"));
  std::vector<Frame> out;
  std::string line;
  long num = 1, den = 1;
  while (std::getline(in, line)) {
    if (line.rfind("#tb 0:", 0) == 0) {
      std::sscanf(line.c_str(), "#tb 0: %ld/%ld", &num, &den);
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    long long dts, pts, duration, size;
    int stream;
    char md5[64] = {};
    if (std::sscanf(line.c_str(), "%d, %lld, %lld, %lld, %lld, %63s", &stream, &dts, &pts, &duration, &size, md5) == 6)
      out.push_back({double(pts) * double(num) / double(den), md5});
  }
  return out;
}

inline std::string AudioMd5(const std::string& path) {
  return Shell("ffmpeg -nostdin -v error -i '" + path + "' -map 0:a:0 -f md5 - 2>/dev/null");
}

// Whatever ffprobe and a full decode complain about (empty when the file is clean).
inline std::string FfmpegComplaints(const std::string& path) {
  return Shell("ffprobe -v error -show_format -show_streams '" + path + "' 2>&1 >/dev/null; ffmpeg -nostdin -v error -i '" +
               path + "' -f null - 2>&1");
}

// Top-level atoms as (type, offset, size).
struct Atom {
  std::string type;
  uint64_t offset, size;
};
inline std::vector<Atom> TopLevelAtoms(const std::vector<uint8_t>& file) {
  std::vector<Atom> out;
  uint64_t at = 0;
  while (at + 8 <= file.size()) {
    uint64_t size = uint64_t(file[at]) << 24 | uint64_t(file[at + 1]) << 16 | uint64_t(file[at + 2]) << 8 | file[at + 3];
    out.push_back({std::string(reinterpret_cast<const char*>(&file[at + 4]), 4), at, size});
    if (size < 8) break;
    at += size;
  }
  return out;
}

}  // namespace avitest
