// The handler's streams: read streams present an MP4 track as an AVI stream (packed MPEG-4 video
// frames, MP3 bytes); write streams take AVI chunks and hand them to the library.
#pragma once

#include <atomic>
#include <vector>

#include "avifile/shared_file.h"
#include "platform/vfw/avifile.h"

class MP4ReadStream final : public IAVIStream {
 public:
  // kind 1 video, 0 audio. Takes a reference on the shared file.
  MP4ReadStream(mp4_shared_file* file, int track, int kind);
  bool usable() const { return usable_; }

  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  STDMETHOD(Create)(LPARAM, LPARAM) override;
  STDMETHOD(Info)(AVISTREAMINFOW* psi, LONG lSize) override;
  STDMETHOD_(LONG, FindSample)(LONG lPos, LONG lFlags) override;
  STDMETHOD(ReadFormat)(LONG lPos, void* lpFormat, LONG* lpcbFormat) override;
  STDMETHOD(SetFormat)(LONG, void*, LONG) override;
  STDMETHOD(Read)(LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer, LONG* plBytes,
                  LONG* plSamples) override;
  STDMETHOD(Write)(LONG, LONG, void*, LONG, DWORD, LONG*, LONG*) override;
  STDMETHOD(Delete)(LONG, LONG) override;
  STDMETHOD(ReadData)(DWORD, void*, LONG*) override;
  STDMETHOD(WriteData)(DWORD, void*, LONG) override;
  STDMETHOD(SetInfo)(AVISTREAMINFOW*, LONG) override;
  STDMETHOD(WriteEx)(LONG, LONG, void*, LONG, DWORD, LONG*, LONG*, LONG);

 private:
  virtual ~MP4ReadStream();
  bool ParseVideoConfiguration();
  void BuildAudioFormat(const uint8_t* config, uint32_t length);
  HRESULT ReadAudio(LONG start, LONG count, void* buffer, LONG size, LONG* bytes, LONG* samples);
  HRESULT ReadVideo(LONG start, LONG count, void* buffer, LONG size, LONG* bytes, LONG* samples);
  // The bytes of video frame j (packed as an AVI carries it); false when it cannot be built.
  bool FramePlan(uint32_t j, uint32_t* size, int* kind);
  uint32_t CopyFrame(uint32_t j, int kind, uint8_t* out);
  bool NotCodedVop(uint32_t j, uint8_t out[8]);
  int VopType(uint32_t index);

  std::atomic<ULONG> references_{1};
  mp4_shared_file* file_;
  int track_;
  int kind_;
  std::vector<uint8_t> configuration_;
  uint32_t layer_start_ = 0, layer_length_ = 0;
  std::vector<uint8_t> layer_header_;  // what precedes every key frame handed out
  double duration_ = 0;
  uint32_t sample_count_ = 0;
  std::vector<uint32_t> sample_sizes_;
  std::vector<uint64_t> sample_ends_;  // running totals, for finding the sample of a byte
  uint64_t total_bytes_ = 0;
  std::vector<uint8_t> wave_format_;  // WAVEFORMATEX and its extra bytes
  uint32_t verid_ = 1, shape_ = 0, resolution_ = 0, fixed_rate_ = 0, fixed_increment_ = 0;
  uint32_t width_ = 0, height_ = 0;
  bool have_layer_ = false;
  bool usable_ = false;
};

class MP4WriteStream final : public IAVIStream {
 public:
  MP4WriteStream(mp4_shared_file* file, const AVISTREAMINFOW& info);
  bool usable() const { return usable_; }
  DWORD type() const { return info_.fccType; }

  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  STDMETHOD(Create)(LPARAM, LPARAM) override;
  STDMETHOD(Info)(AVISTREAMINFOW*, LONG) override;
  STDMETHOD_(LONG, FindSample)(LONG, LONG) override;
  STDMETHOD(ReadFormat)(LONG, void*, LONG*) override;
  STDMETHOD(SetFormat)(LONG lPos, void* lpFormat, LONG cbFormat) override;
  STDMETHOD(Read)(LONG, LONG, void*, LONG, LONG*, LONG*) override;
  STDMETHOD(Write)(LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer, DWORD dwFlags,
                   LONG* plSampWritten, LONG* plBytesWritten) override;
  STDMETHOD(Delete)(LONG, LONG) override;
  STDMETHOD(ReadData)(DWORD, void*, LONG*) override;
  STDMETHOD(WriteData)(DWORD, void*, LONG) override;
  STDMETHOD(SetInfo)(AVISTREAMINFOW*, LONG) override;
  // The write with a duration argument (which is not used).
  STDMETHOD(WriteEx)(LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer, DWORD dwFlags,
                     LONG* plSampWritten, LONG* plBytesWritten, LONG duration);

 private:
  virtual ~MP4WriteStream();
  bool IsNotCodedVop(const uint8_t* data, LONG size);

  std::atomic<ULONG> references_{1};
  bool usable_ = false;
  mp4_shared_file* file_;
  int track_ = 0;
  AVISTREAMINFOW info_;
  DWORD format_ = 0;
};

// The 8-byte not-coded P-VOP that stands in for a B-VOP packed into the frame before it.
// `increment_bits` is the width of vop_time_increment.
void mp4_not_coded_vop(uint32_t time_increment, int increment_bits, uint8_t out[8]);
// Reads vop_coding_type, vop_time_increment and vop_coded from a VOP (start code included);
// false when the data is too short.
bool mp4_short_vop_header(const uint8_t* data, size_t size, int increment_bits, uint32_t* type,
                          uint32_t* time_increment, uint32_t* coded);
