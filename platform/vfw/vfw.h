// The codec-driver protocol as a driver sees it: driver and compression-manager message numbers
// (with their original values), the records those messages carry and the result codes. Records
// without pointers keep their original sizes exactly; records that carry pointers use the natural
// layout of this platform.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/sys/types.h"

using FOURCC = DWORD;
using DWORD_PTR = uintptr_t;
struct HostDriver;
using HDRVR = HostDriver*;

constexpr FOURCC MakeFourCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<uint8_t>(a)) | (static_cast<DWORD>(static_cast<uint8_t>(b)) << 8) |
         (static_cast<DWORD>(static_cast<uint8_t>(c)) << 16) | (static_cast<DWORD>(static_cast<uint8_t>(d)) << 24);
}
constexpr WORD MakeTwoCC(char a, char b) {
  return static_cast<WORD>(static_cast<uint8_t>(a) | (static_cast<uint8_t>(b) << 8));
}

constexpr FOURCC ICTYPE_VIDEO = MakeFourCC('v', 'i', 'd', 'c');
constexpr FOURCC FOURCC_UYVY = MakeFourCC('U', 'Y', 'V', 'Y');
constexpr FOURCC FOURCC_YUY2 = MakeFourCC('Y', 'U', 'Y', '2');
constexpr DWORD BI_RGB = 0;

// Installable-driver messages.
constexpr UINT DRV_LOAD = 0x0001;
constexpr UINT DRV_ENABLE = 0x0002;
constexpr UINT DRV_OPEN = 0x0003;
constexpr UINT DRV_CLOSE = 0x0004;
constexpr UINT DRV_DISABLE = 0x0005;
constexpr UINT DRV_FREE = 0x0006;
constexpr UINT DRV_CONFIGURE = 0x0007;
constexpr UINT DRV_QUERYCONFIGURE = 0x0008;
constexpr UINT DRV_INSTALL = 0x0009;
constexpr UINT DRV_REMOVE = 0x000A;
constexpr UINT DRV_USER = 0x4000;
constexpr LRESULT DRVCNF_OK = 1;

// Compression-manager messages.
constexpr UINT ICM_USER = DRV_USER;
constexpr UINT ICM_RESERVED = DRV_USER + 0x1000;
constexpr UINT ICM_GETSTATE = ICM_RESERVED + 0;
constexpr UINT ICM_SETSTATE = ICM_RESERVED + 1;
constexpr UINT ICM_GETINFO = ICM_RESERVED + 2;
constexpr UINT ICM_CONFIGURE = ICM_RESERVED + 10;
constexpr UINT ICM_ABOUT = ICM_RESERVED + 11;
constexpr UINT ICM_GETERRORTEXT = ICM_RESERVED + 12;
constexpr UINT ICM_GETFORMATNAME = ICM_RESERVED + 20;
constexpr UINT ICM_ENUMFORMATS = ICM_RESERVED + 21;
constexpr UINT ICM_GETDEFAULTQUALITY = ICM_RESERVED + 30;
constexpr UINT ICM_GETQUALITY = ICM_RESERVED + 31;
constexpr UINT ICM_SETQUALITY = ICM_RESERVED + 32;
constexpr UINT ICM_SET = ICM_RESERVED + 40;
constexpr UINT ICM_GET = ICM_RESERVED + 41;
constexpr UINT ICM_COMPRESS_GET_FORMAT = ICM_USER + 4;
constexpr UINT ICM_COMPRESS_GET_SIZE = ICM_USER + 5;
constexpr UINT ICM_COMPRESS_QUERY = ICM_USER + 6;
constexpr UINT ICM_COMPRESS_BEGIN = ICM_USER + 7;
constexpr UINT ICM_COMPRESS = ICM_USER + 8;
constexpr UINT ICM_COMPRESS_END = ICM_USER + 9;
constexpr UINT ICM_DECOMPRESS_GET_FORMAT = ICM_USER + 10;
constexpr UINT ICM_DECOMPRESS_QUERY = ICM_USER + 11;
constexpr UINT ICM_DECOMPRESS_BEGIN = ICM_USER + 12;
constexpr UINT ICM_DECOMPRESS = ICM_USER + 13;
constexpr UINT ICM_DECOMPRESS_END = ICM_USER + 14;
constexpr UINT ICM_DRAW_BEGIN = ICM_USER + 15;
constexpr UINT ICM_DRAW_END = ICM_USER + 21;
constexpr UINT ICM_DECOMPRESS_SET_PALETTE = ICM_USER + 29;
constexpr UINT ICM_DECOMPRESS_GET_PALETTE = ICM_USER + 30;
constexpr UINT ICM_DRAW_QUERY = ICM_USER + 31;
constexpr UINT ICM_DRAW = ICM_USER + 33;
constexpr UINT ICM_GETBUFFERSWANTED = ICM_USER + 41;
constexpr UINT ICM_GETDEFAULTKEYFRAMERATE = ICM_USER + 42;
constexpr UINT ICM_DECOMPRESSEX_BEGIN = ICM_USER + 60;
constexpr UINT ICM_DECOMPRESSEX_QUERY = ICM_USER + 61;
constexpr UINT ICM_DECOMPRESSEX = ICM_USER + 62;
constexpr UINT ICM_DECOMPRESSEX_END = ICM_USER + 63;
constexpr UINT ICM_COMPRESS_FRAMES_INFO = ICM_USER + 70;
constexpr UINT ICM_COMPRESS_FRAMES = ICM_USER + 71;
constexpr UINT ICM_SET_STATUS_PROC = ICM_USER + 72;

