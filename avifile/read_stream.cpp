#include <algorithm>
#include <climits>
#include <cstring>

#include "avifile/guids.h"
#include "avifile/streams.h"
#include "mp4/bitreader.h"
#include "mp4/mp4v_headers.h"

namespace {

constexpr DWORD FourCC(const char (&s)[5]) { return MakeFourCC(s[0], s[1], s[2], s[3]); }
// A configuration or a first audio sample larger than this is not believed.
constexpr int64_t kMaxConfiguration = 1 << 20;
// The longest run of B-VOPs a read looks back over for their anchor.
constexpr uint32_t kMaxBRun = 64;

// True when user data in the configuration already says "DivX...p" (packed bitstream).
bool AnnouncesPacking(const std::vector<uint8_t>& c) {
  for (size_t i = 0; i + 4 < c.size(); ++i) {
    if (!(c[i] == 0 && c[i + 1] == 0 && c[i + 2] == 1 && c[i + 3] == 0xB2)) continue;
    size_t end = i + 4;
    while (end < c.size() && !(end + 2 < c.size() && c[end] == 0 && c[end + 1] == 0 && c[end + 2] == 1)) ++end;
    if (end - (i + 4) >= 5 && std::memcmp(&c[i + 4], "DivX", 4) == 0 && c[end - 1] == 'p') return true;
  }
  return false;
}

void SetName(AVISTREAMINFOW* info, const char* name) {
  for (int i = 0; name[i] && i < 63; ++i) info->szName[i] = static_cast<char16_t>(name[i]);
}

// Rates and scales come from times in the file: out-of-range values saturate.
DWORD Saturate(double v) {
  if (!(v >= 0)) return 0;
  return v >= 4294967295.0 ? 0xFFFFFFFFu : DWORD(v);
}

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

}  // namespace

MP4ReadStream::MP4ReadStream(mp4_shared_file* file, int track, int kind)
    : file_(file), track_(track), kind_(kind) {
  mp4_shared_file_add_ref(file_);
  SharedFileLock lock(file_);
  mp4file* h = file_->handle;
  const uint8_t* dsi = nullptr;
  uint32_t dsi_length = 0;
  mp4file_get_DecoderSpecificInfo(h, track_, &dsi, &dsi_length);
  if (dsi && dsi_length) configuration_.assign(dsi, dsi + dsi_length);
  sample_count_ = mp4file_get_sample_count(h, track_);
  if (sample_count_ >= 1) {
    uint64_t time = 0;
    uint32_t timescale = 0;
    mp4file_get_sample_time(h, track_, sample_count_ - 1, &time, &timescale);
    // The start of the last sample falls one sample short of the stream's length, which would
    // make every rate derived from it too high; the track's own duration covers it all.
    mp4_track* t = mp4file_find_track(h, track_);
    if (t && t->media_duration > time) time = t->media_duration;
    if (timescale) duration_ = double(time) / double(timescale);
  }
  if (kind_ == 1) {
    usable_ = ParseVideoConfiguration();
    if (usable_) {
      layer_header_.assign(configuration_.begin() + layer_start_, configuration_.end());
      mp4_track* t = mp4file_find_track(h, track_);
      if (t && t->ctts.present && !AnnouncesPacking(configuration_)) {
        // Frames are handed out packed (a B-VOP behind its P-VOP). Decoders learn that from this
        // user data, which packed AVI streams carry before each key frame.
        static const char kPacked[] = "\0\0\1\xB2" "DivX503b1393p";
        layer_header_.insert(layer_header_.end(), kPacked, kPacked + sizeof kPacked - 1);
      }
      layer_length_ = static_cast<uint32_t>(layer_header_.size());
    }
    return;
  }
  const size_t dsi_size = configuration_.size();
  if (configuration_.empty() && sample_count_ >= 1) {
    int64_t size = mp4file_get_sample_size(h, track_, 0);
    if (size > 0 && size <= kMaxConfiguration) {
      configuration_.resize(static_cast<size_t>(size));
      if (mp4file_read_sample(h, track_, 0, configuration_.data(), uint32_t(size)) != uint32_t(size))
        configuration_.clear();
    }
  }
  sample_sizes_.reserve(sample_count_);
  sample_ends_.reserve(sample_count_);
  for (uint32_t i = 0; i < sample_count_; ++i) {
    int64_t size = mp4file_get_sample_size(h, track_, i);
    uint32_t s = size > 0 ? uint32_t(size) : 0;
    sample_sizes_.push_back(s);
    total_bytes_ += s;
    sample_ends_.push_back(total_bytes_);
  }
  (void)dsi_size;
  BuildAudioFormat(dsi, dsi_length);
}

