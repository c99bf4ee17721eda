// The layer's own handler for plain AVI files, over AviReader and AviWriter. Streams of
// fixed-size samples (audio with a sample size) are addressed in those samples across chunks;
// other streams one chunk per sample.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/com/task_memory.h"
#include "platform/sys/codepage.h"
#include "platform/vfw/avi_file.h"
#include "platform/vfw/avifile.h"

namespace {

using vfw::AviReader;
using vfw::AviWriter;

// The reader or writer shared by the file object and its streams; the writer is closed (index
// written) when the last holder goes.
struct AviContext {
  std::mutex lock;
  AviReader reader;
  AviWriter writer;
  bool writing = false;
  std::atomic<long> references{1};
  void AddRef() { ++references; }
  void Release() {
    if (--references == 0) {
      if (writing) writer.Close();
      delete this;
    }
  }
};

template <typename Base>
class RefCounted : public Base {
 public:
  STDMETHOD_(ULONG, AddRef)() override { return ++references_; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG n = --references_;
    if (n == 0) delete this;
    return n;
  }

 protected:
  virtual ~RefCounted() = default;
  std::atomic<ULONG> references_{1};
};

class PlainStream : public RefCounted<IAVIStream> {
 public:
  STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IAVIStream) {
      *object = static_cast<IAVIStream*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD(Create)(LPARAM, LPARAM) override { return AVIERR_UNSUPPORTED; }
  STDMETHOD(Delete)(LONG, LONG) override { return AVIERR_UNSUPPORTED; }
  STDMETHOD(ReadData)(DWORD, void*, LONG*) override { return AVIERR_NODATA; }
  STDMETHOD(WriteData)(DWORD, void*, LONG) override { return AVIERR_UNSUPPORTED; }
  STDMETHOD(SetInfo)(AVISTREAMINFOW*, LONG) override { return AVIERR_UNSUPPORTED; }
};

class PlainReadStream final : public PlainStream {
 public:
  PlainReadStream(AviContext* context, size_t index) : context_(context), index_(index) {
    context_->AddRef();
    const vfw::AviStream& s = context_->reader.stream(index_);
    unit_ = s.header.dwSampleSize;
    uint64_t total = 0;
    for (const vfw::AviSample& sample : s.samples) {
      total += sample.size;
      ends_.push_back(total);
    }
    length_ = unit_ ? total / unit_ : s.samples.size();
  }

