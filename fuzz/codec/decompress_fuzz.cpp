// Random frames through ICM_DECOMPRESS: the first bytes choose the stream's format and the
// output, the rest is the frame. The decoder must stop safely on anything.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codec/codec_state.h"
#include "codec/driver.h"
#include "platform/vfw/driver_host.h"

namespace {

struct Host {
  std::unique_ptr<vfw::DriverModule> module;
  std::unique_ptr<vfw::DriverInstance> inst;
  Host() {
    std::string error;
    module = vfw::DriverModule::FromProc(DriverProc, &error);
    inst = module->Open(ICTYPE_VIDEO, aviqpak::kFourCC, ICMODE_DECOMPRESS);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Host host;
  if (size < 6) return 0;
  const int bitsChoice[] = {8, 16, 24, 32};
  const int bits = bitsChoice[data[0] & 3];
  const uint8_t mode = static_cast<uint8_t>((data[0] >> 2) % 6);
  const bool split = data[0] & 0x20;
  const bool packed = data[0] & 0x40;
  const bool uyvy = data[0] & 0x80;
  const int32_t width = 1 + data[1] % 96;
  int32_t height = 1 + data[2] % 64;
  if (data[3] & 1) height = -height;
  aviqpak::SetSettings(data[4] & 0xF);
  aviqpak::CodecState state{aviqpak::kFourCC, 2, 0, 0, static_cast<uint8_t>(data[5] & 1)};
  host.inst->SetState(&state, sizeof(state));

  alignas(8) uint8_t in[48 + 1024] = {};
  aviqpak::QpakFormat* q = reinterpret_cast<aviqpak::QpakFormat*>(in);
  q->header.biSize = 48;
  q->header.biWidth = width;
  q->header.biHeight = height;
  q->header.biPlanes = 1;
  q->header.biBitCount = static_cast<WORD>(bits);
  q->header.biCompression = aviqpak::kFourCC;
  q->header.biSizeImage = static_cast<DWORD>(size - 6);
  q->extra = 4;
  q->colourMode = mode;
  q->optionFlags = split ? aviqpak::kOptionSplit : 0;

  alignas(8) uint8_t out[40 + 1024] = {};
  BITMAPINFOHEADER* o = reinterpret_cast<BITMAPINFOHEADER*>(out);
  o->biSize = 40;
  o->biWidth = width;
  o->biHeight = (data[3] & 2) ? -std::abs(height) : std::abs(height);
  o->biPlanes = 1;
  o->biBitCount = static_cast<WORD>(packed ? 16 : bits);
  o->biCompression = packed ? (uyvy ? FOURCC_UYVY : FOURCC_YUY2) : BI_RGB;
  std::vector<uint8_t> picture(static_cast<size_t>(std::abs(height)) * DibStride(width, o->biBitCount));
  std::vector<uint8_t> frame(data + 6, data + size);

  ICDECOMPRESS d{};
  d.lpbiInput = &q->header;
  d.lpInput = frame.data();
  d.lpbiOutput = o;
  d.lpOutput = picture.data();
  host.inst->Decompress(&d);
  return 0;
}
