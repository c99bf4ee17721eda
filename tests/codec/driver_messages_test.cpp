// Every driver message through the host: answers, state, format negotiation and refusals.
#include <gtest/gtest.h>

#include "codec/colour.h"
#include "tests/codec/driver_fixture.h"

using namespace codec_test;
using aviqpak::kFourCC;

namespace {

TEST_F(DriverTest, DriverMessagesWithoutAnInstance) {
  struct Case {
    UINT message;
    LRESULT expected;
  };
  const Case cases[] = {
      {DRV_ENABLE, 1}, {DRV_DISABLE, 1}, {DRV_QUERYCONFIGURE, 1}, {DRV_INSTALL, 1}, {DRV_REMOVE, 1},
      {DRV_OPEN, 1},  // no ICOPEN record
      {0x0100, 0},    // below the compression-manager messages: the system's default answer
      {ICM_GETINFO, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(module_->SendDriverMessage(c.message), c.expected) << c.message;

  ICOPEN open{};
  open.dwSize = sizeof(open);
  open.fccType = MakeFourCC('a', 'u', 'd', 'c');
  open.dwError = 12345;
  EXPECT_EQ(DriverProc(0, nullptr, DRV_OPEN, 0, reinterpret_cast<LPARAM>(&open)), 0);
  LRESULT error = 0;
  EXPECT_FALSE(module_->Open(MakeFourCC('a', 'u', 'd', 'c'), kFourCC, ICMODE_COMPRESS, &error));
  auto second = module_->Open(ICTYPE_VIDEO, kFourCC, ICMODE_DECOMPRESS, &error);
  ASSERT_TRUE(second);
  EXPECT_EQ(error, ICERR_OK);
  EXPECT_NE(second->id(), inst_->id());
}

TEST_F(DriverTest, InstanceAnswersUnsupportedAndDefaultMessages) {
  for (UINT m : {ICM_DRAW_BEGIN, ICM_DRAW, ICM_DRAW_END, ICM_DRAW_QUERY, ICM_GETDEFAULTKEYFRAMERATE,
                 ICM_GETDEFAULTQUALITY, ICM_GETQUALITY, ICM_SETQUALITY, ICM_GETERRORTEXT, ICM_USER + 999})
    EXPECT_EQ(inst_->Send(m), ICERR_UNSUPPORTED) << m;
  EXPECT_EQ(inst_->Send(0x0100), 0);
  EXPECT_EQ(inst_->Send(ICM_CONFIGURE, -1), ICERR_OK);
  EXPECT_EQ(inst_->Send(ICM_ABOUT, -1), ICERR_OK);
}

TEST_F(DriverTest, GetInfo) {
  EXPECT_EQ(inst_->Send(ICM_GETINFO, 0, 0), 568);
  ICINFO info;
  std::memset(&info, 0x77, sizeof(info));
  EXPECT_EQ(inst_->Send(ICM_GETINFO, reinterpret_cast<LPARAM>(&info), 567), 0);
  EXPECT_EQ(info.dwSize, 0x77777777u) << "a short buffer is left alone";
  ASSERT_EQ(inst_->GetInfo(&info), 568);
  EXPECT_EQ(info.dwSize, 568u);
  EXPECT_EQ(info.fccType, ICTYPE_VIDEO);
  EXPECT_EQ(info.fccHandler, kFourCC);
  EXPECT_EQ(info.dwFlags, 0u);
  EXPECT_EQ(info.dwVersion, 0x40000u);
  EXPECT_EQ(info.dwVersionICM, 0x104u);
  EXPECT_EQ(std::u16string(info.szName), u"AVIqpak");
  EXPECT_EQ(std::u16string(info.szDescription), u"AVIqpak Compressor");
}

TEST_F(DriverTest, GetAndSetState) {
  EXPECT_EQ(inst_->GetState(nullptr, 0), 8);
  uint8_t buffer[8] = {};
  EXPECT_EQ(inst_->GetState(buffer, 7), 0);
  ASSERT_EQ(inst_->GetState(buffer, 8), 8);
  const uint8_t initial[8] = {'Q', 'P', 'A', 'K', 2, 0, 0, 1};
  EXPECT_EQ(std::memcmp(buffer, initial, 8), 0);

  const uint8_t yuv[8] = {'Q', 'P', 'A', 'K', 5, 1, 3, 0};
  EXPECT_EQ(inst_->SetState(yuv, 8), 8);
  EXPECT_EQ(inst_->GetState(buffer, 8), 8);
  EXPECT_EQ(std::memcmp(buffer, yuv, 8), 0);

  const uint8_t wrong[8] = {'Q', 'P', 'A', 'X', 0, 0, 0, 0};
  EXPECT_EQ(inst_->SetState(wrong, 8), 0);
  EXPECT_EQ(inst_->SetState(yuv, 7), 0);
  EXPECT_EQ(inst_->GetState(buffer, 8), 8);
  EXPECT_EQ(std::memcmp(buffer, yuv, 8), 0) << "refused states change nothing";

  EXPECT_EQ(inst_->SetState(nullptr, 0), 8);
  EXPECT_EQ(inst_->GetState(buffer, 8), 8);
  EXPECT_EQ(std::memcmp(buffer, initial, 8), 0) << "no data restores the process default";
}

TEST_F(DriverTest, CompressQueryAndFormats) {
  struct Case {
    const char* name;
    int bits;
    DWORD compression;
    DWORD settings;
    LRESULT expected;
  };
  const Case inputs[] = {
      {"8 bits", 8, BI_RGB, 0, ICERR_OK},
      {"16 bits", 16, BI_RGB, 0, ICERR_OK},
      {"24 bits", 24, BI_RGB, 0, ICERR_OK},
      {"32 bits", 32, BI_RGB, 0, ICERR_OK},
      {"32 bits refused by setting", 32, BI_RGB, aviqpak::kRgb32Disable, ICERR_BADFORMAT},
      {"24 bits with the 32-bit refusal", 24, BI_RGB, aviqpak::kRgb32Disable, ICERR_OK},
      {"15 bits", 15, BI_RGB, 0, ICERR_BADFORMAT},
      {"packed YUV input", 16, FOURCC_YUY2, 0, ICERR_BADFORMAT},
  };
  for (const Case& c : inputs) {
    aviqpak::SetSettings(c.settings);
    Format in = RgbFormat(64, 48, c.bits, c.compression);
    EXPECT_EQ(inst_->CompressQuery(in.h(), nullptr), c.expected) << c.name;
  }
  aviqpak::SetSettings(0);
  EXPECT_EQ(inst_->CompressQuery(nullptr, nullptr), ICERR_BADFORMAT);

  Format in = RgbFormat(64, -48, 8);
  in.h()->biClrUsed = 3;
  const uint8_t palette[12] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0};
  std::memcpy(in.bytes + 40, palette, 12);
  SetState(colour::kYuv422, aviqpak::kOptionSplit | aviqpak::kOptionNullFrames, 1, 1);
  EXPECT_EQ(inst_->CompressGetFormat(in.h(), nullptr), 48 + 12);
  Format out;
  ASSERT_EQ(inst_->CompressGetFormat(in.h(), out.h()), ICERR_OK);
  EXPECT_EQ(out.h()->biSize, 48u);
  EXPECT_EQ(out.h()->biWidth, 64);
  EXPECT_EQ(out.h()->biHeight, -48) << "sign kept";
  EXPECT_EQ(out.h()->biBitCount, 8);
  EXPECT_EQ(out.h()->biCompression, kFourCC);
  EXPECT_EQ(out.h()->biClrUsed, 3u);
  EXPECT_EQ(out.q()->extra, 4u);
  EXPECT_EQ(out.q()->colourMode, colour::kYuv422);
  EXPECT_EQ(out.q()->noCompress, 1);
  EXPECT_EQ(out.q()->optionFlags, 3);
  EXPECT_EQ(out.q()->converterFamily, 1);
  EXPECT_EQ(std::memcmp(out.bytes + 48, palette, 12), 0);
  EXPECT_EQ(inst_->CompressQuery(in.h(), out.h()), ICERR_OK);

  struct Mismatch {
    const char* name;
    void (*change)(BITMAPINFOHEADER*);
  };
  const Mismatch mismatches[] = {
      {"not QPAK", [](BITMAPINFOHEADER* h) { h->biCompression = BI_RGB; }},
      {"bit count", [](BITMAPINFOHEADER* h) { h->biBitCount = 24; }},
      {"header size", [](BITMAPINFOHEADER* h) { h->biSize = 40; }},
      {"width", [](BITMAPINFOHEADER* h) { h->biWidth = 65; }},
      {"height sign", [](BITMAPINFOHEADER* h) { h->biHeight = 48; }},
  };
  for (const Mismatch& m : mismatches) {
    Format bad = out;
    m.change(bad.h());
    EXPECT_EQ(inst_->CompressQuery(in.h(), bad.h()), ICERR_BADFORMAT) << m.name;
    EXPECT_EQ(inst_->CompressBegin(in.h(), bad.h()), ICERR_BADFORMAT) << m.name;
  }
  Format bad = RgbFormat(64, 48, 15);
  EXPECT_EQ(inst_->CompressGetFormat(bad.h(), out.h()), ICERR_BADFORMAT);
}

TEST_F(DriverTest, CompressGetSizeHoldsTheWorstSplitFrame) {
  struct Case {
    int32_t width, height;
    int bits;
  };
  const Case cases[] = {{400, 5, 24}, {400, 6, 24}, {1, 1, 8}, {720, 576, 24}, {33, 7, 32}};
  for (const Case& c : cases) {
    Format in = RgbFormat(c.width, c.height, c.bits);
    const size_t stride = DibStride(c.width, c.bits);
    const size_t h = static_cast<size_t>(c.height);
    const size_t worst = 8 + h * stride / 2 + (h - h / 2) * stride;
    EXPECT_EQ(inst_->CompressGetSize(in.h(), nullptr), static_cast<LRESULT>(std::max(worst, h * stride)))
        << c.width << "x" << c.height;
  }
}

TEST_F(DriverTest, BeginEndPairs) {
  Format in = RgbFormat(32, 8, 24);
  Format out = CompressedFormat(in);
  EXPECT_EQ(inst_->CompressEnd(), ICERR_ERROR);
  EXPECT_EQ(inst_->CompressBegin(in.h(), out.h()), ICERR_OK);
  EXPECT_EQ(inst_->CompressEnd(), ICERR_OK);
  EXPECT_EQ(inst_->CompressEnd(), ICERR_ERROR);

  EXPECT_EQ(inst_->DecompressEnd(), ICERR_ERROR);
  Format rgb = RgbFormat(32, 8, 24);
  EXPECT_EQ(inst_->DecompressBegin(out.h(), rgb.h()), ICERR_OK);
  EXPECT_EQ(inst_->DecompressEnd(), ICERR_OK);
  EXPECT_EQ(inst_->Send(ICM_DECOMPRESSEX_END), ICERR_ERROR);
  ICDECOMPRESSEX ex{};
  ex.lpbiSrc = out.h();
  ex.lpbiDst = rgb.h();
  ex.dxSrc = ex.dySrc = ex.dxDst = ex.dyDst = -1;
  EXPECT_EQ(inst_->Send(ICM_DECOMPRESSEX_BEGIN, reinterpret_cast<LPARAM>(&ex), sizeof(ex)), ICERR_OK);
  EXPECT_EQ(inst_->Send(ICM_DECOMPRESSEX_END), ICERR_OK);

  rgb.h()->biSizeImage = 0;
  EXPECT_EQ(inst_->DecompressBegin(out.h(), rgb.h()), ICERR_OK);
  EXPECT_EQ(rgb.h()->biSizeImage, 8u * 96u) << "begin fills in an empty image size";
  EXPECT_EQ(inst_->DecompressEnd(), ICERR_OK);
}

TEST_F(DriverTest, DecompressQueryAndFormats) {
  Format rgbIn = RgbFormat(64, 48, 24);
  SetState(colour::kYuv420, 0);
  Format yuvStream = CompressedFormat(rgbIn);
  SetState(colour::kRgb24, 0);
  Format rgbStream = CompressedFormat(rgbIn);

  struct Case {
    const char* name;
    Format* input;
    int bits;
    DWORD compression;
    int32_t height;
    DWORD settings;
    LRESULT expected;
  };
  Case cases[] = {
      {"RGB out", &rgbStream, 24, BI_RGB, 48, 0, ICERR_OK},
      {"top-down RGB out", &rgbStream, 24, BI_RGB, -48, 0, ICERR_OK},
      {"other bit count", &rgbStream, 32, BI_RGB, 48, 0, ICERR_BADFORMAT},
      {"other height", &rgbStream, 24, BI_RGB, 47, 0, ICERR_BADFORMAT},
      {"YUY2 without YUV Enable", &yuvStream, 16, FOURCC_YUY2, 48, 0, ICERR_BADFORMAT},
      {"YUY2 with YUV Enable", &yuvStream, 16, FOURCC_YUY2, 48, aviqpak::kYuvEnable, ICERR_OK},
      {"UYVY with YUV Enable", &yuvStream, 16, FOURCC_UYVY, -48, aviqpak::kYuvEnable, ICERR_OK},
      {"YUY2 from an RGB stream", &rgbStream, 16, FOURCC_YUY2, 48, aviqpak::kYuvEnable, ICERR_BADFORMAT},
      {"YUY2 at 24 bits", &yuvStream, 24, FOURCC_YUY2, 48, aviqpak::kYuvEnable, ICERR_BADFORMAT},
  };
  for (Case& c : cases) {
    aviqpak::SetSettings(c.settings);
    Format out = RgbFormat(64, c.height, c.bits, c.compression);
    EXPECT_EQ(inst_->DecompressQuery(c.input->h(), out.h()), c.expected) << c.name;
  }
  aviqpak::SetSettings(0);

  Format notQpak = rgbIn;
  EXPECT_EQ(inst_->DecompressQuery(notQpak.h(), nullptr), ICERR_BADFORMAT);
  Format shortHeader = rgbStream;
  shortHeader.h()->biSize = 40;
  EXPECT_EQ(inst_->DecompressQuery(shortHeader.h(), nullptr), ICERR_BADFORMAT);
  Format unknownMode = rgbStream;
  unknownMode.q()->colourMode = 9;
  EXPECT_EQ(inst_->DecompressQuery(unknownMode.h(), nullptr), ICERR_BADFORMAT);
  rgbStream.q()->extra = 0;
  Format out = RgbFormat(64, 48, 24);
  EXPECT_EQ(inst_->DecompressQuery(rgbStream.h(), out.h()), ICERR_OK);
  EXPECT_EQ(rgbStream.q()->extra, 4u);

  // Rectangles of the extended query: source rectangle errors are bad parameters.
  struct Rect {
    const char* name;
    INT xSrc, ySrc, dxSrc, dySrc, xDst, yDst, dxDst, dyDst;
    LRESULT expected;
  };
  const Rect rects[] = {
      {"defaults", 0, 0, -1, -1, 0, 0, -1, -1, ICERR_OK},
      {"whole frame", 0, 0, 64, 48, 0, 0, 64, 48, ICERR_OK},
      {"offset source", 1, 0, -1, -1, 0, 0, -1, -1, ICERR_BADPARAM},
      {"part of the source", 0, 0, 32, 48, 0, 0, -1, -1, ICERR_BADPARAM},
      {"part of the output", 0, 0, -1, -1, 0, 0, 64, 24, ICERR_BADFORMAT},
  };
  for (const Rect& r : rects) {
    ICDECOMPRESSEX ex{};
    ex.lpbiSrc = rgbStream.h();
    ex.lpbiDst = out.h();
    ex.xSrc = r.xSrc, ex.ySrc = r.ySrc, ex.dxSrc = r.dxSrc, ex.dySrc = r.dySrc;
    ex.xDst = r.xDst, ex.yDst = r.yDst, ex.dxDst = r.dxDst, ex.dyDst = r.dyDst;
    EXPECT_EQ(inst_->Send(ICM_DECOMPRESSEX_QUERY, reinterpret_cast<LPARAM>(&ex), sizeof(ex)), r.expected) << r.name;
  }

  EXPECT_EQ(inst_->DecompressGetFormat(rgbStream.h(), nullptr), 40);
  Format got;
  ASSERT_EQ(inst_->DecompressGetFormat(rgbStream.h(), got.h()), ICERR_OK);
  EXPECT_EQ(got.h()->biSize, 40u);
  EXPECT_EQ(got.h()->biCompression, BI_RGB);
  EXPECT_EQ(got.h()->biBitCount, 24);
  EXPECT_EQ(got.h()->biWidth, 64);
  EXPECT_EQ(got.h()->biHeight, 48);
  EXPECT_EQ(got.h()->biSizeImage, 48u * 192u);
  EXPECT_EQ(inst_->DecompressGetFormat(rgbIn.h(), got.h()), ICERR_BADFORMAT);
}

TEST_F(DriverTest, DecompressPalette) {
  Format in8 = RgbFormat(16, 4, 8);
  in8.h()->biClrUsed = 2;
  std::memcpy(in8.bytes + 40, "\x10\x20\x30\x00\x40\x50\x60\x00", 8);
  Format stream;
  ASSERT_EQ(inst_->CompressGetFormat(in8.h(), stream.h()), ICERR_OK);
  Format out = RgbFormat(16, 4, 8);
  ASSERT_EQ(inst_->Send(ICM_DECOMPRESS_GET_PALETTE, reinterpret_cast<LPARAM>(stream.h()), reinterpret_cast<LPARAM>(out.h())),
            ICERR_OK);
  EXPECT_EQ(out.h()->biClrUsed, 2u);
  EXPECT_EQ(std::memcmp(out.bytes + 40, "\x10\x20\x30\x00\x40\x50\x60\x00", 8), 0);

  stream.h()->biClrUsed = 0;
  std::memset(stream.bytes + 48, 0xAB, 1024);
  ASSERT_EQ(inst_->Send(ICM_DECOMPRESS_GET_PALETTE, reinterpret_cast<LPARAM>(stream.h()), reinterpret_cast<LPARAM>(out.h())),
            ICERR_OK);
  EXPECT_EQ(out.h()->biClrUsed, 256u) << "no count means a full table";
  EXPECT_EQ(out.bytes[40 + 1023], 0xAB);

  Format out24 = RgbFormat(16, 4, 24);
  EXPECT_EQ(inst_->Send(ICM_DECOMPRESS_GET_PALETTE, reinterpret_cast<LPARAM>(stream.h()), reinterpret_cast<LPARAM>(out24.h())),
            ICERR_BADFORMAT);
}

LONG g_statusCalls[8];
LPARAM g_statusValue;
LONG RecordStatus(LPARAM value, UINT message, LONG) {
  g_statusValue = value;
  if (message < 8) ++g_statusCalls[message];
  return 0;
}

TEST_F(DriverTest, StatusCallbackFramesEachCompression) {
  ICSETSTATUSPROC status{0, 4242, RecordStatus};
  EXPECT_EQ(inst_->Send(ICM_SET_STATUS_PROC, reinterpret_cast<LPARAM>(&status), sizeof(status)), ICERR_OK);
  Format in = RgbFormat(32, 32, 24);
  Coded c = Compress(in, RandomBytes(32 * 32 * 3, 1));
  EXPECT_EQ(c.result, ICERR_OK);
  EXPECT_EQ(g_statusCalls[ICSTATUS_START], 1);
  EXPECT_EQ(g_statusCalls[ICSTATUS_END], 1);
  EXPECT_EQ(g_statusValue, 4242);
}

}  // namespace