  STDMETHOD(Info)(AVISTREAMINFOW* info, LONG) override {
    if (!info) return E_POINTER;
    const vfw::AVISTREAMHEADER& h = stream().header;
    std::memset(info, 0, sizeof *info);
    info->fccType = h.fccType;
    info->fccHandler = h.fccHandler;
    info->dwFlags = h.dwFlags;
    info->wPriority = h.wPriority;
    info->wLanguage = h.wLanguage;
    info->dwScale = h.dwScale;
    info->dwRate = h.dwRate;
    info->dwStart = h.dwStart;
    info->dwLength = DWORD(std::min<uint64_t>(length_, 0xFFFFFFFFu));
    info->dwInitialFrames = h.dwInitialFrames;
    info->dwSuggestedBufferSize = h.dwSuggestedBufferSize;
    info->dwQuality = h.dwQuality;
    info->dwSampleSize = h.dwSampleSize;
    info->rcFrame = {h.rcFrame.left, h.rcFrame.top, h.rcFrame.right, h.rcFrame.bottom};
    const char* name = h.fccType == vfw::streamtypeVIDEO ? "Video stream" : "Audio stream";
    for (int i = 0; name[i]; ++i) info->szName[i] = char16_t(name[i]);
    return S_OK;
  }
  STDMETHOD_(LONG, FindSample)(LONG position, LONG flags) override {
    if (position < 0 || uint64_t(position) >= length_) return -1;
    if (flags & FIND_FORMAT) return (flags & FIND_NEXT) ? -1 : 0;
    if ((flags & FIND_ANY) || unit_) return position;
    const std::vector<vfw::AviSample>& samples = stream().samples;
    auto key = [&](LONG i) { return (samples[size_t(i)].flags & AVIIF_KEYFRAME) != 0; };
    if (flags & FIND_NEXT) {
      for (LONG i = position; i < LONG(samples.size()); ++i)
        if (key(i)) return i;
      return -1;
    }
    for (LONG i = position; i >= 0; --i)
      if (key(i)) return i;
    return -1;
  }
  STDMETHOD(ReadFormat)(LONG, void* format, LONG* size) override {
    if (!size) return AVIERR_BADPARAM;
    const std::vector<uint8_t>& f = stream().format;
    if (format) {
      if (*size < LONG(f.size())) return AVIERR_BUFFERTOOSMALL;
      if (!f.empty()) std::memcpy(format, f.data(), f.size());
    }
    *size = LONG(f.size());
    return S_OK;
  }
  STDMETHOD(SetFormat)(LONG, void*, LONG) override { return AVIERR_READONLY; }
  STDMETHOD(Read)(LONG start, LONG count, void* buffer, LONG size, LONG* bytes, LONG* samples) override {
    LONG b0, s0;
    if (!bytes) bytes = &b0;
    if (!samples) samples = &s0;
    *bytes = *samples = 0;
    if (start < 0 || uint64_t(start) >= length_) return AVIERR_BADPARAM;
    std::lock_guard<std::mutex> lock(context_->lock);
    const std::vector<vfw::AviSample>& list = stream().samples;
    // Byte range [from, to) of the stream to deliver, and the count of samples it holds.
    uint64_t from, to;
    LONG n;
    if (unit_) {
      from = uint64_t(start) * unit_;
      size_t chunk = size_t(std::upper_bound(ends_.begin(), ends_.end(), from) - ends_.begin());
      uint64_t want = count == AVISTREAMREAD_CONVENIENT ? ends_[chunk] - from : uint64_t(count > 0 ? count : 0) * unit_;
      to = std::min<uint64_t>(from + want, ends_.back());
      n = LONG((to - from) / unit_);
      to = from + uint64_t(n) * unit_;
    } else {
      n = count == AVISTREAMREAD_CONVENIENT ? 1 : count;
      if (uint64_t(start) + uint64_t(n > 0 ? n : 0) > length_) n = LONG(length_ - uint64_t(start));
      from = start ? ends_[size_t(start) - 1] : 0;
      to = n > 0 ? ends_[size_t(start + n) - 1] : from;
    }
    if (n <= 0) return AVIERR_BADPARAM;
    if (to - from > 0x7FFFFFFF) return AVIERR_BADSIZE;
    if (!buffer) {
      *bytes = LONG(to - from);
      *samples = n;
      return S_OK;
    }
    if (uint64_t(size) < to - from) return AVIERR_BUFFERTOOSMALL;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    size_t chunk = size_t(std::upper_bound(ends_.begin(), ends_.end(), from) - ends_.begin());
    uint64_t at = from;
    std::vector<uint8_t> data;
    while (at < to && chunk < list.size()) {
      if (!context_->reader.ReadSample(index_, chunk, &data)) return AVIERR_FILEREAD;
      const uint64_t chunk_start = ends_[chunk] - list[chunk].size;
      const uint64_t take = std::min<uint64_t>(to, ends_[chunk]) - at;
      if (take) std::memcpy(out, data.data() + (at - chunk_start), size_t(take));
      out += take;
      at += take;
      ++chunk;
    }
    *bytes = LONG(to - from);
    *samples = n;
    return S_OK;
  }
  STDMETHOD(Write)(LONG, LONG, void*, LONG, DWORD, LONG*, LONG*) override { return AVIERR_READONLY; }