MP4ReadStream::~MP4ReadStream() { mp4_shared_file_release(file_); }

void MP4ReadStream::BuildAudioFormat(const uint8_t* dsi, uint32_t dsi_length) {
  const std::vector<uint8_t>& c = configuration_;
  const uint32_t average = duration_ > 0 ? Saturate(double(total_bytes_) / duration_) : 0;
  if (c.size() >= 4 && (c[1] & 0x08) && ((c[1] >> 1) & 3) != 0 && ((c[2] >> 2) & 3) != 3 && (c[2] >> 4) != 15) {
    static const uint32_t kRates[] = {44100, 48000, 32000};
    wave_format_.assign(30, 0);
    uint8_t* w = wave_format_.data();
    Put16(w, 0x55);
    Put16(w + 2, (c[3] >> 6) == 3 ? 1 : 2);
    Put32(w + 4, kRates[(c[2] >> 2) & 3]);
    Put32(w + 8, average);
    Put16(w + 12, 1);
    Put16(w + 14, 0);
    Put16(w + 16, 12);
    Put16(w + 18, 1);                                    // wID
    Put32(w + 20, 0);                                    // fdwFlags
    Put16(w + 24, sample_sizes_.empty() ? 0 : sample_sizes_[0]);  // nBlockSize
    Put16(w + 26, 1);                                    // nFramesPerBlock
    Put16(w + 28, 1393);                                 // nCodecDelay
    usable_ = true;
    return;
  }
  if (dsi && dsi_length == 2) {
    static const uint32_t kRates[16] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                        22050, 16000, 12000, 11025, 8000,  7350};
    const uint32_t rate = kRates[((dsi[0] & 7) << 1) | (dsi[1] >> 7)];
    wave_format_.assign(20, 0);
    uint8_t* w = wave_format_.data();
    Put16(w, 0x1234);
    Put16(w + 2, (dsi[1] >> 3) & 15);
    Put32(w + 4, rate);
    Put32(w + 8, average);
    Put16(w + 12, 1);
    Put16(w + 14, 16);
    Put16(w + 16, 2);
    w[18] = dsi[0];
    w[19] = dsi[1];
    usable_ = rate != 0;
  }
}

bool MP4ReadStream::ParseVideoConfiguration() {
  const uint8_t* data = configuration_.data();
  const size_t size = configuration_.size();
  if (size < 4) return false;
  bit_reader r;
  bit_reader_init(&r, data, size);
  uint32_t code = getbits(&r, 32);
  uint32_t visual_verid = 1;
  if (code >= 0x100 && code <= 0x11F) {
    layer_start_ = 0;
  } else if (code == 0x1B0) {
    flushbits(&r, 8);
    code = getbits(&r, 32);
    while (code == 0x1B2 && !r.at_end) code = next_start_code(&r) == 0xFFFFFFFFu ? 0xFFFFFFFFu : getbits(&r, 32);
    if (getbits(&r, 1) == 1) {
      visual_verid = getbits(&r, 4);
      flushbits(&r, 3);
    }
    flushbits(&r, 4);
    if (r.at_end || next_start_code(&r) == 0xFFFFFFFFu) return false;
    layer_start_ = static_cast<uint32_t>(r.next - data);
  } else {
    return false;
  }
  layer_length_ = static_cast<uint32_t>(size - layer_start_);
  if (layer_length_ == 0) return false;
  // User data may sit between the video object header and the layer: skip to the layer.
  if (find_start_code(&r, 0x120, 0xFFFFFFF0) != 0) return false;
  flushbits(&r, 32);
  flushbits(&r, 1 + 8);
  if (getbits(&r, 1) == 1) {
    verid_ = getbits(&r, 4);
    flushbits(&r, 3);
  } else {
    verid_ = visual_verid;
  }
  if (getbits(&r, 4) == 15) flushbits(&r, 16);
  if (getbits(&r, 1) == 1) {
    flushbits(&r, 3);
    if (getbits(&r, 1) == 1) flushbits(&r, 79);
  }
  shape_ = getbits(&r, 2);
  flushbits(&r, 1);
  resolution_ = getbits(&r, 16);
  flushbits(&r, 1);
  fixed_rate_ = getbits(&r, 1);
  if (fixed_rate_ == 1) fixed_increment_ = getbits(&r, mp4v_time_increment_bits(resolution_));
  if (shape_ == 0) {
    flushbits(&r, 1);
    width_ = getbits(&r, 13);
    flushbits(&r, 1);
    height_ = getbits(&r, 13);
  }
  if (r.at_end || resolution_ == 0) return false;
  have_layer_ = true;
  return true;
}

