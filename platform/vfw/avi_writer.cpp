#include <cstring>

#include "platform/vfw/avi_file.h"

namespace vfw {
namespace {

constexpr uint64_t kMaxRiff = 0xFFFFFFFFull;  // a RIFF size is 32 bits

void Le32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

DWORD AviChunkId(int stream, WORD twocc) {
  const char tens = static_cast<char>('0' + (stream / 10) % 10);
  const char ones = static_cast<char>('0' + stream % 10);
  return MakeFourCC(tens, ones, 0, 0) | (static_cast<DWORD>(twocc) << 16);
}

AviWriter::AviWriter() = default;

AviWriter::~AviWriter() {
  if (file_) Close();
}

bool AviWriter::Fail(const std::string& message) {
  if (!failed_) error_ = message;
  failed_ = true;
  return false;
}

bool AviWriter::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return Fail("cannot create " + path);
  return true;
}

int AviWriter::AddStream(const AVISTREAMHEADER& header, const void* format, size_t formatSize) {
  if (headersWritten_ || streams_.size() >= 99 || formatSize > (1u << 20)) {
    error_ = "stream added too late or too large";  // the file itself is still sound
    return -1;
  }
  Stream s;
  s.header = header;
  s.header.dwLength = 0;
  s.header.dwSuggestedBufferSize = 0;
  const uint8_t* f = static_cast<const uint8_t*>(format);
  s.format.assign(f, f + formatSize);
  streams_.push_back(std::move(s));
  return static_cast<int>(streams_.size() - 1);
}

bool AviWriter::WriteHeaders() {
  std::vector<uint8_t> h;
  auto put32 = [&h](uint32_t v) {
    uint8_t b[4];
    Le32(b, v);
    h.insert(h.end(), b, b + 4);
  };
  auto putId = [&h](const char* id) { h.insert(h.end(), id, id + 4); };
  auto patch = [&h](size_t at, uint32_t v) { Le32(&h[at], v); };

  putId("RIFF");
  put32(0);
  putId("AVI ");
  putId("LIST");
  const size_t hdrlSize = h.size();
  put32(0);
  putId("hdrl");
  putId("avih");
  put32(sizeof(MainAVIHeader));
  avihOffset_ = h.size();
  h.resize(h.size() + sizeof(MainAVIHeader), 0);
  for (Stream& s : streams_) {
    putId("LIST");
    const size_t strlSize = h.size();
    put32(0);
    putId("strl");
    putId("strh");
    put32(sizeof(AVISTREAMHEADER));
    s.headerOffset = h.size();
    h.resize(h.size() + sizeof(AVISTREAMHEADER), 0);
    putId("strf");
    put32(static_cast<uint32_t>(s.format.size()));
    h.insert(h.end(), s.format.begin(), s.format.end());
    if (s.format.size() & 1) h.push_back(0);
    patch(strlSize, static_cast<uint32_t>(h.size() - strlSize - 4));
  }
  patch(hdrlSize, static_cast<uint32_t>(h.size() - hdrlSize - 4));
  putId("LIST");
  put32(0);
  moviOffset_ = h.size();
  putId("movi");
  if (std::fwrite(h.data(), 1, h.size(), file_) != h.size()) return Fail("write failed");
  position_ = h.size();
  headersWritten_ = true;
  return true;
}

bool AviWriter::WriteSample(int stream, const void* data, size_t size, DWORD flags, WORD twocc) {
  if (!file_ || stream < 0 || static_cast<size_t>(stream) >= streams_.size()) return Fail("no such stream");
  if (!headersWritten_ && !WriteHeaders()) return false;
  const uint64_t padded = (static_cast<uint64_t>(size) + 1) & ~uint64_t{1};
  // The sample, the index with its entry and the chunk headers must all fit the 32-bit RIFF size.
  if (position_ + 8 + padded + 8 + (index_.size() + 1) * sizeof(AVIINDEXENTRY) > kMaxRiff)
    return Fail("the file would exceed the 4 GiB a RIFF file can hold");
  Stream& s = streams_[static_cast<size_t>(stream)];
  if (twocc == 0) twocc = s.header.fccType == streamtypeAUDIO ? MakeTwoCC('w', 'b') : MakeTwoCC('d', 'c');
  uint8_t head[8];
  const DWORD ckid = AviChunkId(stream, twocc);
  Le32(head, ckid);
  Le32(head + 4, static_cast<uint32_t>(size));
  index_.push_back({ckid, flags, static_cast<DWORD>(position_ - moviOffset_), static_cast<DWORD>(size)});
  static const uint8_t zero = 0;
  if (std::fwrite(head, 1, 8, file_) != 8 || (size && std::fwrite(data, 1, size, file_) != size) ||
      ((size & 1) && std::fwrite(&zero, 1, 1, file_) != 1))
    return Fail("write failed");
  position_ += 8 + padded;
  // A stream of fixed-size samples (audio bytes) counts its length in those samples.
  s.header.dwLength += s.header.dwSampleSize ? static_cast<DWORD>(size / s.header.dwSampleSize) : 1;
  if (size > s.header.dwSuggestedBufferSize) s.header.dwSuggestedBufferSize = static_cast<DWORD>(size);
  if (size > largest_) largest_ = static_cast<DWORD>(size);
  return true;
}

bool AviWriter::Close() {
  if (!file_) return !failed_;
  bool ok = !failed_;
  if (!headersWritten_ && !WriteHeaders()) ok = false;
  if (ok) {
    const uint64_t moviEnd = position_;
    uint8_t head[8];
    std::memcpy(head, "idx1", 4);
    Le32(head + 4, static_cast<uint32_t>(index_.size() * sizeof(AVIINDEXENTRY)));
    ok = std::fwrite(head, 1, 8, file_) == 8 &&
         (index_.empty() || std::fwrite(index_.data(), sizeof(AVIINDEXENTRY), index_.size(), file_) == index_.size());
    position_ += 8 + index_.size() * sizeof(AVIINDEXENTRY);

    MainAVIHeader m{};
    const Stream* video = nullptr;
    for (const Stream& s : streams_)
      if (s.header.fccType == streamtypeVIDEO && !video) video = &s;
    if (video && video->header.dwRate) {
      m.dwMicroSecPerFrame =
          static_cast<DWORD>(uint64_t{1000000} * video->header.dwScale / video->header.dwRate);
      m.dwTotalFrames = video->header.dwLength;
      m.dwWidth = static_cast<DWORD>(video->header.rcFrame.right - video->header.rcFrame.left);
      m.dwHeight = static_cast<DWORD>(video->header.rcFrame.bottom - video->header.rcFrame.top);
      const uint64_t perSecond = uint64_t{largest_} * video->header.dwRate / (video->header.dwScale ? video->header.dwScale : 1);
      m.dwMaxBytesPerSec = static_cast<DWORD>(perSecond > 0xFFFFFFFFu ? 0xFFFFFFFFu : perSecond);
    }
    m.dwFlags = AVIF_HASINDEX;
    m.dwStreams = static_cast<DWORD>(streams_.size());
    m.dwSuggestedBufferSize = largest_ + 8;
    uint8_t size[4];
    auto patch = [this, &ok](uint64_t at, const void* data, size_t n) {
      ok = ok && fseeko(file_, static_cast<off_t>(at), SEEK_SET) == 0 && std::fwrite(data, 1, n, file_) == n;
    };
    Le32(size, static_cast<uint32_t>(position_ - 8));
    patch(4, size, 4);
    patch(avihOffset_, &m, sizeof(m));
    for (const Stream& s : streams_) patch(s.headerOffset, &s.header, sizeof(s.header));
    Le32(size, static_cast<uint32_t>(moviEnd - moviOffset_));
    patch(moviOffset_ - 4, size, 4);
  }
  if (std::fclose(file_) != 0) ok = false;
  file_ = nullptr;
  if (!ok) Fail("write failed");
  return !failed_;
}

}  // namespace vfw