 private:
  ~PlainReadStream() override { context_->Release(); }
  const vfw::AviStream& stream() const { return context_->reader.stream(index_); }
  AviContext* context_;
  size_t index_;
  DWORD unit_ = 0;
  uint64_t length_ = 0;
  std::vector<uint64_t> ends_;
};

class PlainWriteStream final : public PlainStream {
 public:
  PlainWriteStream(AviContext* context, const AVISTREAMINFOW& info) : context_(context), info_(info) {
    context_->AddRef();
  }
  STDMETHOD(Info)(AVISTREAMINFOW* info, LONG) override {
    if (!info) return E_POINTER;
    *info = info_;
    return S_OK;
  }
  STDMETHOD_(LONG, FindSample)(LONG position, LONG) override { return position; }
  STDMETHOD(ReadFormat)(LONG, void*, LONG*) override { return AVIERR_UNSUPPORTED; }
  // The stream joins the file with its format; every stream's format comes before any sample.
  STDMETHOD(SetFormat)(LONG, void* format, LONG size) override {
    if (!format || size <= 0) return AVIERR_BADPARAM;
    if (stream_ >= 0) return AVIERR_UNSUPPORTED;
    vfw::AVISTREAMHEADER h = {};
    h.fccType = info_.fccType;
    h.fccHandler = info_.fccHandler;
    h.dwFlags = info_.dwFlags;
    h.wPriority = info_.wPriority;
    h.wLanguage = info_.wLanguage;
    h.dwInitialFrames = info_.dwInitialFrames;
    h.dwScale = info_.dwScale;
    h.dwRate = info_.dwRate;
    h.dwStart = info_.dwStart;
    h.dwQuality = info_.dwQuality;
    h.dwSampleSize = info_.dwSampleSize;
    h.rcFrame = {int16_t(info_.rcFrame.left), int16_t(info_.rcFrame.top), int16_t(info_.rcFrame.right),
                 int16_t(info_.rcFrame.bottom)};
    std::lock_guard<std::mutex> lock(context_->lock);
    stream_ = context_->writer.AddStream(h, format, size_t(size));
    return stream_ >= 0 ? S_OK : AVIERR_UNSUPPORTED;
  }
  STDMETHOD(Read)(LONG, LONG, void*, LONG, LONG*, LONG*) override { return AVIERR_UNSUPPORTED; }
  STDMETHOD(Write)(LONG, LONG count, void* buffer, LONG size, DWORD flags, LONG* written, LONG* bytes) override {
    LONG w0, b0;
    if (!written) written = &w0;
    if (!bytes) bytes = &b0;
    *written = *bytes = 0;
    if (stream_ < 0) return AVIERR_BADFORMAT;
    if (size < 0 || (size > 0 && !buffer)) return AVIERR_BADPARAM;
    std::lock_guard<std::mutex> lock(context_->lock);
    if (!context_->writer.WriteSample(stream_, buffer, size_t(size), flags)) return AVIERR_FILEWRITE;
    *written = info_.dwSampleSize ? size / LONG(info_.dwSampleSize) : (count > 0 ? count : 1);
    *bytes = size;
    return S_OK;
  }

