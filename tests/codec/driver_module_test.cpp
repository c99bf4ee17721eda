// The delivered module, loaded as a video application loads it: one entry point, and a frame
// coded and decoded through it.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include "codec/colour.h"
#include "tests/codec/driver_fixture.h"

using namespace codec_test;

namespace {

TEST(DriverModule, LoadsAndCodesThroughDriverProc) {
  std::string error;
  auto module = vfw::DriverModule::Load(MC_BINARY_DIR "/lib/libaviqpak.so", &error);
  ASSERT_TRUE(module) << error;
  auto inst = module->Open(ICTYPE_VIDEO, aviqpak::kFourCC, ICMODE_COMPRESS);
  ASSERT_TRUE(inst);
  ICINFO info;
  ASSERT_EQ(inst->GetInfo(&info), 568);
  EXPECT_EQ(std::u16string(info.szName), u"AVIqpak");

  const uint8_t state[8] = {'Q', 'P', 'A', 'K', colour::kRgb24, 0, aviqpak::kOptionSplit, 1};
  ASSERT_EQ(inst->SetState(state, 8), 8);
  Format in = RgbFormat(320, 181, 24);
  Format stream;
  ASSERT_EQ(inst->CompressGetFormat(in.h(), stream.h()), ICERR_OK);
  Bytes picture = PictureLike(181 * 960, 3);
  Bytes coded(static_cast<size_t>(inst->CompressGetSize(in.h(), stream.h())));
  DWORD ckid = 0, flags = 0;
  ICCOMPRESS c{};
  c.lpbiInput = in.h();
  c.lpInput = picture.data();
  c.lpbiOutput = stream.h();
  c.lpOutput = coded.data();
  c.lpckid = &ckid;
  c.lpdwFlags = &flags;
  ASSERT_EQ(inst->Compress(&c), ICERR_OK);
  EXPECT_LT(stream.h()->biSizeImage, picture.size());
  coded.resize(stream.h()->biSizeImage);

  Format out = RgbFormat(320, 181, 24);
  Bytes back(picture.size());
  ICDECOMPRESSEX d{};
  d.lpbiSrc = stream.h();
  d.lpSrc = coded.data();
  d.lpbiDst = out.h();
  d.lpDst = back.data();
  d.dxSrc = d.dySrc = d.dxDst = d.dyDst = -1;
  ASSERT_EQ(inst->DecompressEx(&d), ICERR_OK);
  EXPECT_EQ(back, picture);
}

TEST(DriverModule, ExportsOnlyDriverProc) {
  void* handle = dlopen(MC_BINARY_DIR "/lib/libaviqpak.so", RTLD_NOW | RTLD_LOCAL);
  ASSERT_TRUE(handle);
  EXPECT_TRUE(dlsym(handle, "DriverProc"));
  EXPECT_FALSE(dlsym(handle, "DefDriverProc"));
  dlclose(handle);
  std::string error;
  EXPECT_FALSE(vfw::DriverModule::Load("/nonexistent/libnothing.so", &error));
  EXPECT_NE(error.find("cannot load"), std::string::npos);
}

}  // namespace
