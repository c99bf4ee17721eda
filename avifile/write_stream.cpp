#include <cstring>

#include "avifile/guids.h"
#include "avifile/streams.h"
#include "mp4/handler.h"
#include "mp4/mp4v_headers.h"

namespace {
constexpr DWORD FourCC(const char (&s)[5]) { return MakeFourCC(s[0], s[1], s[2], s[3]); }
}  // namespace

MP4WriteStream::MP4WriteStream(mp4_shared_file* file, const AVISTREAMINFOW& info) : file_(file), info_(info) {
  const bool video = info_.fccType == FourCC("vids");
  const bool audio = info_.fccType == FourCC("auds");
  if (!video && !audio) return;
  format_ = video ? info_.fccHandler : 0x55;
  {
    SharedFileLock lock(file_);
    track_ = mp4file_add_track(file_->handle, video ? 0x20 : 0x69, 0, "und");
  }
  usable_ = track_ > 0;
  if (usable_) mp4_shared_file_add_ref(file_);
}

MP4WriteStream::~MP4WriteStream() {
  if (usable_) mp4_shared_file_release(file_);
}

STDMETHODIMP MP4WriteStream::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IAVIStream || iid == IID_IMP4Stream) {
    *object = static_cast<IAVIStream*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MP4WriteStream::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) MP4WriteStream::Release() {
  ULONG n = --references_;
  if (n == 0) delete this;
  return n;
}

STDMETHODIMP MP4WriteStream::SetFormat(LONG, void* format, LONG size) {
  if (!usable_) return AVIERR_ERROR;
  if (!format || size < 0) return AVIERR_BADPARAM;
  const uint8_t* f = static_cast<const uint8_t*>(format);
  SharedFileLock lock(file_);
  if (info_.fccType == FourCC("auds")) {
    if (size >= 18) {
      format_ = DWORD(f[0] | f[1] << 8);
      const uint32_t extra = uint32_t(f[16] | f[17] << 8);
      if (format_ == 0x1234 && extra > 1) {
        // Only the extra bytes the caller actually passed.
        const uint32_t available = uint32_t(size) - 18;
        mp4file_set_DecoderSpecificInfo(file_->handle, track_, f + 18, extra < available ? extra : available);
      } else if (format_ == 0x55) {
        mp4file_set_DecoderSpecificInfo(file_->handle, track_, nullptr, 0);
      }
    }
  } else if (size >= 20) {
    format_ = DWORD(f[16] | f[17] << 8 | f[18] << 16 | uint32_t(f[19]) << 24);
  }
  return S_OK;
}

bool MP4WriteStream::IsNotCodedVop(const uint8_t* data, LONG size) {
  // Chunks too short to hold a VOP header are never taken for place holders.
  if (size < 5 || (data[4] >> 6) != 1) return false;
  int bits = 15;
  mp4_track* t = mp4file_find_track(file_->handle, track_);
  if (t && t->handler && t->handler->vol.valid)
    bits = mp4v_time_increment_bits(t->handler->vol.vop_time_increment_resolution);
  uint32_t type, increment, coded;
  return mp4_short_vop_header(data, size_t(size), bits, &type, &increment, &coded) && coded == 0;
}

STDMETHODIMP MP4WriteStream::Write(LONG start, LONG count, void* buffer, LONG size, DWORD flags,
                                   LONG* samples_written, LONG* bytes_written) {
  return WriteEx(start, count, buffer, size, flags, samples_written, bytes_written, 0);
}

STDMETHODIMP MP4WriteStream::WriteEx(LONG, LONG count, void* buffer, LONG size, DWORD,
                                     LONG* samples_written, LONG* bytes_written, LONG) {
  LONG ignored_samples, ignored_bytes;
  if (!samples_written) samples_written = &ignored_samples;
  if (!bytes_written) bytes_written = &ignored_bytes;
  *samples_written = *bytes_written = 0;
  if (!usable_) return AVIERR_ERROR;
  if (size < 0 || (size > 0 && !buffer)) return AVIERR_BADPARAM;
  const uint8_t* data = static_cast<const uint8_t*>(buffer);
  SharedFileLock lock(file_);
  if (info_.fccType == FourCC("auds")) {
    // Failures stay in the library handle; the caller is not told.
    mp4_file_add_sample(file_->handle, track_, data, size, 0);
    *samples_written = *bytes_written = size;
    return S_OK;
  }
  if (count != 1) return AVIERR_ERROR;
  const bool marker = size == 1 && data[0] == 0x7F;
  if (!marker && !IsNotCodedVop(data, size)) mp4_file_add_sample(file_->handle, track_, data, size, 0);
  *samples_written = 1;
  *bytes_written = size;
  return S_OK;
}

STDMETHODIMP_(LONG) MP4WriteStream::FindSample(LONG, LONG) { return 0; }
STDMETHODIMP MP4WriteStream::Create(LPARAM, LPARAM) { return AVIERR_ERROR; }
STDMETHODIMP MP4WriteStream::Info(AVISTREAMINFOW*, LONG) { return AVIERR_ERROR; }
STDMETHODIMP MP4WriteStream::ReadFormat(LONG, void*, LONG*) { return AVIERR_ERROR; }
STDMETHODIMP MP4WriteStream::Read(LONG, LONG, void*, LONG, LONG*, LONG*) { return AVIERR_ERROR; }
STDMETHODIMP MP4WriteStream::Delete(LONG, LONG) { return AVIERR_ERROR; }
STDMETHODIMP MP4WriteStream::ReadData(DWORD, void*, LONG*) { return AVIERR_ERROR; }
STDMETHODIMP MP4WriteStream::WriteData(DWORD, void*, LONG) { return E_NOTIMPL; }
STDMETHODIMP MP4WriteStream::SetInfo(AVISTREAMINFOW*, LONG) { return E_NOTIMPL; }
