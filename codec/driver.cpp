#include "codec/driver.h"

#include <cstring>
#include <new>

namespace aviqpak {
namespace {

constexpr DWORD kVersion = 0x40000;
constexpr DWORD kVersionIcm = 0x104;

void PutWide(WCHAR* dst, size_t capacity, const char* text) {
  size_t i = 0;
  for (; text[i] && i + 1 < capacity; ++i) dst[i] = static_cast<WCHAR>(static_cast<unsigned char>(text[i]));
  dst[i] = 0;
}

LRESULT GetInfo(ICINFO* info, LPARAM size) {
  if (!info) return sizeof(ICINFO);
  if (size < static_cast<LPARAM>(sizeof(ICINFO))) return 0;
  std::memset(info, 0, sizeof(ICINFO));
  info->dwSize = sizeof(ICINFO);
  info->fccType = ICTYPE_VIDEO;
  info->fccHandler = kFourCC;
  info->dwFlags = 0;
  info->dwVersion = kVersion;
  info->dwVersionICM = kVersionIcm;
  PutWide(info->szName, 16, "AVIqpak");
  PutWide(info->szDescription, 128, "AVIqpak Compressor");
  return sizeof(ICINFO);
}

DecompressRequest FromFormats(LPARAM input, LPARAM output) {
  DecompressRequest r;
  r.input = reinterpret_cast<BITMAPINFOHEADER*>(input);
  r.output = reinterpret_cast<BITMAPINFOHEADER*>(output);
  return r;
}

DecompressRequest FromEx(const ICDECOMPRESSEX* d) {
  DecompressRequest r;
  if (!d) return r;
  r.input = d->lpbiSrc;
  r.inputData = d->lpSrc;
  r.output = d->lpbiDst;
  r.outputData = d->lpDst;
  r.flags = d->dwFlags;
  r.hasRects = true;
  r.xSrc = d->xSrc, r.ySrc = d->ySrc, r.dxSrc = d->dxSrc, r.dySrc = d->dySrc;
  r.xDst = d->xDst, r.yDst = d->yDst, r.dxDst = d->dxDst, r.dyDst = d->dyDst;
  return r;
}

void FreeBuffers(Instance* in) {
  in->previous.Release();
  in->previousSize = 0;
  in->previousValid = false;
  in->bandB.Release();
  in->temp[0].Release();
  in->temp[1].Release();
}

}  // namespace

LRESULT InstanceMessage(Instance* in, UINT message, LPARAM p1, LPARAM p2) {
  switch (message) {
    case ICM_GETSTATE:
      if (!p1) return sizeof(CodecState);
      if (p2 < static_cast<LPARAM>(sizeof(CodecState))) return 0;
      std::memcpy(reinterpret_cast<void*>(p1), &in->state, sizeof(CodecState));
      return sizeof(CodecState);
    case ICM_SETSTATE: {
      if (!p1) {
        in->state = DefaultState();
        return sizeof(CodecState);
      }
      CodecState s;
      if (p2 < static_cast<LPARAM>(sizeof(CodecState))) return 0;
      std::memcpy(&s, reinterpret_cast<const void*>(p1), sizeof(s));
      if (s.fcc != kFourCC) return 0;
      in->state = s;
      return sizeof(CodecState);
    }
    case ICM_GETINFO:
      return GetInfo(reinterpret_cast<ICINFO*>(p1), p2);
    case ICM_CONFIGURE:
      if (p1 == -1) return ICERR_OK;
      return ShowConfigureDialog(in, p1);
    case ICM_ABOUT:
      if (p1 == -1) return ICERR_OK;
      return ShowAbout(p1);
    case ICM_COMPRESS_QUERY:
      return CompressQuery(in, reinterpret_cast<const BITMAPINFOHEADER*>(p1), reinterpret_cast<const BITMAPINFOHEADER*>(p2));
    case ICM_COMPRESS_GET_FORMAT:
      return CompressGetFormat(in, reinterpret_cast<const BITMAPINFOHEADER*>(p1), reinterpret_cast<BITMAPINFOHEADER*>(p2));
    case ICM_COMPRESS_GET_SIZE:
      return CompressGetSize(reinterpret_cast<const BITMAPINFOHEADER*>(p1));
    case ICM_COMPRESS_BEGIN:
      return CompressBegin(in, reinterpret_cast<const BITMAPINFOHEADER*>(p1), reinterpret_cast<const BITMAPINFOHEADER*>(p2));
    case ICM_COMPRESS:
      return Compress(in, reinterpret_cast<ICCOMPRESS*>(p1));
    case ICM_COMPRESS_END:
      return CompressEnd(in);
    case ICM_DECOMPRESS_QUERY:
      return DecompressQuery(in, FromFormats(p1, p2));
    case ICM_DECOMPRESSEX_QUERY:
      if (!p1) return ICERR_BADPARAM;
      return DecompressQuery(in, FromEx(reinterpret_cast<const ICDECOMPRESSEX*>(p1)));
    case ICM_DECOMPRESS_GET_FORMAT:
      return DecompressGetFormat(in, reinterpret_cast<const BITMAPINFOHEADER*>(p1), reinterpret_cast<BITMAPINFOHEADER*>(p2));
    case ICM_DECOMPRESS_GET_PALETTE:
      return DecompressGetPalette(in, reinterpret_cast<const BITMAPINFOHEADER*>(p1), reinterpret_cast<BITMAPINFOHEADER*>(p2));
    case ICM_DECOMPRESS_BEGIN:
      return DecompressBegin(in, FromFormats(p1, p2));
    case ICM_DECOMPRESSEX_BEGIN:
      if (!p1) return ICERR_BADPARAM;
      return DecompressBegin(in, FromEx(reinterpret_cast<const ICDECOMPRESSEX*>(p1)));
    case ICM_DECOMPRESS: {
      const ICDECOMPRESS* d = reinterpret_cast<const ICDECOMPRESS*>(p1);
      if (!d) return ICERR_BADPARAM;
      DecompressRequest r = FromFormats(reinterpret_cast<LPARAM>(d->lpbiInput), reinterpret_cast<LPARAM>(d->lpbiOutput));
      r.inputData = d->lpInput;
      r.outputData = d->lpOutput;
      r.flags = d->dwFlags;
      return Decompress(in, r);
    }
    case ICM_DECOMPRESSEX:
      if (!p1) return ICERR_BADPARAM;
      return Decompress(in, FromEx(reinterpret_cast<const ICDECOMPRESSEX*>(p1)));
    case ICM_DECOMPRESS_END:
    case ICM_DECOMPRESSEX_END:
      return DecompressEnd(in);
    case ICM_SET_STATUS_PROC: {
      const ICSETSTATUSPROC* s = reinterpret_cast<const ICSETSTATUSPROC*>(p1);
      in->statusProc = s ? s->Status : nullptr;
      in->statusValue = s ? s->lParam : 0;
      return ICERR_OK;
    }
    default:
      if (message >= ICM_USER) return ICERR_UNSUPPORTED;
      return DefDriverProc(reinterpret_cast<DWORD_PTR>(in), nullptr, message, p1, p2);
  }
}

}  // namespace aviqpak

