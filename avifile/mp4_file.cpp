#include "avifile/mp4_file.h"

#include <new>

#include "avifile/guids.h"
#include "platform/com/task_memory.h"
#include "platform/sys/codepage.h"

namespace {

constexpr DWORD FourCC(const char (&s)[5]) { return MakeFourCC(s[0], s[1], s[2], s[3]); }

std::string Narrow(LPCOLESTR wide) {
  int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, -1, out.data(), n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

// The handler writes no trace output.
void Silent(void*, int, const char*) {}

}  // namespace

MP4File::~MP4File() { DropState(); }

void MP4File::DropState() {
  SafeRelease(read_audio_);
  SafeRelease(read_video_);
  // The file object keeps its own reference on the write streams it created, so that a stream
  // the client has released is never handed out again from a stale pointer.
  SafeRelease(write_audio_);
  SafeRelease(write_video_);
  if (shared_) mp4_shared_file_release(shared_);
  shared_ = nullptr;
  narrow_name_.clear();
  wide_name_.clear();
}

STDMETHODIMP MP4File::QueryInterface(REFIID iid, void** object) {
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

STDMETHODIMP_(ULONG) MP4File::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) MP4File::Release() {
  ULONG n = --references_;
  if (n == 0) delete this;
  return n;
}

STDMETHODIMP MP4File::Info(AVIFILEINFOW*, LONG) {
  return shared_ && mode_ == 0 ? E_NOTIMPL : AVIERR_ERROR;
}

STDMETHODIMP MP4File::GetStream(PAVISTREAM* out, DWORD type, LONG index) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (type == 0) {
    const bool video_first = mode_ == 1 || read_video_;
    if (index == 0)
      type = video_first ? FourCC("vids") : FourCC("auds");
    else if (index == 1 && video_first)
      type = FourCC("auds");
    else
      return AVIERR_NODATA;
  } else if (index != 0) {
    return AVIERR_NODATA;
  }
  IAVIStream* stream = nullptr;
  if (type == FourCC("vids")) {
    if (mode_ == 1 ? (write_video_ && write_video_->usable()) : (read_video_ && read_video_->usable()))
      stream = mode_ == 1 ? static_cast<IAVIStream*>(write_video_) : read_video_;
  } else if (type == FourCC("auds")) {
    if (mode_ == 1 ? (write_audio_ && write_audio_->usable()) : (read_audio_ && read_audio_->usable()))
      stream = mode_ == 1 ? static_cast<IAVIStream*>(write_audio_) : read_audio_;
  }
  if (!stream || !shared_) return AVIERR_NODATA;
  stream->AddRef();
  *out = stream;
  return S_OK;
}

STDMETHODIMP MP4File::CreateStream(PAVISTREAM* out, AVISTREAMINFOW* info) {
  if (!shared_ || mode_ != 1) return AVIERR_READONLY;
  if (!out || !info) return E_INVALIDARG;
  *out = nullptr;
  MP4WriteStream** slot = info->fccType == FourCC("vids")   ? &write_video_
                          : info->fccType == FourCC("auds") ? &write_audio_
                                                            : nullptr;
  if (!slot || *slot) return AVIERR_ERROR;
  MP4WriteStream* stream = new (std::nothrow) MP4WriteStream(shared_, *info);
  if (stream) {
    stream->AddRef();  // the file object's own reference
    *slot = stream;
  }
  *out = stream;
  return S_OK;
}

STDMETHODIMP MP4File::WriteData(DWORD, void*, LONG) {
  return shared_ && mode_ == 1 ? E_NOTIMPL : AVIERR_READONLY;
}
STDMETHODIMP MP4File::ReadData(DWORD, void*, LONG*) { return E_NOTIMPL; }
STDMETHODIMP MP4File::EndRecord() { return S_OK; }
STDMETHODIMP MP4File::DeleteStream(DWORD, LONG) { return E_NOTIMPL; }

STDMETHODIMP MP4File::GetClassID(CLSID*) { return E_NOTIMPL; }
STDMETHODIMP MP4File::IsDirty() { return E_NOTIMPL; }
STDMETHODIMP MP4File::Save(LPCOLESTR, BOOL) { return E_NOTIMPL; }
STDMETHODIMP MP4File::SaveCompleted(LPCOLESTR) { return E_NOTIMPL; }

