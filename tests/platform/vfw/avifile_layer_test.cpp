// The AVI-file client side of the layer: records and codes, handler registration, opening files
// through the registered handler (the MP4 module loaded by its class id) or the plain AVI handler.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "platform/registry/registry.h"
#include "platform/vfw/avifile.h"
#include "tests/mp4/test_util.h"

using namespace mp4test;

namespace {

constexpr DWORD kVids = MakeFourCC('v', 'i', 'd', 's');
constexpr DWORD kAuds = MakeFourCC('a', 'u', 'd', 's');
// The MP4 handler's class id.
constexpr CLSID kMp4Handler = {0x634F0D74, 0x0DDA, 0x4344, {0xBE, 0x44, 0x8B, 0x1C, 0x35, 0xEE, 0x32, 0x96}};
const std::string kModule = std::string(MC_BINARY_DIR) + "/lib/liblantrel.so";

TEST(AviFileLayer, RecordsAndCodes) {
  EXPECT_EQ(offsetof(AVISTREAMINFOW, dwScale), 20u);
  EXPECT_EQ(offsetof(AVISTREAMINFOW, rcFrame), 52u);
  EXPECT_EQ(offsetof(AVISTREAMINFOW, szName), 76u);
  EXPECT_EQ(offsetof(AVIFILEINFOW, szFileType), 44u);
  const std::pair<HRESULT, uint32_t> codes[] = {
      {AVIERR_UNSUPPORTED, 0x80044065}, {AVIERR_BADFORMAT, 0x80044066}, {AVIERR_MEMORY, 0x80044067},
      {AVIERR_FILEOPEN, 0x8004406F},    {AVIERR_READONLY, 0x80044072},  {AVIERR_NODATA, 0x80044073},
      {AVIERR_BUFFERTOOSMALL, 0x80044074}, {AVIERR_USERABORT, 0x800440C6}, {AVIERR_ERROR, 0x800440C7}};
  for (const auto& c : codes) EXPECT_EQ(uint32_t(c.first), c.second);
  EXPECT_EQ(FIND_KEY | FIND_PREV, 0x14);
  EXPECT_EQ(FIND_ANY | FIND_NEXT, 0x21);
  EXPECT_EQ(FIND_FORMAT, 0x40);
}

TEST(AviFileLayer, Registration) {
  ASSERT_EQ(AVIFileRegisterHandler("mp4", kMp4Handler, "/some/module.so", "MP4 file handler"), ERROR_SUCCESS);
  CLSID clsid;
  ASSERT_TRUE(AVIFileGetHandler("MP4", &clsid));  // extensions compare without case
  EXPECT_EQ(clsid, kMp4Handler);
  char module[256];
  ASSERT_TRUE(AVIFileGetHandlerModule(kMp4Handler, module, sizeof module));
  EXPECT_STREQ(module, "/some/module.so");
  EXPECT_FALSE(AVIFileGetHandler("xyz", &clsid));
  // Its module cannot be loaded: the open says so.
  PAVIFILE f = nullptr;
  EXPECT_EQ(AVIFileOpenA(&f, "/tmp/whatever.mp4", OF_READ, nullptr), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(f, nullptr);
}

TEST(AviFileLayer, MissingFile) {
  PAVIFILE f = nullptr;
  EXPECT_EQ(AVIFileOpenA(&f, "/nonexistent/file.avi", OF_READ, nullptr), AVIERR_FILEOPEN);
  EXPECT_EQ(AVIFileOpenA(nullptr, "x.avi", OF_READ, nullptr), AVIERR_BADPARAM);
}

// A plain AVI written through the layer reads back with its formats, samples and key frames;
// audio with a sample size is addressed in those samples across chunks.
TEST(AviFileLayer, PlainAviRoundTrip) {
  TempDir dir;
  const std::string path = dir.file("plain.avi");
  PAVIFILE f = nullptr;
  ASSERT_EQ(AVIFileOpenA(&f, path.c_str(), OF_WRITE | OF_CREATE, nullptr), S_OK);
  AVISTREAMINFOW vi = {};
  vi.fccType = kVids;
  vi.fccHandler = MakeFourCC('K', 'U', '5', '0');
  vi.dwScale = 1;
  vi.dwRate = 25;
  AVISTREAMINFOW ai = {};
  ai.fccType = kAuds;
  ai.dwScale = 1;
  ai.dwRate = 16000;
  ai.dwSampleSize = 1;
  PAVISTREAM v = nullptr, a = nullptr;
  ASSERT_EQ(f->CreateStream(&v, &vi), S_OK);
  ASSERT_EQ(f->CreateStream(&a, &ai), S_OK);
  BITMAPINFOHEADER bi = {40, 16, 16, 1, 24, vi.fccHandler, 0, 0, 0, 0, 0};
  WAVEFORMATEX wf = {0x55, 1, 44100, 16000, 1, 0, 0};
  ASSERT_EQ(v->SetFormat(0, &bi, sizeof bi), S_OK);
  ASSERT_EQ(a->SetFormat(0, &wf, sizeof wf), S_OK);
  const Bytes frames[] = {Bytes(11, 1), Bytes(5, 2), Bytes(6, 3)};
  const Bytes audio[] = {Bytes(100, 7), Bytes(50, 8)};
  LONG n, b;
  for (int i = 0; i < 3; ++i)
    ASSERT_EQ(v->Write(i, 1, const_cast<uint8_t*>(frames[i].data()), LONG(frames[i].size()), i == 0 ? AVIIF_KEYFRAME : 0, &n, &b), S_OK);
  for (const Bytes& chunk : audio) {
    ASSERT_EQ(a->Write(0, LONG(chunk.size()), const_cast<uint8_t*>(chunk.data()), LONG(chunk.size()), 0, &n, &b), S_OK);
    EXPECT_EQ(n, LONG(chunk.size()));
  }
  v->Release();
  f->Release();  // the audio stream still holds the file open
  a->Release();

  ASSERT_EQ(AVIFileOpenA(&f, path.c_str(), OF_READ, nullptr), S_OK);
  ASSERT_EQ(f->GetStream(&v, kVids, 0), S_OK);
  ASSERT_EQ(f->GetStream(&a, kAuds, 0), S_OK);
  PAVISTREAM none = nullptr;
  EXPECT_EQ(f->GetStream(&none, kVids, 1), AVIERR_NODATA);
  AVISTREAMINFOW info;
  v->Info(&info, sizeof info);
  EXPECT_EQ(info.dwLength, 3u);
  EXPECT_EQ(info.fccHandler, vi.fccHandler);
  a->Info(&info, sizeof info);
  EXPECT_EQ(info.dwLength, 150u);
  LONG size = 0;
  ASSERT_EQ(v->ReadFormat(0, nullptr, &size), S_OK);
  EXPECT_EQ(size, 40);
  Bytes out(200);
  ASSERT_EQ(v->Read(1, 1, out.data(), 200, &b, &n), S_OK);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + b), frames[1]);
  EXPECT_EQ(v->FindSample(2, FIND_KEY | FIND_PREV), 0);
  EXPECT_EQ(v->FindSample(1, FIND_KEY | FIND_NEXT), -1);
  // Audio: from byte 90 a convenient read is the rest of the first chunk; a counted read spans.
  ASSERT_EQ(a->Read(90, AVISTREAMREAD_CONVENIENT, out.data(), 200, &b, &n), S_OK);
  EXPECT_EQ(b, 10);
  ASSERT_EQ(a->Read(95, 10, out.data(), 200, &b, &n), S_OK);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 10), Cat({Bytes(5, 7), Bytes(5, 8)}));
  EXPECT_EQ(a->Read(150, 1, out.data(), 200, &b, &n), AVIERR_BADPARAM);
  v->Release();
  a->Release();
  f->Release();
}