// Results of the compression-manager messages.
constexpr LRESULT ICERR_OK = 0;
constexpr LRESULT ICERR_DONTDRAW = 1;
constexpr LRESULT ICERR_NEWPALETTE = 2;
constexpr LRESULT ICERR_UNSUPPORTED = -1;
constexpr LRESULT ICERR_BADFORMAT = -2;
constexpr LRESULT ICERR_MEMORY = -3;
constexpr LRESULT ICERR_INTERNAL = -4;
constexpr LRESULT ICERR_BADFLAGS = -5;
constexpr LRESULT ICERR_BADPARAM = -6;
constexpr LRESULT ICERR_BADSIZE = -7;
constexpr LRESULT ICERR_BADHANDLE = -8;
constexpr LRESULT ICERR_CANTUPDATE = -9;
constexpr LRESULT ICERR_ABORT = -10;
constexpr LRESULT ICERR_ERROR = -100;
constexpr LRESULT ICERR_BADBITDEPTH = -200;
constexpr LRESULT ICERR_BADIMAGESIZE = -201;

// Flags.
constexpr DWORD ICCOMPRESS_KEYFRAME = 0x00000001;
constexpr DWORD ICDECOMPRESS_HURRYUP = 0x80000000;
constexpr DWORD AVIIF_LIST = 0x00000001;
constexpr DWORD AVIIF_KEYFRAME = 0x00000010;
constexpr DWORD ICMODE_COMPRESS = 1;
constexpr DWORD ICMODE_DECOMPRESS = 2;
constexpr DWORD ICMODE_QUERY = 4;
constexpr UINT ICSTATUS_START = 0;
constexpr UINT ICSTATUS_STATUS = 1;
constexpr UINT ICSTATUS_END = 2;
constexpr UINT ICSTATUS_ERROR = 3;
constexpr UINT ICSTATUS_YIELD = 4;

#pragma pack(push, 2)
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
  BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
static_assert(sizeof(RGBQUAD) == 4);

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// Row length in bytes of an uncompressed DIB: whole 32-bit words.
inline uint32_t DibStride(int32_t width, int bitCount) {
  uint64_t bits = static_cast<uint64_t>(width < 0 ? 0 : width) * static_cast<uint64_t>(bitCount);
  return static_cast<uint32_t>(((bits + 31) / 8) & ~uint64_t{3});
}

// Fills an uncompressed (or packed, with `compression`) picture header: negative heights are
// top-down pictures; the image size follows from the stride.
inline void InitPictureHeader(BITMAPINFOHEADER* h, int32_t width, int32_t height, int bitCount,
                              DWORD compression = BI_RGB) {
  h->biSize = 40;
  h->biWidth = width;
  h->biHeight = height;
  h->biPlanes = 1;
  h->biBitCount = static_cast<WORD>(bitCount);
  h->biCompression = compression;
  const uint64_t rows = static_cast<uint64_t>(height < 0 ? -static_cast<int64_t>(height) : height);
  h->biSizeImage = static_cast<DWORD>(rows * DibStride(width, bitCount));
}

// Given to DRV_OPEN as parameter 2.
struct ICOPEN {
  DWORD dwSize;
  DWORD fccType;
  DWORD fccHandler;
  DWORD dwVersion;
  DWORD dwFlags;
  LRESULT dwError;
  void* pV1;
  void* pV2;
  LPARAM lParam;
};

struct ICINFO {
  DWORD dwSize;
  DWORD fccType;
  DWORD fccHandler;
  DWORD dwFlags;
  DWORD dwVersion;
  DWORD dwVersionICM;
  WCHAR szName[16];
  WCHAR szDescription[128];
  WCHAR szDriver[128];
};
static_assert(sizeof(ICINFO) == 568);

struct ICCOMPRESS {
  DWORD dwFlags;
  BITMAPINFOHEADER* lpbiOutput;
  void* lpOutput;
  BITMAPINFOHEADER* lpbiInput;
  void* lpInput;
  DWORD* lpckid;
  DWORD* lpdwFlags;
  LONG lFrameNum;
  DWORD dwFrameSize;
  DWORD dwQuality;
  BITMAPINFOHEADER* lpbiPrev;
  void* lpPrev;
};

struct ICDECOMPRESS {
  DWORD dwFlags;
  BITMAPINFOHEADER* lpbiInput;
  void* lpInput;
  BITMAPINFOHEADER* lpbiOutput;
  void* lpOutput;
  DWORD ckid;
};

struct ICDECOMPRESSEX {
  DWORD dwFlags;
  BITMAPINFOHEADER* lpbiSrc;
  void* lpSrc;
  BITMAPINFOHEADER* lpbiDst;
  void* lpDst;
  INT xDst, yDst, dxDst, dyDst;
  INT xSrc, ySrc, dxSrc, dySrc;
};
static_assert(offsetof(ICDECOMPRESSEX, xDst) == 5 * sizeof(void*));

using IcStatusProc = LONG (*)(LPARAM lParam, UINT message, LONG value);
struct ICSETSTATUSPROC {
  DWORD dwFlags;
  LPARAM lParam;
  IcStatusProc Status;
};

// The driver entry point every codec module exports.
using DRIVERPROC = LRESULT (*)(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM lParam1, LPARAM lParam2);

// What the system does with driver messages a driver leaves to it.
LRESULT DefDriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM lParam1, LPARAM lParam2);