using namespace aviqpak;

LRESULT DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM p1, LPARAM p2) {
  try {
    switch (message) {
      case DRV_LOAD:
        LoadSettings();
        return 1;
      case DRV_ENABLE:
      case DRV_DISABLE:
      case DRV_FREE:
        return 1;
      case DRV_OPEN: {
        ICOPEN* open = reinterpret_cast<ICOPEN*>(p2);
        if (!open) return 1;
        if (open->fccType != ICTYPE_VIDEO) return 0;
        Instance* in = new (std::nothrow) Instance();
        if (!in) {
          open->dwError = ICERR_MEMORY;
          return 0;
        }
        in->fccType = ICTYPE_VIDEO;
        in->proc = InstanceMessage;
        in->openFlags = open->dwFlags;
        in->state = DefaultState();
        open->dwError = ICERR_OK;
        return reinterpret_cast<LRESULT>(in);
      }
      case DRV_CLOSE:
        if (driverId > 1) {
          Instance* in = reinterpret_cast<Instance*>(driverId);
          FreeBuffers(in);
          delete in;
        }
        return 1;
      case DRV_CONFIGURE:
        return ShowSetingDialog(p1);
      case DRV_QUERYCONFIGURE:
      case DRV_INSTALL:
      case DRV_REMOVE:
        return 1;
      default:
        if (driverId <= 1) return DefDriverProc(driverId, driver, message, p1, p2);
        Instance* in = reinterpret_cast<Instance*>(driverId);
        return in->proc(in, message, p1, p2);
    }
  } catch (const std::bad_alloc&) {
    return ICERR_MEMORY;
  } catch (...) {
    return ICERR_INTERNAL;
  }
}
