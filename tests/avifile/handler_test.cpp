// The MP4 handler as an AVI-file client uses it: entry points, the file object's two interfaces,
// writing through write streams and reading back through read streams.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "avifile/guids.h"
#include "avifile/mp4_file.h"
#include "avifile/streams.h"
#include "platform/com/task_memory.h"
#include "tests/mp4/test_util.h"

using namespace mp4test;

namespace {

constexpr DWORD kVids = MakeFourCC('v', 'i', 'd', 's');
constexpr DWORD kAuds = MakeFourCC('a', 'u', 'd', 's');

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

IPersistFile* Persist(IAVIFile* f) {
  IPersistFile* p = nullptr;
  EXPECT_EQ(f->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&p)), S_OK);
  return p;
}

HRESULT Load(IAVIFile* f, const std::string& path, DWORD mode) {
  IPersistFile* p = Persist(f);
  HRESULT hr = p->Load(Wide(path).c_str(), mode);
  p->Release();
  return hr;
}

AVISTREAMINFOW StreamInfo(DWORD type) {
  AVISTREAMINFOW info = {};
  info.fccType = type;
  info.fccHandler = type == kVids ? MakeFourCC('K', 'U', '5', '0') : 0;
  info.dwScale = 1;
  info.dwRate = 25;
  return info;
}

const uint32_t kRes = 25;
// I P B B P in decode order, times 0 3 1 2 6.
std::vector<Bytes> VideoChunks() {
  return {Cat({Config(kRes), Vop('I', 0, 0, kRes)}), Vop('P', 0, 3, kRes), Vop('B', 0, 1, kRes), Vop('B', 0, 2, kRes),
          Vop('P', 0, 6, kRes)};
}
const Bytes kMp3A = Mp3Frame(Mp3Header(9, 0), 417, 0x11);
const Bytes kMp3B = Mp3Frame(Mp3Header(9, 0), 417, 0x22);

// Writes an MP4 through the handler's write streams. Releases in the order given.
void WriteThroughHandler(const std::string& path, bool video, bool audio, bool release_file_first = false) {
  IAVIFile* f = CreateMP4File();
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(Load(f, path, OF_WRITE | OF_CREATE), S_OK);
  IAVIStream* v = nullptr;
  IAVIStream* a = nullptr;
  if (video) {
    AVISTREAMINFOW info = StreamInfo(kVids);
    ASSERT_EQ(f->CreateStream(&v, &info), S_OK);
    BITMAPINFOHEADER bi = {40, 160, 120, 1, 24, MakeFourCC('K', 'U', '5', '0'), 0, 0, 0, 0, 0};
    EXPECT_EQ(v->SetFormat(0, &bi, sizeof bi), S_OK);
  }
  if (audio) {
    AVISTREAMINFOW info = StreamInfo(kAuds);
    ASSERT_EQ(f->CreateStream(&a, &info), S_OK);
    WAVEFORMATEX wf = {0x55, 2, 44100, 16000, 1, 0, 0};
    EXPECT_EQ(a->SetFormat(0, &wf, sizeof wf), S_OK);
  }
  if (release_file_first) f->Release();
  LONG samples, bytes;
  if (video) {
    LONG i = 0;
    for (Bytes& chunk : VideoChunks()) {
      EXPECT_EQ(v->Write(i++, 1, chunk.data(), LONG(chunk.size()), 0, &samples, &bytes), S_OK);
      EXPECT_EQ(samples, 1);
      EXPECT_EQ(bytes, LONG(chunk.size()));
    }
  }
  if (audio) {
    Bytes both = Cat({kMp3A, kMp3B});
    EXPECT_EQ(a->Write(0, LONG(both.size()), both.data(), LONG(both.size()), 0, &samples, &bytes), S_OK);
    EXPECT_EQ(bytes, LONG(both.size()));
  }
  if (v) v->Release();
  if (a) a->Release();
  if (!release_file_first) f->Release();
}