STDMETHODIMP MP4ReadStream::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IAVIStream || iid == IID_IMP4Stream) {
    *object = static_cast<IAVIStream*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MP4ReadStream::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) MP4ReadStream::Release() {
  ULONG n = --references_;
  if (n == 0) delete this;
  return n;
}

STDMETHODIMP MP4ReadStream::Create(LPARAM, LPARAM) { return E_FAIL; }

STDMETHODIMP MP4ReadStream::Info(AVISTREAMINFOW* out, LONG out_size) {
  if (!out) return E_POINTER;
  // Filled in full here and copied out no larger than the caller's record.
  AVISTREAMINFOW filled;
  AVISTREAMINFOW* info = &filled;
  std::memset(info, 0, sizeof *info);
  if (kind_ == 0) {
    const WORD tag = wave_format_.size() >= 18 ? WORD(wave_format_[0] | wave_format_[1] << 8) : 0;
    const WORD align = wave_format_.size() >= 18 ? WORD(wave_format_[12] | wave_format_[13] << 8) : 1;
    info->fccType = FourCC("auds");
    info->fccHandler = tag;
    info->dwRate = wave_format_.size() >= 18 ? DWORD(wave_format_[8] | wave_format_[9] << 8 | wave_format_[10] << 16 | uint32_t(wave_format_[11]) << 24) : 0;
    info->dwScale = align;
    info->dwSampleSize = align;
    info->dwLength = align ? DWORD(total_bytes_ / align) : 0;
    SetName(info, "Audio stream 0");
  } else if (kind_ == 1) {
    info->fccType = FourCC("vids");
    info->fccHandler = FourCC("KOVU");
    info->dwRate = 1000000;
    if (have_layer_ && fixed_rate_ && resolution_)
      info->dwScale = Saturate(double(fixed_increment_) / double(resolution_) * 1000000.0);
    else if (sample_count_)
      info->dwScale = Saturate(1000000.0 * duration_ / double(sample_count_));
    info->dwLength = sample_count_;
    info->rcFrame = {0, 0, LONG(width_), LONG(height_)};
    SetName(info, "Video stream 0");
  } else {
    info->fccType = FourCC("txts");
    SetName(info, "Unknown stream 0");
  }
  const size_t size = out_size > 0 && size_t(out_size) < sizeof filled ? size_t(out_size) : sizeof filled;
  std::memcpy(out, &filled, size);
  return S_OK;
}

STDMETHODIMP_(LONG) MP4ReadStream::FindSample(LONG position, LONG flags) {
  // Audio positions are bytes, so an audio stream's bound is its length in bytes.
  const int64_t end = kind_ == 0 ? int64_t(total_bytes_) : int64_t(sample_count_);
  if (position < 0 || position >= end) return -1;
  if (flags & FIND_ANY) return position;
  if (flags & FIND_FORMAT) return -1;
  if (kind_ != 1) return position;
  SharedFileLock lock(file_);
  mp4file* h = file_->handle;
  const uint32_t number = uint32_t(position) + 1;
  if (mp4file_is_sync_sample(h, track_, number)) return position;
  const uint32_t found = (flags & FIND_NEXT) ? mp4file_next_sync_sample(h, track_, number)
                                             : mp4file_prev_sync_sample(h, track_, number);
  return LONG(found) - 1;
}

STDMETHODIMP MP4ReadStream::ReadFormat(LONG, void* format, LONG* size) {
  if (!size) return AVIERR_BADPARAM;
  if (kind_ == 1) {
    if (format) {
      if (*size < 40) return AVIERR_BUFFERTOOSMALL;
      BITMAPINFOHEADER bi = {};
      bi.biSize = 40;
      bi.biWidth = LONG(width_);
      bi.biHeight = LONG(height_);
      bi.biPlanes = 1;
      bi.biBitCount = 0;
      bi.biCompression = FourCC("KU50");
      bi.biSizeImage = width_ * 2 * height_;
      std::memcpy(format, &bi, 40);
    }
    *size = 40;
  } else if (kind_ == 0) {
    const LONG full = LONG(wave_format_.size());
    if (format) {
      if (*size < full) {
        std::memcpy(format, wave_format_.data(), size_t(*size > 0 ? *size : 0));
        return S_OK;
      }
      std::memcpy(format, wave_format_.data(), size_t(full));
    }
    *size = full;
  } else {
    *size = 0;
  }
  return S_OK;
}

