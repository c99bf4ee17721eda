// What an AVI-file client sees: the file and stream interfaces, their records, result codes and
// search flags (original values and record sizes), and opening a file through the handler
// registered for its extension.
#pragma once

#include "platform/com/unknown.h"
#include "platform/gdi/gdi.h"  // RECT (the header declares only; nothing of the drawing is linked)
#include "platform/vfw/vfw.h"

// Result codes of the AVI-file interfaces.
constexpr HRESULT MakeAviErr(uint32_t error) { return MakeHResult(0x80040000u | (0x4000u + error)); }
constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT AVIERR_UNSUPPORTED = MakeAviErr(101);
constexpr HRESULT AVIERR_BADFORMAT = MakeAviErr(102);
constexpr HRESULT AVIERR_MEMORY = MakeAviErr(103);
constexpr HRESULT AVIERR_INTERNAL = MakeAviErr(104);
constexpr HRESULT AVIERR_BADFLAGS = MakeAviErr(105);
constexpr HRESULT AVIERR_BADPARAM = MakeAviErr(106);
constexpr HRESULT AVIERR_BADSIZE = MakeAviErr(107);
constexpr HRESULT AVIERR_BADHANDLE = MakeAviErr(108);
constexpr HRESULT AVIERR_FILEREAD = MakeAviErr(109);
constexpr HRESULT AVIERR_FILEWRITE = MakeAviErr(110);
constexpr HRESULT AVIERR_FILEOPEN = MakeAviErr(111);
constexpr HRESULT AVIERR_COMPRESSOR = MakeAviErr(112);
constexpr HRESULT AVIERR_NOCOMPRESSOR = MakeAviErr(113);
constexpr HRESULT AVIERR_READONLY = MakeAviErr(114);
constexpr HRESULT AVIERR_NODATA = MakeAviErr(115);
constexpr HRESULT AVIERR_BUFFERTOOSMALL = MakeAviErr(116);
constexpr HRESULT AVIERR_CANTCOMPRESS = MakeAviErr(117);
constexpr HRESULT AVIERR_USERABORT = MakeAviErr(198);
constexpr HRESULT AVIERR_ERROR = MakeAviErr(199);
static_assert(AVIERR_NODATA == MakeHResult(0x80044073));

// FindSample flags.
constexpr LONG FIND_DIR = 0x0000000F;
constexpr LONG FIND_NEXT = 0x00000001;
constexpr LONG FIND_PREV = 0x00000004;
constexpr LONG FIND_FROM_START = 0x00000008;
constexpr LONG FIND_TYPE = 0x000000F0;
constexpr LONG FIND_KEY = 0x00000010;
constexpr LONG FIND_ANY = 0x00000020;
constexpr LONG FIND_FORMAT = 0x00000040;
constexpr LONG FIND_RET = 0x0000F000;
constexpr LONG FIND_POS = 0x00000000;
constexpr LONG FIND_LENGTH = 0x00001000;
constexpr LONG FIND_OFFSET = 0x00002000;
constexpr LONG FIND_SIZE = 0x00003000;
constexpr LONG FIND_INDEX = 0x00004000;

// Read with this count to get a convenient amount.
constexpr LONG AVISTREAMREAD_CONVENIENT = -1;

// Open modes (the low two bits are what a handler's Load sees).
constexpr UINT OF_READ = 0x0000;
constexpr UINT OF_WRITE = 0x0001;
constexpr UINT OF_READWRITE = 0x0002;
constexpr UINT OF_SHARE_DENY_WRITE = 0x0020;
constexpr UINT OF_CREATE = 0x1000;

constexpr DWORD AVIFILEINFO_HASINDEX = 0x00000010;
constexpr DWORD AVIFILECAPS_CANREAD = 0x00000001;
constexpr DWORD AVIFILECAPS_CANWRITE = 0x00000002;

static_assert(sizeof(RECT) == 16);

struct AVISTREAMINFOW {
  DWORD fccType;
  DWORD fccHandler;
  DWORD dwFlags;
  DWORD dwCaps;
  WORD wPriority;
  WORD wLanguage;
  DWORD dwScale;
  DWORD dwRate;
  DWORD dwStart;
  DWORD dwLength;
  DWORD dwInitialFrames;
  DWORD dwSuggestedBufferSize;
  DWORD dwQuality;
  DWORD dwSampleSize;
  RECT rcFrame;
  DWORD dwEditCount;
  DWORD dwFormatChangeCount;
  WCHAR szName[64];
};
static_assert(sizeof(AVISTREAMINFOW) == 204);

struct AVIFILEINFOW {
  DWORD dwMaxBytesPerSec;
  DWORD dwFlags;
  DWORD dwCaps;
  DWORD dwStreams;
  DWORD dwSuggestedBufferSize;
  DWORD dwWidth;
  DWORD dwHeight;
  DWORD dwScale;
  DWORD dwRate;
  DWORD dwLength;
  DWORD dwEditCount;
  WCHAR szFileType[64];
};
static_assert(sizeof(AVIFILEINFOW) == 172);

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
constexpr WORD WAVE_FORMAT_MPEGLAYER3 = 0x0055;

