// The codec driver: the exported DriverProc and the per-instance state behind it.
#pragma once

#include <cstdint>

#include "codec/codec_state.h"
#include "codec/frame_part.h"
#include "platform/sys/export.h"
#include "platform/vfw/vfw.h"

MC_EXPORT LRESULT DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM lParam1, LPARAM lParam2);

namespace aviqpak {

struct Instance;
using InstanceProc = LRESULT (*)(Instance* instance, UINT message, LPARAM lParam1, LPARAM lParam2);

struct Instance {
  FOURCC fccType = ICTYPE_VIDEO;
  InstanceProc proc = nullptr;
  DWORD openFlags = 0;
  CodecState state = kInitialState;
  bool compressing = false;
  bool decompressing = false;
  IcStatusProc statusProc = nullptr;
  LPARAM statusValue = 0;
  Buffer previous;
  size_t previousSize = 0;
  bool previousValid = false;
  FramePart parts[2];
  Buffer bandB;       // band B's data while a split frame is coded
  Buffer temp[2];     // YUV conversion per band
  qpak::Scratch scratch[2];
};

LRESULT InstanceMessage(Instance* instance, UINT message, LPARAM lParam1, LPARAM lParam2);

// Compression and decompression messages (compress.cpp, decompress.cpp).
LRESULT CompressQuery(Instance* in, const BITMAPINFOHEADER* input, const BITMAPINFOHEADER* output);
LRESULT CompressGetFormat(Instance* in, const BITMAPINFOHEADER* input, BITMAPINFOHEADER* output);
LRESULT CompressGetSize(const BITMAPINFOHEADER* input);
LRESULT CompressBegin(Instance* in, const BITMAPINFOHEADER* input, const BITMAPINFOHEADER* output);
LRESULT Compress(Instance* in, ICCOMPRESS* c);
LRESULT CompressEnd(Instance* in);

struct DecompressRequest {
  BITMAPINFOHEADER* input = nullptr;
  const void* inputData = nullptr;
  BITMAPINFOHEADER* output = nullptr;
  void* outputData = nullptr;
  DWORD flags = 0;
  bool hasRects = false;
  INT xSrc = 0, ySrc = 0, dxSrc = -1, dySrc = -1;
  INT xDst = 0, yDst = 0, dxDst = -1, dyDst = -1;
};
LRESULT DecompressQuery(Instance* in, const DecompressRequest& r);
LRESULT DecompressGetFormat(Instance* in, const BITMAPINFOHEADER* input, BITMAPINFOHEADER* output);
LRESULT DecompressGetPalette(Instance* in, const BITMAPINFOHEADER* input, BITMAPINFOHEADER* output);
LRESULT DecompressBegin(Instance* in, const DecompressRequest& r);
LRESULT Decompress(Instance* in, const DecompressRequest& r);
LRESULT DecompressEnd(Instance* in);

// Dialogs and the about box (dialogs.cpp).
LRESULT ShowConfigureDialog(Instance* in, LPARAM parent);
LRESULT ShowSetingDialog(LPARAM parent);
LRESULT ShowAbout(LPARAM parent);

// Largest picture the driver takes: keeps every size computation far from overflow.
constexpr uint64_t kMaxFrameBytes = uint64_t{1} << 30;

}  // namespace aviqpak