STDMETHODIMP MP4ReadStream::SetFormat(LONG, void*, LONG) { return E_ACCESSDENIED; }

STDMETHODIMP MP4ReadStream::Read(LONG start, LONG count, void* buffer, LONG size, LONG* bytes,
                                 LONG* samples) {
  LONG ignored_bytes, ignored_samples;
  if (!bytes) bytes = &ignored_bytes;
  if (!samples) samples = &ignored_samples;
  if (kind_ == 0) return ReadAudio(start, count, buffer, size, bytes, samples);
  if (kind_ == 1) return ReadVideo(start, count, buffer, size, bytes, samples);
  *bytes = *samples = 0;
  return AVIERR_ERROR;
}

HRESULT MP4ReadStream::ReadAudio(LONG start, LONG count, void* buffer, LONG size, LONG* bytes,
                                 LONG* samples) {
  *bytes = *samples = 0;
  if (start < 0 || uint64_t(start) >= total_bytes_) return AVIERR_ERROR;
  // The sample holding byte `start`: the first whose end lies beyond it.
  size_t j = size_t(std::upper_bound(sample_ends_.begin(), sample_ends_.end(), uint64_t(start)) - sample_ends_.begin());
  uint64_t offset = uint64_t(start) - (sample_ends_[j] - sample_sizes_[j]);
  int64_t want = count;
  if (count == AVISTREAMREAD_CONVENIENT) {
    want = int64_t(sample_sizes_[j] - offset);
    if (offset != 0 && j + 1 < sample_sizes_.size()) want += sample_sizes_[j + 1];
  }
  const int64_t left = int64_t(total_bytes_) - start;
  if (want > left) want = left;
  if (want <= 0) return AVIERR_ERROR;
  if (!buffer) {
    *bytes = *samples = LONG(want);
    return S_OK;
  }
  if (size < want) return AVIERR_BUFFERTOOSMALL;
  SharedFileLock lock(file_);
  mp4file* h = file_->handle;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  int64_t copied = 0;
  std::vector<uint8_t> sample;
  for (; copied < want && j < sample_sizes_.size(); ++j, offset = 0) {
    sample.resize(sample_sizes_[j]);
    if (sample_sizes_[j] && mp4file_read_sample(h, uint32_t(track_), uint32_t(j), sample.data(), sample_sizes_[j]) != sample_sizes_[j])
      std::memset(sample.data(), 0, sample.size());
    int64_t n = int64_t(sample_sizes_[j] - offset);
    if (n > want - copied) n = want - copied;
    std::memcpy(out + copied, sample.data() + offset, size_t(n));
    copied += n;
  }
  *bytes = LONG(copied);
  *samples = LONG(want);
  return S_OK;
}

int MP4ReadStream::VopType(uint32_t index) { return mp4file_get_vop_type(file_->handle, track_, index); }

// kind: 0 layer header + j, 1 j alone, 2 j + (j+1), 3 j+1 alone, 4 place holder,
// 5 layer header + j + (j+1).
bool MP4ReadStream::FramePlan(uint32_t j, uint32_t* size, int* kind) {
  mp4file* h = file_->handle;
  const int type = VopType(j);
  const bool next_is_b = j + 1 < sample_count_ && VopType(j + 1) == 2;
  auto sample_size = [&](uint32_t i) {
    int64_t s = mp4file_get_sample_size(h, track_, i);
    return s > 0 ? uint32_t(s) : 0u;
  };
  // Every anchor, I as well as P and S, carries the B-VOP that follows it in decode order;
  // otherwise the first B-VOP after a key frame would never be handed out.
  if (type == 0) {
    *kind = next_is_b ? 5 : 0;
    *size = layer_length_ + sample_size(j) + (next_is_b ? sample_size(j + 1) : 0);
  } else if (type == 1 || type == 3) {
    *kind = next_is_b ? 2 : 1;
    *size = sample_size(j) + (next_is_b ? sample_size(j + 1) : 0);
  } else if (next_is_b) {
    *kind = 3;
    *size = sample_size(j + 1);
  } else {
    // The place holder carries the time of the nearest earlier anchor; there must be one (runs
    // of B-VOPs are short, so the search back is bounded).
    uint32_t back = 0;
    uint32_t anchor = j;
    while (anchor > 0 && back < kMaxBRun && VopType(anchor - 1) == 2) {
      --anchor;
      ++back;
    }
    if (anchor == 0 || back >= kMaxBRun) return false;
    *kind = 4;
    *size = 8;
  }
  return true;
}

