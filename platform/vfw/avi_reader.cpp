#include <algorithm>
#include <cstring>

#include "platform/vfw/avi_file.h"

namespace vfw {
namespace {

constexpr size_t kMaxStreams = 100;
constexpr uint32_t kMaxFormat = 1u << 20;
constexpr int kMaxDepth = 4;

uint32_t Le32(const uint8_t* p) {
  return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

bool IsId(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// Stream number of a chunk id such as "01wb", or -1.
int StreamOf(DWORD ckid) {
  const int a = static_cast<int>(ckid & 0xFF) - '0', b = static_cast<int>((ckid >> 8) & 0xFF) - '0';
  if (a < 0 || a > 9 || b < 0 || b > 9) return -1;
  return a * 10 + b;
}

}  // namespace

AviReader::AviReader() = default;

AviReader::~AviReader() {
  if (file_) std::fclose(file_);
}

bool AviReader::Fail(const std::string& message) {
  if (error_.empty()) error_ = message;
  return false;
}

bool AviReader::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) return Fail("cannot open " + path);
  if (fseeko(file_, 0, SEEK_END) != 0) return Fail("cannot read " + path);
  const off_t end = ftello(file_);
  if (end < 0) return Fail("cannot read " + path);
  size_ = static_cast<uint64_t>(end);
  return Parse();
}

bool AviReader::OpenMemory(const uint8_t* data, size_t size) {
  memory_ = data;
  size_ = size;
  return Parse();
}

bool AviReader::ReadAt(uint64_t offset, void* dst, size_t size) {
  if (offset > size_ || size > size_ - offset) return false;
  if (memory_) {
    std::memcpy(dst, memory_ + offset, size);
    return true;
  }
  return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0 && std::fread(dst, 1, size, file_) == size;
}

bool AviReader::Parse() {
  uint8_t head[12];
  if (!ReadAt(0, head, 12) || !IsId(head, "RIFF") || !IsId(head + 8, "AVI ")) return Fail("not an AVI file");
  const uint64_t riffEnd = std::min<uint64_t>(8 + uint64_t{Le32(head + 4)}, size_);
  bool haveHeader = false;
  uint64_t indexBegin = 0, indexEnd = 0;
  for (uint64_t at = 12; at + 8 <= riffEnd;) {
    uint8_t chunk[12];
    if (!ReadAt(at, chunk, 8)) break;
    const uint64_t size = Le32(chunk + 4);
    const uint64_t end = std::min<uint64_t>(at + 8 + size, riffEnd);
    if (IsId(chunk, "LIST") && at + 12 <= end && ReadAt(at + 8, chunk + 8, 4)) {
      if (IsId(chunk + 8, "hdrl")) {
        if (!ParseHeaderList(at + 12, end)) return false;
        haveHeader = true;
      } else if (IsId(chunk + 8, "movi") && moviEnd_ == 0) {
        moviBegin_ = at + 8;
        moviEnd_ = end;
      }
    } else if (IsId(chunk, "idx1") && !hasIndex_) {
      indexBegin = at + 8;
      indexEnd = end;
      hasIndex_ = true;
    }
    at += 8 + size + (size & 1);
  }
  if (!haveHeader) return Fail("the AVI file has no header list");
  if (moviEnd_ == 0) return Fail("the AVI file has no movi list");
  if (hasIndex_) ParseIndex(indexBegin, indexEnd);
  else ScanMovi();
  return true;
}

bool AviReader::ParseHeaderList(uint64_t begin, uint64_t end) {
  for (uint64_t at = begin; at + 8 <= end;) {
    uint8_t chunk[12];
    if (!ReadAt(at, chunk, 8)) break;
    const uint64_t size = Le32(chunk + 4);
    const uint64_t chunkEnd = std::min<uint64_t>(at + 8 + size, end);
    if (IsId(chunk, "avih")) {
      ReadAt(at + 8, &main_, static_cast<size_t>(std::min<uint64_t>(sizeof(main_), chunkEnd - at - 8)));
    } else if (IsId(chunk, "LIST") && at + 12 <= chunkEnd && ReadAt(at + 8, chunk + 8, 4) && IsId(chunk + 8, "strl")) {
      if (streams_.size() >= kMaxStreams) return Fail("the AVI file has too many streams");
      if (!ParseStreamList(at + 12, chunkEnd)) return false;
    }
    at += 8 + size + (size & 1);
  }
  return true;
}

bool AviReader::ParseStreamList(uint64_t begin, uint64_t end) {
  AviStream s;
  bool haveHeader = false;
  for (uint64_t at = begin; at + 8 <= end;) {
    uint8_t chunk[8];
    if (!ReadAt(at, chunk, 8)) break;
    const uint64_t size = Le32(chunk + 4);
    const uint64_t available = std::min<uint64_t>(size, end - at - 8);
    if (IsId(chunk, "strh")) {
      ReadAt(at + 8, &s.header, static_cast<size_t>(std::min<uint64_t>(sizeof(s.header), available)));
      haveHeader = true;
    } else if (IsId(chunk, "strf")) {
      if (available > kMaxFormat) return Fail("the AVI file has an oversized stream format");
      s.format.resize(static_cast<size_t>(available));
      if (!s.format.empty() && !ReadAt(at + 8, s.format.data(), s.format.size())) return Fail("cannot read a stream format");
    }
    at += 8 + size + (size & 1);
  }
  if (!haveHeader) return Fail("a stream of the AVI file has no header");
  streams_.push_back(std::move(s));
  return true;
}

void AviReader::ParseIndex(uint64_t begin, uint64_t end) {
  const uint64_t count = (end - begin) / sizeof(AVIINDEXENTRY);
  // Offsets count from the "movi" type, or (in some writers' files) from the file's start.
  uint64_t base = moviBegin_;
  bool baseKnown = false;
  constexpr size_t kBatch = 4096;
  std::vector<AVIINDEXENTRY> batch;
  for (uint64_t first = 0; first < count; first += kBatch) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kBatch, count - first));
    batch.resize(n);
    if (!ReadAt(begin + first * sizeof(AVIINDEXENTRY), batch.data(), n * sizeof(AVIINDEXENTRY))) return;
    for (const AVIINDEXENTRY& e : batch) {
      if (e.dwFlags & AVIIF_LIST) continue;
      const int stream = StreamOf(e.ckid);
      if (stream < 0 || static_cast<size_t>(stream) >= streams_.size()) continue;
      if (!baseKnown) {
        uint8_t id[4];
        if (!(ReadAt(moviBegin_ + e.dwChunkOffset, id, 4) && Le32(id) == e.ckid) &&
            ReadAt(e.dwChunkOffset, id, 4) && Le32(id) == e.ckid)
          base = 0;
        baseKnown = true;
      }
      const uint64_t data = base + e.dwChunkOffset + 8;
      if (data > size_ || e.dwChunkLength > size_ - data) continue;  // points outside the file
      streams_[static_cast<size_t>(stream)].samples.push_back({data, e.dwChunkLength, e.dwFlags});
    }
  }
}