// An .mp4 file goes to the module registered for its extension, loaded by class id.
TEST(AviFileLayer, Mp4ThroughRegisteredModule) {
  ASSERT_EQ(AVIFileRegisterHandler("mp4", kMp4Handler, kModule.c_str(), "MP4 file handler"), ERROR_SUCCESS);
  TempDir dir;
  const std::string path = dir.file("through.mp4");
  PAVIFILE f = nullptr;
  ASSERT_EQ(AVIFileOpenA(&f, path.c_str(), OF_WRITE | OF_CREATE, nullptr), S_OK) << kModule;
  AVISTREAMINFOW vi = {};
  vi.fccType = kVids;
  PAVISTREAM v = nullptr;
  ASSERT_EQ(f->CreateStream(&v, &vi), S_OK);
  const uint32_t res = 30;
  const Bytes chunks[] = {Cat({Config(res), Vop('I', 0, 0, res)}), Vop('P', 0, 1, res), Vop('P', 0, 2, res)};
  LONG n, b;
  for (const Bytes& c : chunks) ASSERT_EQ(v->Write(0, 1, const_cast<uint8_t*>(c.data()), LONG(c.size()), 0, &n, &b), S_OK);
  v->Release();
  f->Release();

  ASSERT_EQ(AVIFileOpenA(&f, path.c_str(), OF_READ, nullptr), S_OK);
  ASSERT_EQ(f->GetStream(&v, 0, 0), S_OK);
  AVISTREAMINFOW info;
  v->Info(&info, sizeof info);
  EXPECT_EQ(info.dwLength, 3u);
  EXPECT_EQ(info.fccHandler, MakeFourCC('K', 'O', 'V', 'U'));
  Bytes out(1000);
  ASSERT_EQ(v->Read(2, 1, out.data(), 1000, &b, &n), S_OK);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + b), chunks[2]);
  PAVISTREAM none = nullptr;
  EXPECT_EQ(f->GetStream(&none, 0, 1), AVIERR_NODATA);
  v->Release();
  f->Release();
  // The plain handler can still be asked for by class id.
  EXPECT_EQ(AVIFileOpenA(&f, path.c_str(), OF_READ, &CLSID_AVIFile), AVIERR_FILEOPEN);
}

}  // namespace