TEST(HandlerEntryPoints, DllGetClassObject) {
  void* object = nullptr;
  EXPECT_EQ(DllGetClassObject(CLSID_MP4File, IID_IClassFactory, nullptr), E_INVALIDARG);
  EXPECT_EQ(DllGetClassObject(CLSID_AVIFile, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(DllGetClassObject(CLSID_MP4File, IID_IAVIFile, &object), E_NOINTERFACE);
  for (const IID& iid : {IID_IUnknown, IID_IClassFactory}) {
    ASSERT_EQ(DllGetClassObject(CLSID_MP4File, iid, &object), S_OK);
    IClassFactory* factory = static_cast<IClassFactory*>(object);
    EXPECT_EQ(factory->LockServer(TRUE), E_NOTIMPL);
    void* file = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPersistFile, &file), E_NOINTERFACE);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IAVIFile, nullptr), E_INVALIDARG);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IAVIFile, &file), S_OK);
    ASSERT_NE(file, nullptr);
    // Reached through QueryInterface afterwards.
    IPersistFile* persist = Persist(static_cast<IAVIFile*>(file));
    persist->Release();
    static_cast<IAVIFile*>(file)->Release();
    EXPECT_EQ(factory->Release(), 0u);
  }
}

TEST(HandlerEntryPoints, FactoryRefusesAggregation) {
  void* object = nullptr;
  ASSERT_EQ(DllGetClassObject(CLSID_MP4File, IID_IClassFactory, &object), S_OK);
  IClassFactory* factory = static_cast<IClassFactory*>(object);
  void* file = nullptr;
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IAVIFile, &file), E_INVALIDARG);
  void* again = nullptr;
  EXPECT_EQ(factory->QueryInterface(IID_IAVIFile, &again), E_NOINTERFACE);
  factory->Release();
}