void AviReader::ScanMovi() {
  struct Level {
    uint64_t at, end;
  };
  std::vector<Level> stack = {{moviBegin_ + 4, moviEnd_}};
  while (!stack.empty()) {
    Level& level = stack.back();
    if (level.at + 8 > level.end) {
      stack.pop_back();
      continue;
    }
    uint8_t chunk[12];
    if (!ReadAt(level.at, chunk, 8)) return;
    const uint64_t size = Le32(chunk + 4);
    const uint64_t at = level.at;
    level.at += 8 + size + (size & 1);
    if (IsId(chunk, "LIST")) {
      if (stack.size() < kMaxDepth) stack.push_back({at + 12, std::min<uint64_t>(at + 8 + size, moviEnd_)});
      continue;
    }
    const int stream = StreamOf(Le32(chunk));
    if (stream < 0 || static_cast<size_t>(stream) >= streams_.size()) continue;
    if (at + 8 + size > size_) return;
    streams_[static_cast<size_t>(stream)].samples.push_back({at + 8, static_cast<DWORD>(size), AVIIF_KEYFRAME});
  }
}

bool AviReader::ReadSample(size_t stream, size_t sample, std::vector<uint8_t>* data) {
  if (stream >= streams_.size() || sample >= streams_[stream].samples.size()) return Fail("no such sample");
  const AviSample& s = streams_[stream].samples[sample];
  data->resize(s.size);
  if (s.size && !ReadAt(s.offset, data->data(), s.size)) return Fail("cannot read a sample");
  return true;
}

}  // namespace vfw