 private:
  ~PlainWriteStream() override { context_->Release(); }
  AviContext* context_;
  AVISTREAMINFOW info_;
  int stream_ = -1;
};

class PlainFile final : public IAVIFile, public IPersistFile {
 public:
  STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IAVIFile) {
      *object = static_cast<IAVIFile*>(this);
    } else if (iid == IID_IPersist || iid == IID_IPersistFile) {
      *object = static_cast<IPersistFile*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++references_; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG n = --references_;
    if (n == 0) delete this;
    return n;
  }
  STDMETHOD(Info)(AVIFILEINFOW* info, LONG) override {
    if (!info) return E_POINTER;
    if (!context_) return AVIERR_ERROR;
    std::memset(info, 0, sizeof *info);
    info->dwCaps = context_->writing ? AVIFILECAPS_CANWRITE : AVIFILECAPS_CANREAD;
    if (!context_->writing) {
      const vfw::MainAVIHeader& m = context_->reader.mainHeader();
      info->dwStreams = DWORD(context_->reader.streamCount());
      info->dwWidth = m.dwWidth;
      info->dwHeight = m.dwHeight;
      info->dwLength = m.dwTotalFrames;
      info->dwScale = m.dwMicroSecPerFrame;
      info->dwRate = 1000000;
      info->dwFlags = context_->reader.hasIndex() ? AVIFILEINFO_HASINDEX : 0;
    }
    return S_OK;
  }
  STDMETHOD(GetStream)(PAVISTREAM* out, DWORD type, LONG index) override {
    if (!out) return AVIERR_BADPARAM;
    *out = nullptr;
    if (!context_ || context_->writing || index < 0) return AVIERR_NODATA;
    LONG seen = 0;
    for (size_t i = 0; i < context_->reader.streamCount(); ++i) {
      if (type != 0 && context_->reader.stream(i).header.fccType != type) continue;
      if (seen++ != index) continue;
      *out = new (std::nothrow) PlainReadStream(context_, i);
      return *out ? S_OK : AVIERR_MEMORY;
    }
    return AVIERR_NODATA;
  }
  STDMETHOD(CreateStream)(PAVISTREAM* out, AVISTREAMINFOW* info) override {
    if (!out || !info) return AVIERR_BADPARAM;
    *out = nullptr;
    if (!context_ || !context_->writing) return AVIERR_READONLY;
    *out = new (std::nothrow) PlainWriteStream(context_, *info);
    return *out ? S_OK : AVIERR_MEMORY;
  }
  STDMETHOD(WriteData)(DWORD, void*, LONG) override { return AVIERR_UNSUPPORTED; }
  STDMETHOD(ReadData)(DWORD, void*, LONG*) override { return AVIERR_NODATA; }
  STDMETHOD(EndRecord)() override { return S_OK; }
  STDMETHOD(DeleteStream)(DWORD, LONG) override { return AVIERR_UNSUPPORTED; }
  STDMETHOD(GetClassID)(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_AVIFile;
    return S_OK;
  }
  STDMETHOD(IsDirty)() override { return S_FALSE; }
  STDMETHOD(Load)(LPCOLESTR name, DWORD mode) override {
    if (!name) return E_INVALIDARG;
    Drop();
    int n = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return E_INVALIDARG;
    std::string path(size_t(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, name, -1, path.data(), n, nullptr, nullptr);
    path.resize(size_t(n - 1));
    AviContext* context = new (std::nothrow) AviContext;
    if (!context) return E_OUTOFMEMORY;
    context->writing = (mode & 3) != 0;
    const bool ok = context->writing ? context->writer.Open(path) : context->reader.Open(path);
    if (!ok) {
      context->writing = false;
      context->Release();
      return AVIERR_FILEOPEN;
    }
    context_ = context;
    name_ = name;
    return S_OK;
  }
  STDMETHOD(Save)(LPCOLESTR, BOOL) override { return E_NOTIMPL; }
  STDMETHOD(SaveCompleted)(LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHOD(GetCurFile)(LPOLESTR* out) override {
    if (!out) return E_INVALIDARG;
    char16_t* copy = static_cast<char16_t*>(CoTaskMemAlloc((name_.size() + 1) * sizeof(char16_t)));
    if (!copy) return E_OUTOFMEMORY;
    std::char_traits<char16_t>::copy(copy, name_.c_str(), name_.size() + 1);
    *out = copy;
    return S_OK;
  }

 private:
  virtual ~PlainFile() { Drop(); }
  void Drop() {
    if (context_) context_->Release();
    context_ = nullptr;
    name_.clear();
  }
  std::atomic<ULONG> references_{1};
  AviContext* context_ = nullptr;
  std::u16string name_;
};

}  // namespace

PAVIFILE AVIFileCreatePlainHandler() { return new (std::nothrow) PlainFile; }