TEST(HandlerFile, InterfacesShareOneObject) {
  IAVIFile* f = CreateMP4File();
  IPersistFile* p = Persist(f);
  void* out = nullptr;
  struct Case {
    IUnknown* from;
    const IID* iid;
    void* expected;
  } cases[] = {{f, &IID_IUnknown, f},      {f, &IID_IPersist, p},          {p, &IID_IAVIFile, f},
               {p, &IID_IUnknown, f},      {p, &IID_IPersistFile, p},      {f, &IID_IPersistFile, p}};
  for (const Case& c : cases) {
    ASSERT_EQ(c.from->QueryInterface(*c.iid, &out), S_OK);
    EXPECT_EQ(out, c.expected);
    static_cast<IUnknown*>(out)->Release();
  }
  EXPECT_EQ(f->QueryInterface(IID_IAVIStream, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(p->Release(), 1u);  // the count is shared by both interfaces
  EXPECT_EQ(f->Release(), 0u);
}

TEST(HandlerFile, LoadModesAndEmptyObject) {
  TempDir dir;
  IAVIFile* f = CreateMP4File();
  IPersistFile* p = Persist(f);
  EXPECT_EQ(p->Load(nullptr, 0), E_INVALIDARG);
  EXPECT_EQ(p->Load(u"/x.mp4", 3), E_FAIL);
  EXPECT_EQ(p->Load(Wide(dir.file("missing.mp4")).c_str(), 0), E_FAIL);
  IAVIStream* s = nullptr;
  EXPECT_EQ(f->GetStream(&s, 0, 0), AVIERR_NODATA);
  EXPECT_EQ(f->GetStream(nullptr, 0, 0), E_INVALIDARG);
  EXPECT_EQ(f->Info(nullptr, 0), AVIERR_ERROR);
  AVISTREAMINFOW info = StreamInfo(kVids);
  EXPECT_EQ(f->CreateStream(&s, &info), AVIERR_READONLY);
  EXPECT_EQ(p->GetCurFile(nullptr), E_INVALIDARG);
  CLSID clsid;
  EXPECT_EQ(p->GetClassID(&clsid), E_NOTIMPL);
  EXPECT_EQ(p->IsDirty(), E_NOTIMPL);
  p->Release();
  f->Release();
}

TEST(HandlerFile, CreateStreamRules) {
  TempDir dir;
  IAVIFile* f = CreateMP4File();
  ASSERT_EQ(Load(f, dir.file("w.mp4"), OF_WRITE | OF_CREATE), S_OK);
  EXPECT_EQ(f->WriteData(0, nullptr, 0), E_NOTIMPL);
  AVISTREAMINFOW text = StreamInfo(MakeFourCC('t', 'x', 't', 's'));
  AVISTREAMINFOW video = StreamInfo(kVids);
  IAVIStream* s = nullptr;
  IAVIStream* v = nullptr;
  EXPECT_EQ(f->CreateStream(&s, &text), AVIERR_ERROR);
  ASSERT_EQ(f->CreateStream(&v, &video), S_OK);
  EXPECT_EQ(f->CreateStream(&s, &video), AVIERR_ERROR);
  // The stream the client holds is the one GetStream hands out, by type or by index.
  IAVIStream* again = nullptr;
  ASSERT_EQ(f->GetStream(&again, kVids, 0), S_OK);
  EXPECT_EQ(again, v);
  again->Release();
  EXPECT_EQ(f->GetStream(&again, kVids, 1), AVIERR_NODATA);
  EXPECT_EQ(f->GetStream(&again, 0, 1), AVIERR_NODATA);  // no audio stream yet
  EXPECT_EQ(f->GetStream(&again, 0, 2), AVIERR_NODATA);
  // Write streams refuse what only read streams do.
  LONG n = 0;
  EXPECT_EQ(v->Read(0, 1, nullptr, 0, &n, &n), AVIERR_ERROR);
  EXPECT_EQ(v->ReadFormat(0, nullptr, &n), AVIERR_ERROR);
  EXPECT_EQ(v->FindSample(0, FIND_ANY), 0);
  EXPECT_EQ(v->SetInfo(nullptr, 0), E_NOTIMPL);
  EXPECT_EQ(v->Write(0, 2, nullptr, 0, 0, &n, &n), AVIERR_ERROR);  // one video frame at a time
  v->Release();
  // A released write stream is still the file's: handing it out again is safe.
  ASSERT_EQ(f->GetStream(&again, kVids, 0), S_OK);
  again->Release();
  f->Release();
}

TEST(HandlerFile, ReadOnlyFileRefusesWriting) {
  TempDir dir;
  WriteThroughHandler(dir.file("r.mp4"), true, true);
  IAVIFile* f = CreateMP4File();
  ASSERT_EQ(Load(f, dir.file("r.mp4"), OF_READ), S_OK);
  AVISTREAMINFOW info = StreamInfo(kVids);
  IAVIStream* s = nullptr;
  EXPECT_EQ(f->CreateStream(&s, &info), AVIERR_READONLY);
  EXPECT_EQ(f->WriteData(0, nullptr, 0), AVIERR_READONLY);
  EXPECT_EQ(f->Info(nullptr, 0), E_NOTIMPL);
  EXPECT_EQ(f->EndRecord(), S_OK);
  IPersistFile* p = Persist(f);
  char16_t* name = nullptr;
  ASSERT_EQ(p->GetCurFile(&name), S_OK);
  EXPECT_EQ(std::u16string(name), Wide(dir.file("r.mp4")));
  CoTaskMemFree(name);
  p->Release();
  ASSERT_EQ(f->GetStream(&s, kVids, 0), S_OK);
  LONG n;
  EXPECT_EQ(s->SetFormat(0, nullptr, 0), E_ACCESSDENIED);
  EXPECT_EQ(s->Write(0, 1, nullptr, 0, 0, &n, &n), AVIERR_READONLY);
  EXPECT_EQ(s->Delete(0, 1), AVIERR_READONLY);
  EXPECT_EQ(s->ReadData(0, nullptr, &n), E_INVALIDARG);
  EXPECT_EQ(s->Create(0, 0), E_FAIL);
  s->Release();
  f->Release();
}

// The written file is finished by whichever holder goes last.
TEST(HandlerFile, FileFinishedWhenLastHolderGoes) {
  for (bool file_first : {false, true}) {
    TempDir dir;
    WriteThroughHandler(dir.file("order.mp4"), true, true, file_first);
    mp4file* h = mp4file_open(dir.file("order.mp4").c_str());
    ASSERT_EQ(mp4file_get_error(h), nullptr) << "file first: " << file_first;
    EXPECT_EQ(mp4file_get_sample_count(h, mp4file_open_track(h, "mp4v", nullptr, nullptr, nullptr)), 5u);
    EXPECT_EQ(mp4file_get_sample_count(h, mp4file_open_track(h, "mp3", nullptr, nullptr, nullptr)), 2u);
    mp4file_close(h);
  }
}

// Markers and not-coded place holders of packed AVI streams are dropped; everything is reported
// as written.
TEST(HandlerWrite, DropsMarkersAndPlaceHolders) {
  TempDir dir;
  IAVIFile* f = CreateMP4File();
  ASSERT_EQ(Load(f, dir.file("m.mp4"), OF_WRITE), S_OK);
  AVISTREAMINFOW info = StreamInfo(kVids);
  IAVIStream* v = nullptr;
  ASSERT_EQ(f->CreateStream(&v, &info), S_OK);
  uint8_t not_coded[8];
  Bytes first = Cat({Config(kRes), Vop('I', 0, 0, kRes)});
  const Bytes marker = {0x7F};
  mp4_not_coded_vop(0, mp4v_time_increment_bits(kRes), not_coded);
  const Bytes placeholder(not_coded, not_coded + 8);
  const Bytes p = Vop('P', 0, 1, kRes);
  for (const Bytes* chunk : std::vector<const Bytes*>{&first, &marker, &placeholder, &p}) {
    LONG samples = 0, bytes = 0;
    EXPECT_EQ(v->Write(0, 1, const_cast<uint8_t*>(chunk->data()), LONG(chunk->size()), 0, &samples, &bytes), S_OK);
    EXPECT_EQ(samples, 1);
    EXPECT_EQ(bytes, LONG(chunk->size()));
  }
  v->Release();
  f->Release();
  mp4file* h = mp4file_open(dir.file("m.mp4").c_str());
  ASSERT_EQ(mp4file_get_error(h), nullptr);
  EXPECT_EQ(mp4file_get_sample_count(h, 1), 2u);
  mp4file_close(h);
}

class HandlerRead : public testing::Test {
 protected:
  void SetUp() override {
    WriteThroughHandler(dir_.file("av.mp4"), true, true);
    file_ = CreateMP4File();
    ASSERT_EQ(Load(file_, dir_.file("av.mp4"), OF_READ), S_OK);
    ASSERT_EQ(file_->GetStream(&video_, 0, 0), S_OK);
    ASSERT_EQ(file_->GetStream(&audio_, 0, 1), S_OK);
  }
  void TearDown() override {
    SafeRelease(video_);
    SafeRelease(audio_);
    SafeRelease(file_);
  }
  Bytes Frame(LONG j) {
    LONG bytes = 0, samples = 0;
    EXPECT_EQ(video_->Read(j, 1, nullptr, 0, &bytes, &samples), S_OK);
    Bytes out(static_cast<size_t>(bytes));
    EXPECT_EQ(video_->Read(j, 1, out.data(), bytes, &bytes, &samples), S_OK);
    EXPECT_EQ(samples, 1);
    return out;
  }
  TempDir dir_;
  IAVIFile* file_ = nullptr;
  IAVIStream* video_ = nullptr;
  IAVIStream* audio_ = nullptr;
};

TEST_F(HandlerRead, StreamInfo) {
  AVISTREAMINFOW info;
  ASSERT_EQ(video_->Info(&info, sizeof info), S_OK);
  EXPECT_EQ(info.fccType, kVids);
  EXPECT_EQ(info.fccHandler, MakeFourCC('K', 'O', 'V', 'U'));
  EXPECT_EQ(info.dwRate, 1000000u);
  EXPECT_EQ(info.dwLength, 5u);
  EXPECT_EQ(info.rcFrame.right, 160);
  EXPECT_EQ(info.rcFrame.bottom, 120);
  EXPECT_EQ(std::u16string(info.szName), u"Video stream 0");
  ASSERT_EQ(audio_->Info(&info, sizeof info), S_OK);
  EXPECT_EQ(info.fccType, kAuds);
  EXPECT_EQ(info.fccHandler, 0x55u);
  EXPECT_EQ(info.dwScale, 1u);
  EXPECT_EQ(info.dwSampleSize, 1u);
  EXPECT_EQ(info.dwLength, 834u);
  EXPECT_EQ(std::u16string(info.szName), u"Audio stream 0");
  // A caller with a shorter record gets no more than it holds.
  alignas(AVISTREAMINFOW) uint8_t small[12 + 4];
  std::memset(small, 0xAB, sizeof small);
  ASSERT_EQ(video_->Info(reinterpret_cast<AVISTREAMINFOW*>(small), 12), S_OK);
  EXPECT_EQ(small[0], 'v');
  EXPECT_EQ(small[12], 0xAB);
}

TEST_F(HandlerRead, Formats) {
  LONG size = 0;
  ASSERT_EQ(video_->ReadFormat(0, nullptr, &size), S_OK);
  EXPECT_EQ(size, 40);
  BITMAPINFOHEADER bi;
  ASSERT_EQ(video_->ReadFormat(0, &bi, &size), S_OK);
  EXPECT_EQ(bi.biCompression, MakeFourCC('K', 'U', '5', '0'));
  EXPECT_EQ(bi.biWidth, 160);
  EXPECT_EQ(bi.biSizeImage, 160u * 2 * 120);

  ASSERT_EQ(audio_->ReadFormat(0, nullptr, &size), S_OK);
  EXPECT_EQ(size, 30);
  uint8_t wf[30];
  ASSERT_EQ(audio_->ReadFormat(0, wf, &size), S_OK);
  WAVEFORMATEX w;
  std::memcpy(&w, wf, sizeof w);
  EXPECT_EQ(w.wFormatTag, 0x55);
  EXPECT_EQ(w.nChannels, 2);
  EXPECT_EQ(w.nSamplesPerSec, 44100u);
  EXPECT_EQ(w.nBlockAlign, 1);
  EXPECT_EQ(w.cbSize, 12);
  EXPECT_EQ(wf[24] | wf[25] << 8, 417);   // block size: the first sample
  EXPECT_EQ(wf[28] | wf[29] << 8, 1393);  // codec delay
  // A smaller buffer gets what fits and the size stays.
  uint8_t small[10] = {};
  size = 10;
  ASSERT_EQ(audio_->ReadFormat(0, small, &size), S_OK);
  EXPECT_EQ(size, 10);
  EXPECT_EQ(std::memcmp(small, wf, 10), 0);
}

// Decode order I P B B P is handed out packed: each anchor carries the B-VOP after it, and a
// not-coded VOP with the anchor's time stands where the last B-VOP of a run was.
TEST_F(HandlerRead, VideoFramesArePacked) {
  std::vector<Bytes> chunks = VideoChunks();
  const Bytes announce = Cat({{0, 0, 1, 0xB2}, Bytes{'D', 'i', 'v', 'X', '5', '0', '3', 'b', '1', '3', '9', '3', 'p'}});
  EXPECT_EQ(Frame(0), Cat({Config(kRes), announce, Vop('I', 0, 0, kRes)}));
  EXPECT_EQ(Frame(1), Cat({chunks[1], chunks[2]}));
  EXPECT_EQ(Frame(2), chunks[3]);
  // 01 (P) 0 1, increment 00011 (5 bits), 1 0 (not coded): 0101 0001 | 1100 0000.
  EXPECT_EQ(Frame(3), (Bytes{0, 0, 1, 0xB6, 0x51, 0xC0, 0, 0}));
  EXPECT_EQ(Frame(4), chunks[4]);
  // Several frames at once are the frames one after the other.
  LONG bytes = 0, samples = 0;
  ASSERT_EQ(video_->Read(1, 10, nullptr, 0, &bytes, &samples), S_OK);
  EXPECT_EQ(samples, 4);
  EXPECT_EQ(bytes, LONG(Frame(1).size() + Frame(2).size() + 8 + Frame(4).size()));
  Bytes all(static_cast<size_t>(bytes));
  EXPECT_EQ(video_->Read(1, 4, all.data(), bytes - 1, &bytes, &samples), AVIERR_BUFFERTOOSMALL);
  EXPECT_EQ(video_->Read(-1, 1, nullptr, 0, &bytes, &samples), AVIERR_ERROR);
  EXPECT_EQ(video_->Read(5, 1, nullptr, 0, &bytes, &samples), AVIERR_ERROR);
}

TEST_F(HandlerRead, AudioReadsBytes) {
  LONG bytes = 0, samples = 0;
  Bytes out(2000);
  ASSERT_EQ(audio_->Read(10, AVISTREAMREAD_CONVENIENT, out.data(), 2000, &bytes, &samples), S_OK);
  EXPECT_EQ(bytes, 407 + 417);
  EXPECT_EQ(samples, 407 + 417);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + bytes), Cat({Bytes(kMp3A.begin() + 10, kMp3A.end()), kMp3B}));
  ASSERT_EQ(audio_->Read(0, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes, &samples), S_OK);
  EXPECT_EQ(bytes, 417);  // from a sample's start: that sample only
  ASSERT_EQ(audio_->Read(800, 100, nullptr, 0, &bytes, &samples), S_OK);
  EXPECT_EQ(bytes, 34);  // clipped to what is left
  EXPECT_EQ(audio_->Read(400, 30, out.data(), 29, &bytes, &samples), AVIERR_BUFFERTOOSMALL);
  EXPECT_EQ(audio_->Read(834, 1, out.data(), 10, &bytes, &samples), AVIERR_ERROR);
  EXPECT_EQ(audio_->Read(-1, 1, out.data(), 10, &bytes, &samples), AVIERR_ERROR);
}