bool MP4ReadStream::NotCodedVop(uint32_t j, uint8_t out[8]) {
  mp4file* h = file_->handle;
  uint32_t anchor = j;
  while (anchor > 0 && VopType(--anchor) == 2) {
  }
  int64_t size = mp4file_get_sample_size(h, track_, anchor);
  if (size <= 0 || size > kMaxConfiguration) return false;
  std::vector<uint8_t> sample(static_cast<size_t>(size));
  if (mp4file_read_sample(h, track_, anchor, sample.data(), uint32_t(size)) != uint32_t(size)) return false;
  // The VOP itself may follow a group-of-VOP header.
  size_t at = 0;
  while (at + 4 <= sample.size() && !(sample[at] == 0 && sample[at + 1] == 0 && sample[at + 2] == 1 && sample[at + 3] == 0xB6)) ++at;
  const int bits = have_layer_ ? mp4v_time_increment_bits(resolution_) : 15;
  uint32_t type = 0, increment = 0, coded = 0;
  if (at + 4 > sample.size() || !mp4_short_vop_header(&sample[at], sample.size() - at, bits, &type, &increment, &coded))
    increment = 0;
  mp4_not_coded_vop(increment, bits, out);
  return true;
}

uint32_t MP4ReadStream::CopyFrame(uint32_t j, int kind, uint8_t* out) {
  mp4file* h = file_->handle;
  uint32_t written = 0;
  auto copy_sample = [&](uint32_t i) {
    int64_t s = mp4file_get_sample_size(h, track_, i);
    if (s <= 0) return;
    // A failed read leaves those bytes as they are; the size was reported already.
    mp4file_read_sample(h, track_, i, out + written, uint32_t(s));
    written += uint32_t(s);
  };
  switch (kind) {
    case 0:
    case 5:
      std::memcpy(out, layer_header_.data(), layer_length_);
      written = layer_length_;
      copy_sample(j);
      if (kind == 5) copy_sample(j + 1);
      break;
    case 1:
      copy_sample(j);
      break;
    case 2:
      copy_sample(j);
      copy_sample(j + 1);
      break;
    case 3:
      copy_sample(j + 1);
      break;
    default:
      if (!NotCodedVop(j, out)) std::memset(out, 0, 8);
      written = 8;
      break;
  }
  return written;
}

HRESULT MP4ReadStream::ReadVideo(LONG start, LONG count, void* buffer, LONG size, LONG* bytes,
                                 LONG* samples) {
  *bytes = *samples = 0;
  if (start < 0) return AVIERR_ERROR;
  if (count == -1) count = 1;
  if (int64_t(start) + count > int64_t(sample_count_)) count = LONG(int64_t(sample_count_) - start);
  if (count < 1) return AVIERR_ERROR;
  SharedFileLock lock(file_);
  std::vector<std::pair<uint32_t, int>> plan(static_cast<size_t>(count));
  int64_t total = 0;
  for (LONG i = 0; i < count; ++i) {
    uint32_t frame_size;
    int kind;
    if (!FramePlan(uint32_t(start + i), &frame_size, &kind)) return AVIERR_ERROR;
    plan[size_t(i)] = {frame_size, kind};
    total += frame_size;
  }
  if (total > INT32_MAX) return AVIERR_ERROR;
  if (!buffer) {
    *bytes = LONG(total);
    *samples = count;
    return S_OK;
  }
  if (size < total) return AVIERR_BUFFERTOOSMALL;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  for (LONG i = 0; i < count; ++i) {
    CopyFrame(uint32_t(start + i), plan[size_t(i)].second, out);
    out += plan[size_t(i)].first;
  }
  *bytes = LONG(total);
  *samples = count;
  return S_OK;
}

STDMETHODIMP MP4ReadStream::Write(LONG, LONG, void*, LONG, DWORD, LONG*, LONG*) { return AVIERR_READONLY; }
STDMETHODIMP MP4ReadStream::WriteEx(LONG, LONG, void*, LONG, DWORD, LONG*, LONG*, LONG) { return AVIERR_READONLY; }
STDMETHODIMP MP4ReadStream::Delete(LONG, LONG) { return AVIERR_READONLY; }
STDMETHODIMP MP4ReadStream::ReadData(DWORD, void*, LONG*) { return E_INVALIDARG; }
STDMETHODIMP MP4ReadStream::WriteData(DWORD, void*, LONG) { return AVIERR_READONLY; }
STDMETHODIMP MP4ReadStream::SetInfo(AVISTREAMINFOW*, LONG) { return AVIERR_READONLY; }
