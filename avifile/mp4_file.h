// The MP4 handler's file object (IAVIFile and IPersistFile), its class factory and the module's
// entry points.
#pragma once

#include <atomic>
#include <string>

#include "avifile/shared_file.h"
#include "avifile/streams.h"
#include "platform/sys/export.h"
#include "platform/vfw/avifile.h"

class MP4File final : public IAVIFile, public IPersistFile {
 public:
  MP4File() = default;

  // IUnknown (shared by both interfaces)
  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  // IAVIFile
  STDMETHOD(Info)(AVIFILEINFOW* pfi, LONG lSize) override;
  STDMETHOD(GetStream)(PAVISTREAM* ppStream, DWORD fccType, LONG lParam) override;
  STDMETHOD(CreateStream)(PAVISTREAM* ppStream, AVISTREAMINFOW* psi) override;
  STDMETHOD(WriteData)(DWORD ckid, void* lpData, LONG cbData) override;
  STDMETHOD(ReadData)(DWORD ckid, void* lpData, LONG* lpcbData) override;
  STDMETHOD(EndRecord)() override;
  STDMETHOD(DeleteStream)(DWORD fccType, LONG lParam) override;
  // IPersistFile
  STDMETHOD(GetClassID)(CLSID* pClassID) override;
  STDMETHOD(IsDirty)() override;
  STDMETHOD(Load)(LPCOLESTR pszFileName, DWORD dwMode) override;
  STDMETHOD(Save)(LPCOLESTR pszFileName, BOOL fRemember) override;
  STDMETHOD(SaveCompleted)(LPCOLESTR pszFileName) override;
  STDMETHOD(GetCurFile)(LPOLESTR* ppszFileName) override;

 private:
  virtual ~MP4File();
  void DropState();
  // Opens (mode 0) or creates (mode 1) the file inside a new shared context.
  HRESULT Attach(const std::string& narrow, LPCOLESTR wide, int mode);
  HRESULT OpenRead(const std::string& narrow, LPCOLESTR wide);
  HRESULT OpenWrite(const std::string& narrow, LPCOLESTR wide);

  std::atomic<ULONG> references_{1};
  int mode_ = 0;
  std::string narrow_name_;
  std::u16string wide_name_;
  MP4ReadStream* read_audio_ = nullptr;
  MP4ReadStream* read_video_ = nullptr;
  MP4WriteStream* write_audio_ = nullptr;
  MP4WriteStream* write_video_ = nullptr;
  mp4_shared_file* shared_ = nullptr;
};

class MP4FileFactory final : public IClassFactory {
 public:
  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** object) override;
  STDMETHOD(LockServer)(BOOL lock) override;

 private:
  virtual ~MP4FileFactory() = default;
  std::atomic<ULONG> references_{1};
};

MC_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);
MC_EXPORT IAVIFile* CreateMP4File();