STDMETHODIMP MP4File::GetCurFile(LPOLESTR* out) {
  if (!out) return E_INVALIDARG;
  const size_t bytes = (wide_name_.size() + 1) * sizeof(char16_t);
  char16_t* copy = static_cast<char16_t*>(CoTaskMemAlloc(bytes));
  if (!copy) return E_OUTOFMEMORY;
  std::char_traits<char16_t>::copy(copy, wide_name_.c_str(), wide_name_.size() + 1);
  *out = copy;
  return S_OK;
}

STDMETHODIMP MP4File::Load(LPCOLESTR name, DWORD mode) {
  if (!name) return E_INVALIDARG;
  switch (mode & 3) {
    case 0:
      DropState();
      return OpenRead(Narrow(name), name);
    case 1:
    case 2:
      DropState();
      return OpenWrite(Narrow(name), name);
    default:
      return E_FAIL;
  }
}

HRESULT MP4File::Attach(const std::string& narrow, LPCOLESTR wide, int mode) {
  mp4_shared_file* shared = mp4_shared_file_create();
  if (!shared) return E_OUTOFMEMORY;
  {
    SharedFileLock lock(shared);
    shared->handle = mode == 0 ? mp4file_open(narrow.c_str()) : mp4file_create(narrow.c_str(), 1000000, 0);
    mp4file_set_log_callback(shared->handle, Silent, nullptr);
    if (!shared->handle || mp4file_get_error(shared->handle)) {
      mp4file_close(shared->handle);
      shared->handle = nullptr;
    }
  }
  if (!shared->handle) {
    mp4_shared_file_release(shared);
    return E_FAIL;
  }
  shared_ = shared;
  narrow_name_ = narrow;
  wide_name_ = wide;
  mode_ = mode;
  return S_OK;
}

HRESULT MP4File::OpenRead(const std::string& narrow, LPCOLESTR wide) {
  HRESULT hr = Attach(narrow, wide, 0);
  if (FAILED(hr)) return hr;
  int video = 0, audio = 0;
  {
    SharedFileLock lock(shared_);
    mp4file_clear_error(shared_->handle);
    video = mp4file_open_track(shared_->handle, "mp4v", "und", "vide", nullptr);
    if (mp4file_get_error(shared_->handle)) video = 0;
    mp4file_clear_error(shared_->handle);
    audio = mp4file_open_track(shared_->handle, nullptr, "und", "soun", nullptr);
    if (mp4file_get_error(shared_->handle)) audio = 0;
    mp4file_clear_error(shared_->handle);
  }
  if (video > 0) read_video_ = new (std::nothrow) MP4ReadStream(shared_, video, 1);
  if (audio > 0) read_audio_ = new (std::nothrow) MP4ReadStream(shared_, audio, 0);
  return S_OK;
}

HRESULT MP4File::OpenWrite(const std::string& narrow, LPCOLESTR wide) { return Attach(narrow, wide, 1); }

STDMETHODIMP MP4FileFactory::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IClassFactory) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MP4FileFactory::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) MP4FileFactory::Release() {
  ULONG n = --references_;
  if (n == 0) delete this;
  return n;
}

STDMETHODIMP MP4FileFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (!object || outer) return E_INVALIDARG;
  *object = nullptr;
  if (iid != IID_IUnknown && iid != IID_IAVIFile) return E_NOINTERFACE;
  *object = static_cast<IAVIFile*>(new (std::nothrow) MP4File);
  return S_OK;
}

STDMETHODIMP MP4FileFactory::LockServer(BOOL) { return E_NOTIMPL; }

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_INVALIDARG;
  *object = nullptr;
  if (clsid != CLSID_MP4File) return CLASS_E_CLASSNOTAVAILABLE;
  if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
  MP4FileFactory* factory = new (std::nothrow) MP4FileFactory;
  if (!factory) return E_OUTOFMEMORY;
  *object = static_cast<IClassFactory*>(factory);
  return S_OK;
}

IAVIFile* CreateMP4File() { return new (std::nothrow) MP4File; }