TEST_F(HandlerRead, FindSample) {
  // Video: sample 0 is the only key frame.
  const LONG video_cases[][3] = {{0, FIND_KEY | FIND_PREV, 0}, {3, FIND_KEY | FIND_PREV, 0}, {3, FIND_KEY | FIND_NEXT, -1},
                                 {3, FIND_ANY, 3},             {3, FIND_FORMAT, -1},          {5, FIND_ANY, -1},
                                 {-1, FIND_ANY, -1}};
  for (const auto& c : video_cases) EXPECT_EQ(video_->FindSample(c[0], c[1]), c[2]) << c[0] << " " << c[1];
  // Audio positions are bytes: any byte of the stream is found.
  EXPECT_EQ(audio_->FindSample(500, FIND_KEY | FIND_PREV), 500);
  EXPECT_EQ(audio_->FindSample(834, FIND_ANY), -1);
}

TEST_F(HandlerRead, StreamInterfaces) {
  void* out = nullptr;
  for (const IID* iid : {&IID_IUnknown, &IID_IAVIStream, &IID_IMP4Stream}) {
    ASSERT_EQ(video_->QueryInterface(*iid, &out), S_OK);
    EXPECT_EQ(out, video_);
    video_->Release();
  }
  EXPECT_EQ(video_->QueryInterface(IID_IAVIFile, &out), E_NOINTERFACE);
}