// {00020020-0000-0000-C000-000000000046}
constexpr IID IID_IAVIFile = {0x00020020, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {00020021-0000-0000-C000-000000000046}
constexpr IID IID_IAVIStream = {0x00020021, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0000010C-0000-0000-C000-000000000046}
constexpr IID IID_IPersist = {0x0000010C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0000010B-0000-0000-C000-000000000046}
constexpr IID IID_IPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// The layer's own handler for plain AVI files: {00020000-0000-0000-C000-000000000046}
constexpr CLSID CLSID_AVIFile = {0x00020000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

using LPCOLESTR = const char16_t*;
using LPOLESTR = char16_t*;

struct IAVIStream : IUnknown {
  STDMETHOD(Create)(LPARAM lParam1, LPARAM lParam2) = 0;
  STDMETHOD(Info)(AVISTREAMINFOW* psi, LONG lSize) = 0;
  STDMETHOD_(LONG, FindSample)(LONG lPos, LONG lFlags) = 0;
  STDMETHOD(ReadFormat)(LONG lPos, void* lpFormat, LONG* lpcbFormat) = 0;
  STDMETHOD(SetFormat)(LONG lPos, void* lpFormat, LONG cbFormat) = 0;
  STDMETHOD(Read)(LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer, LONG* plBytes,
                  LONG* plSamples) = 0;
  STDMETHOD(Write)(LONG lStart, LONG lSamples, void* lpBuffer, LONG cbBuffer, DWORD dwFlags,
                   LONG* plSampWritten, LONG* plBytesWritten) = 0;
  STDMETHOD(Delete)(LONG lStart, LONG lSamples) = 0;
  STDMETHOD(ReadData)(DWORD fcc, void* lp, LONG* lpcb) = 0;
  STDMETHOD(WriteData)(DWORD fcc, void* lp, LONG cb) = 0;
  STDMETHOD(SetInfo)(AVISTREAMINFOW* lpInfo, LONG cbInfo) = 0;

 protected:
  ~IAVIStream() = default;
};
using PAVISTREAM = IAVIStream*;

struct IAVIFile : IUnknown {
  STDMETHOD(Info)(AVIFILEINFOW* pfi, LONG lSize) = 0;
  STDMETHOD(GetStream)(PAVISTREAM* ppStream, DWORD fccType, LONG lParam) = 0;
  STDMETHOD(CreateStream)(PAVISTREAM* ppStream, AVISTREAMINFOW* psi) = 0;
  STDMETHOD(WriteData)(DWORD ckid, void* lpData, LONG cbData) = 0;
  STDMETHOD(ReadData)(DWORD ckid, void* lpData, LONG* lpcbData) = 0;
  STDMETHOD(EndRecord)() = 0;
  STDMETHOD(DeleteStream)(DWORD fccType, LONG lParam) = 0;

 protected:
  ~IAVIFile() = default;
};
using PAVIFILE = IAVIFile*;

struct IPersist : IUnknown {
  STDMETHOD(GetClassID)(CLSID* pClassID) = 0;

 protected:
  ~IPersist() = default;
};

struct IPersistFile : IPersist {
  STDMETHOD(IsDirty)() = 0;
  STDMETHOD(Load)(LPCOLESTR pszFileName, DWORD dwMode) = 0;
  STDMETHOD(Save)(LPCOLESTR pszFileName, BOOL fRemember) = 0;
  STDMETHOD(SaveCompleted)(LPCOLESTR pszFileName) = 0;
  STDMETHOD(GetCurFile)(LPOLESTR* ppszFileName) = 0;

 protected:
  ~IPersistFile() = default;
};

// Opens (mode OF_READ) or creates (OF_WRITE | OF_CREATE) a file through the handler registered
// for its extension, or through `handler` when given. Plain ".avi" files, and extensions without
// a registration, use the layer's own AVI handler. AVIERR_FILEOPEN when the file cannot be
// opened, REGDB_E_CLASSNOTREG when the registered module cannot be loaded.
HRESULT AVIFileOpenA(PAVIFILE* ppfile, const char* path, UINT mode, const CLSID* handler);
HRESULT AVIFileOpenW(PAVIFILE* ppfile, const char16_t* path, UINT mode, const CLSID* handler);

// Registration in the registry store: HKEY_CLASSES_ROOT\AVIFile\Extensions\<EXT> names the
// handler's class id, HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 its module.
LONG AVIFileRegisterHandler(const char* extension, REFCLSID clsid, const char* module_path,
                            const char* description);
// The class id registered for an extension (without the dot); false when there is none.
bool AVIFileGetHandler(const char* extension, CLSID* clsid);
// The module registered for a class id; false when there is none.
bool AVIFileGetHandlerModule(REFCLSID clsid, char* path, DWORD size);

// Creates the layer's own AVI handler (an empty file object).
PAVIFILE AVIFileCreatePlainHandler();
