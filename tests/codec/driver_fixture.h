// Drives the codec through the driver host, as a video application does.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codec/codec_state.h"
#include "codec/driver.h"
#include "platform/vfw/driver_host.h"
#include "tests/codec/test_frames.h"

namespace codec_test {

// A bitmap format with room for a colour table behind the header.
struct Format {
  alignas(8) uint8_t bytes[48 + 1024] = {};
  BITMAPINFOHEADER* h() { return reinterpret_cast<BITMAPINFOHEADER*>(bytes); }
  aviqpak::QpakFormat* q() { return reinterpret_cast<aviqpak::QpakFormat*>(bytes); }
};

inline Format RgbFormat(int32_t width, int32_t height, int bits, DWORD compression = BI_RGB) {
  Format f;
  InitPictureHeader(f.h(), width, height, bits, compression);
  return f;
}

struct Coded {
  LRESULT result = 0;
  Bytes data;
  DWORD flags = 0;
  DWORD ckid = 0;
};

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    module_ = vfw::DriverModule::FromProc(DriverProc, &error);
    ASSERT_TRUE(module_) << error;
    aviqpak::SetSettings(0);
    aviqpak::SetDefaultState(aviqpak::kInitialState);
    inst_ = module_->Open(ICTYPE_VIDEO, aviqpak::kFourCC, ICMODE_COMPRESS);
    ASSERT_TRUE(inst_);
  }
  void TearDown() override {
    inst_.reset();
    module_.reset();
    aviqpak::SetSettings(0);
    aviqpak::SetDefaultState(aviqpak::kInitialState);
  }

  void SetState(uint8_t mode, uint8_t flags, uint8_t noCompress = 0, uint8_t family = 1) {
    aviqpak::CodecState s{aviqpak::kFourCC, mode, noCompress, flags, family};
    ASSERT_EQ(inst_->SetState(&s, sizeof(s)), 8);
  }

  Format CompressedFormat(Format& in) {
    Format out;
    EXPECT_EQ(inst_->CompressGetFormat(in.h(), out.h()), ICERR_OK);
    return out;
  }

  // Codes one frame between an already sent begin and end (or on its own).
  Coded CompressFrame(Format& in, Format& out, const Bytes& picture, LONG frameNumber = 0) {
    Coded c;
    const LRESULT size = inst_->CompressGetSize(in.h(), out.h());
    c.data.assign(static_cast<size_t>(size) + 64, 0xCD);
    ICCOMPRESS ic{};
    ic.dwFlags = ICCOMPRESS_KEYFRAME;
    ic.lpbiOutput = out.h();
    ic.lpOutput = c.data.data();
    ic.lpbiInput = in.h();
    ic.lpInput = const_cast<uint8_t*>(picture.data());
    ic.lpckid = &c.ckid;
    ic.lpdwFlags = &c.flags;
    ic.lFrameNum = frameNumber;
    c.result = inst_->Compress(&ic);
    for (size_t i = static_cast<size_t>(size); i < c.data.size(); ++i)
      EXPECT_EQ(c.data[i], 0xCD) << "written past the reported size";
    c.data.resize(out.h()->biSizeImage);
    return c;
  }

  Coded Compress(Format& in, const Bytes& picture) {
    Format out = CompressedFormat(in);
    return CompressFrame(in, out, picture);
  }

  // Decodes `frame` into `picture` (kept as it was where the decoder writes nothing).
  LRESULT DecompressFrame(Format& compressed, const Bytes& frame, Format& out, Bytes& picture, DWORD flags = 0) {
    compressed.h()->biSizeImage = static_cast<DWORD>(frame.size());
    ICDECOMPRESS d{};
    d.dwFlags = flags;
    d.lpbiInput = compressed.h();
    d.lpInput = const_cast<uint8_t*>(frame.data());
    d.lpbiOutput = out.h();
    d.lpOutput = picture.data();
    return inst_->Decompress(&d);
  }

  std::unique_ptr<vfw::DriverModule> module_;
  std::unique_ptr<vfw::DriverInstance> inst_;
};

}  // namespace codec_test