// Streams outlive the file object and may be used from several threads.
TEST_F(HandlerRead, StreamsOutliveTheFileAndShareIt) {
  SafeRelease(file_);
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      IAVIStream* s = t % 2 ? audio_ : video_;
      for (int i = 0; i < 200; ++i) {
        s->AddRef();
        LONG bytes = 0, samples = 0;
        Bytes out(4096);
        if (s->Read(t % 2 ? i % 800 : i % 5, 1, out.data(), 4096, &bytes, &samples) != S_OK) ++failures;
        s->Release();
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(failures, 0);
}

TEST(HandlerReadKinds, AudioOnlyFile) {
  TempDir dir;
  WriteThroughHandler(dir.file("a.mp4"), false, true);
  IAVIFile* f = CreateMP4File();
  ASSERT_EQ(Load(f, dir.file("a.mp4"), OF_READ), S_OK);
  IAVIStream* s = nullptr;
  ASSERT_EQ(f->GetStream(&s, 0, 0), S_OK);
  AVISTREAMINFOW info;
  s->Info(&info, sizeof info);
  EXPECT_EQ(info.fccType, kAuds);
  s->Release();
  EXPECT_EQ(f->GetStream(&s, 0, 1), AVIERR_NODATA);
  EXPECT_EQ(f->GetStream(&s, kVids, 0), AVIERR_NODATA);
  f->Release();
}

// An audio track whose first sample is no MPEG-1 header but which has a 2-byte configuration is
// described as that configuration says.
TEST(HandlerReadKinds, AudioSpecificConfig) {
  TempDir dir;
  mp4file* h = mp4file_create(dir.file("aac.mp4").c_str(), 1000, 0);
  int track = mp4file_add_track(h, 0x69, 48000, "und");
  const uint8_t config[2] = {0x11, 0x90};  // index 3 (48000), 2 channels
  mp4file_set_DecoderSpecificInfo(h, track, config, 2);
  const uint8_t sample[64] = {0x21, 0x10};
  for (int i = 0; i < 3; ++i) mp4file_add_raw_sample(h, track, sample, sizeof sample, 1, 1024, 0);
  mp4file_close(h);
  IAVIFile* f = CreateMP4File();
  ASSERT_EQ(Load(f, dir.file("aac.mp4"), OF_READ), S_OK);
  IAVIStream* s = nullptr;
  ASSERT_EQ(f->GetStream(&s, kAuds, 0), S_OK);
  uint8_t wf[20];
  LONG size = sizeof wf;
  ASSERT_EQ(s->ReadFormat(0, wf, &size), S_OK);
  EXPECT_EQ(size, 20);
  EXPECT_EQ(wf[0] | wf[1] << 8, 0x1234);
  EXPECT_EQ(wf[2], 2);
  EXPECT_EQ(wf[4] | wf[5] << 8 | wf[6] << 16, 48000);
  EXPECT_EQ(wf[18], 0x11);
  EXPECT_EQ(wf[19], 0x90);
  s->Release();
  f->Release();
}

// Times far beyond what a frame rate can say saturate rather than wrap.
TEST(HandlerReadKinds, HugeDurationsSaturateTheScale) {
  TempDir dir;
  mp4file* h = mp4file_create(dir.file("long.mp4").c_str(), 1, 0);
  int track = mp4file_add_track(h, 0x20, 1, "und");
  const Bytes config = Config(kRes);
  mp4file_set_DecoderSpecificInfo(h, track, config.data(), uint32_t(config.size()));
  const Bytes vop = Vop('I', 0, 0, kRes);
  for (int i = 0; i < 2; ++i) mp4file_add_raw_sample(h, track, vop.data(), uint32_t(vop.size()), 1, 0x7FFFFFFFu, 0);
  mp4file_close(h);
  IAVIFile* f = CreateMP4File();
  ASSERT_EQ(Load(f, dir.file("long.mp4"), OF_READ), S_OK);
  IAVIStream* s = nullptr;
  ASSERT_EQ(f->GetStream(&s, kVids, 0), S_OK);
  AVISTREAMINFOW info;
  ASSERT_EQ(s->Info(&info, sizeof info), S_OK);
  EXPECT_EQ(info.dwScale, 0xFFFFFFFFu);
  s->Release();
  f->Release();
}

}  // namespace
