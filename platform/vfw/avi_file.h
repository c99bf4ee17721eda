// Plain AVI files (RIFF "AVI " with an idx1 index): streams, each with a stream header and a
// format block, and samples with their flags. The writer produces one movi list followed by the
// index; the reader takes any well-formed file of this kind, checks every size and offset
// against the file, and drops index entries that point outside it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/vfw/vfw.h"

namespace vfw {

constexpr FOURCC streamtypeVIDEO = MakeFourCC('v', 'i', 'd', 's');
constexpr FOURCC streamtypeAUDIO = MakeFourCC('a', 'u', 'd', 's');
constexpr DWORD AVIF_HASINDEX = 0x00000010;
constexpr DWORD AVIF_ISINTERLEAVED = 0x00000100;

struct MainAVIHeader {
  DWORD dwMicroSecPerFrame;
  DWORD dwMaxBytesPerSec;
  DWORD dwPaddingGranularity;
  DWORD dwFlags;
  DWORD dwTotalFrames;
  DWORD dwInitialFrames;
  DWORD dwStreams;
  DWORD dwSuggestedBufferSize;
  DWORD dwWidth;
  DWORD dwHeight;
  DWORD dwReserved[4];
};
static_assert(sizeof(MainAVIHeader) == 56);

struct AVISTREAMHEADER {
  FOURCC fccType;
  FOURCC fccHandler;
  DWORD dwFlags;
  WORD wPriority;
  WORD wLanguage;
  DWORD dwInitialFrames;
  DWORD dwScale;
  DWORD dwRate;
  DWORD dwStart;
  DWORD dwLength;
  DWORD dwSuggestedBufferSize;
  DWORD dwQuality;
  DWORD dwSampleSize;
  struct {
    int16_t left, top, right, bottom;
  } rcFrame;
};
static_assert(sizeof(AVISTREAMHEADER) == 56);

struct AVIINDEXENTRY {
  DWORD ckid;
  DWORD dwFlags;
  DWORD dwChunkOffset;
  DWORD dwChunkLength;
};
static_assert(sizeof(AVIINDEXENTRY) == 16);

// Chunk id of a sample of stream `stream` ("00dc", "01wb", ...).
DWORD AviChunkId(int stream, WORD twocc);

class AviWriter {
 public:
  AviWriter();
  ~AviWriter();  // closes the file if Close() was not called (the index is still written)
  bool Open(const std::string& path);
  // Streams are added before the first sample. dwLength and dwSuggestedBufferSize are counted
  // by the writer. Returns the stream's number, or -1.
  int AddStream(const AVISTREAMHEADER& header, const void* format, size_t formatSize);
  // `twocc` 0 picks "dc" for video and "wb" for audio. Flags are the index flags (AVIIF_KEYFRAME).
  bool WriteSample(int stream, const void* data, size_t size, DWORD flags, WORD twocc = 0);
  bool Close();
  const std::string& error() const { return error_; }

 private:
  bool WriteHeaders();
  bool Fail(const std::string& message);
  struct Stream {
    AVISTREAMHEADER header;
    std::vector<uint8_t> format;
    uint64_t headerOffset = 0;  // file offset of the strh data
  };
  FILE* file_ = nullptr;
  std::string error_;
  bool failed_ = false;
  std::vector<Stream> streams_;
  std::vector<AVIINDEXENTRY> index_;
  uint64_t avihOffset_ = 0;
  uint64_t moviOffset_ = 0;  // offset of the "movi" list type
  uint64_t position_ = 0;
  bool headersWritten_ = false;
  DWORD largest_ = 0;
};

struct AviSample {
  uint64_t offset;  // of the sample data in the file
  DWORD size;
  DWORD flags;
};

struct AviStream {
  AVISTREAMHEADER header{};
  std::vector<uint8_t> format;
  std::vector<AviSample> samples;
};

class AviReader {
 public:
  AviReader();
  ~AviReader();
  bool Open(const std::string& path);
  // Reads a file held in memory (the data must outlive the reader).
  bool OpenMemory(const uint8_t* data, size_t size);
  const MainAVIHeader& mainHeader() const { return main_; }
  size_t streamCount() const { return streams_.size(); }
  const AviStream& stream(size_t i) const { return streams_[i]; }
  bool hasIndex() const { return hasIndex_; }
  // Reads one sample into *data (resized to the sample's size).
  bool ReadSample(size_t stream, size_t sample, std::vector<uint8_t>* data);
  const std::string& error() const { return error_; }

 private:
  bool Parse();
  bool ReadAt(uint64_t offset, void* dst, size_t size);
  bool ParseHeaderList(uint64_t begin, uint64_t end);
  bool ParseStreamList(uint64_t begin, uint64_t end);
  void ParseIndex(uint64_t begin, uint64_t end);
  void ScanMovi();
  bool Fail(const std::string& message);

  FILE* file_ = nullptr;
  const uint8_t* memory_ = nullptr;
  uint64_t size_ = 0;
  std::string error_;
  MainAVIHeader main_{};
  std::vector<AviStream> streams_;
  uint64_t moviBegin_ = 0, moviEnd_ = 0;  // offset of the "movi" type and the list's end
  bool hasIndex_ = false;
};

}  // namespace vfw
