// Tracks and samples through the public operations: tables as written and read back, times,
// sync-sample queries, rates and the limits of a created file.
#include <gtest/gtest.h>

#include "mp4/internal.h"
#include "test_util.h"

using namespace mp4test;

namespace {

struct Sample {
  uint32_t size;
  int sync;
  uint32_t duration;
  int32_t offset;
};

Bytes Payload(size_t i, uint32_t size) {
  Bytes b(size);
  for (uint32_t k = 0; k < size; ++k) b[k] = static_cast<uint8_t>(i * 31 + k);
  return b;
}

// Writes one visual track with the given samples; returns the path.
std::string WriteTrack(const TempDir& dir, const std::vector<Sample>& samples, const char* name = "t.mp4") {
  std::string path = dir.file(name);
  mp4file* h = mp4file_create(path.c_str(), 1000, 0);
  EXPECT_EQ(mp4file_get_error(h), nullptr);
  int track = mp4file_add_track(h, 0x20, 25, "eng");
  EXPECT_EQ(track, 1);
  for (size_t i = 0; i < samples.size(); ++i) {
    Bytes data = Payload(i, samples[i].size);
    EXPECT_EQ(mp4file_add_raw_sample(h, track, data.data(), samples[i].size, samples[i].sync, samples[i].duration,
                                     samples[i].offset),
              0);
  }
  mp4file_close(h);
  return path;
}

}  // namespace

TEST(Samples, WrittenSamplesReadBackWithTimesAndBytes) {
  TempDir dir;
  const std::vector<Sample> samples = {{100, 1, 1, 1}, {50, 0, 1, 3}, {50, 0, 1, 0}, {70, 0, 2, 0}, {100, 1, 1, 1}};
  std::string path = WriteTrack(dir, samples);
  mp4file* h = mp4file_open(path.c_str());
  ASSERT_EQ(mp4file_get_error(h), nullptr);
  uint32_t timescale = 0;
  int track = mp4file_open_track(h, "mp4v", "eng", "vide", &timescale);
  ASSERT_EQ(track, 1);
  EXPECT_EQ(timescale, 25u);
  ASSERT_EQ(mp4file_get_sample_count(h, track), samples.size());
  uint64_t dt = 0;
  for (uint32_t i = 0; i < samples.size(); ++i) {
    EXPECT_EQ(mp4file_get_sample_size(h, track, i), samples[i].size);
    Bytes buffer(samples[i].size);
    EXPECT_EQ(mp4file_read_sample(h, track, i, buffer.data(), samples[i].size), samples[i].size);
    EXPECT_EQ(buffer, Payload(i, samples[i].size)) << i;
    uint64_t time;
    uint32_t ts;
    mp4file_get_sample_time(h, track, i, &time, &ts);
    EXPECT_EQ(time, dt + static_cast<uint64_t>(samples[i].offset)) << i;  // smallest offset is 0: no shift
    EXPECT_EQ(mp4file_is_sync_sample(h, track, i + 1), samples[i].sync) << i;
    dt += samples[i].duration;
  }
  // Reading backwards and jumping about gives the same answers as reading in order.
  for (uint32_t i : {4u, 0u, 3u, 1u}) {
    uint64_t time;
    mp4file_get_sample_decode_time(h, track, i, &time);
    uint64_t want = 0;
    for (uint32_t k = 0; k < i; ++k) want += samples[k].duration;
    EXPECT_EQ(time, want);
  }
  uint64_t end;
  mp4file_get_sample_decode_time(h, track, static_cast<uint32_t>(samples.size()), &end);
  EXPECT_EQ(end, dt);
  EXPECT_EQ(mp4file_get_sample_count(h, 9), 0u);
  EXPECT_EQ(mp4file_get_sample_size(h, 9, 0), -1);
  mp4file_close(h);
}

TEST(Samples, ReadBufferMustHoldTheSample) {
  TempDir dir;
  std::string path = WriteTrack(dir, {{64, 1, 1, 0}});
  mp4file* h = mp4file_open(path.c_str());
  Bytes buffer(64);
  EXPECT_EQ(mp4file_read_sample(h, 1, 0, buffer.data(), 63), 0u);
  EXPECT_STREQ(mp4file_get_error(h), "mp4file_read_sample() : user-supplied buffer was too small");
  mp4file_clear_error(h);
  EXPECT_EQ(mp4file_read_sample(h, 1, 0, buffer.data(), 64), 64u);
  EXPECT_EQ(mp4file_get_error(h), nullptr);
  mp4file_close(h);
}

TEST(Samples, TablesAsWritten) {
  TempDir dir;
  // Durations 40, 40, 40, 80 and composition offsets -1, 2, -1, -1.
  std::string path = WriteTrack(dir, {{10, 1, 40, -1}, {10, 0, 40, 2}, {10, 0, 40, -1}, {12, 1, 80, -1}});
  Bytes f = ReadFile(path);
  long stts = FindType(f, "stts");
  ASSERT_GT(stts, 0);
  EXPECT_EQ(Be32(f, stts + 12), 2u);
  EXPECT_EQ(Be32(f, stts + 16), 3u);
  EXPECT_EQ(Be32(f, stts + 20), 40u);
  EXPECT_EQ(Be32(f, stts + 24), 1u);
  EXPECT_EQ(Be32(f, stts + 28), 80u);
  long ctts = FindType(f, "ctts");
  ASSERT_GT(ctts, 0);
  EXPECT_EQ(Be32(f, ctts + 12), 3u);
  EXPECT_EQ(Be32(f, ctts + 20), 0u);  // -1 -> 0
  EXPECT_EQ(Be32(f, ctts + 28), 3u);  // 2 -> 3
  EXPECT_EQ(Be32(f, ctts + 32), 2u);
  EXPECT_EQ(Be32(f, ctts + 36), 0u);
  // One differing size: a full table in which the earlier samples carry the common size.
  long stsz = FindType(f, "stsz");
  EXPECT_EQ(Be32(f, stsz + 12), 0u);
  EXPECT_EQ(Be32(f, stsz + 16), 4u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Be32(f, stsz + 20 + 4 * i), 10u);
  EXPECT_EQ(Be32(f, stsz + 32), 12u);
  long stss = FindType(f, "stss");
  ASSERT_GT(stss, 0);
  EXPECT_EQ(Be32(f, stss + 12), 2u);
  EXPECT_EQ(Be32(f, stss + 16), 1u);
  EXPECT_EQ(Be32(f, stss + 20), 4u);
}

TEST(Samples, AllSyncTrackHasNoSyncTableAndCommonSize) {
  TempDir dir;
  std::string path = WriteTrack(dir, {{20, 1, 1, 0}, {20, 1, 1, 0}, {20, 1, 1, 0}});
  Bytes f = ReadFile(path);
  EXPECT_EQ(FindType(f, "stss"), -1);
  EXPECT_EQ(FindType(f, "ctts"), -1);  // all offsets 0
  long stsz = FindType(f, "stsz");
  EXPECT_EQ(Be32(f, stsz + 12), 20u);
  EXPECT_EQ(Be32(f, stsz + 16), 3u);
  EXPECT_EQ(Be32(f, stsz), 20u);  // no table: the atom is 20 bytes long
  mp4file* h = mp4file_open(path.c_str());
  for (uint32_t n = 1; n <= 3; ++n) {
    EXPECT_EQ(mp4file_is_sync_sample(h, 1, n), 1);
    EXPECT_EQ(mp4file_prev_sync_sample(h, 1, n), n);
    EXPECT_EQ(mp4file_next_sync_sample(h, 1, n), n);
  }
  mp4file_close(h);
}

TEST(Samples, SyncQueries) {
  TempDir dir;
  std::vector<Sample> samples(12, Sample{8, 0, 1, 0});
  for (int n : {3, 6, 9}) samples[n - 1].sync = 1;
  mp4file* h = mp4file_open(WriteTrack(dir, samples).c_str());
  const struct { uint32_t number; int is; uint32_t prev, next; } cases[] = {
      {1, 0, 0, 3}, {3, 1, 0, 6}, {4, 0, 3, 6}, {6, 1, 3, 9}, {9, 1, 6, 0}, {12, 0, 9, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(mp4file_is_sync_sample(h, 1, c.number), c.is) << c.number;
    EXPECT_EQ(mp4file_prev_sync_sample(h, 1, c.number), c.prev) << c.number;
    EXPECT_EQ(mp4file_next_sync_sample(h, 1, c.number), c.next) << c.number;
  }
  mp4file_close(h);
}

TEST(Samples, EmptyOrUnsortedSyncTableKeepsOnlySampleOne) {
  TempDir dir;
  std::vector<Sample> samples(4, Sample{8, 0, 1, 0});
  samples[0].sync = samples[2].sync = 1;
  std::string path = WriteTrack(dir, samples);
  Bytes f = ReadFile(path);
  long stss = FindType(f, "stss");
  // Unsorted: 3, 1.
  Bytes unsorted = f;
  PutBe32(unsorted, stss + 16, 3);
  PutBe32(unsorted, stss + 20, 1);
  // Empty: count 0 (the old way of saying "all sync").
  Bytes empty = f;
  PutBe32(empty, stss + 12, 0);
  for (const Bytes& b : {unsorted, empty}) {
    WriteFile(dir.file("x.mp4"), b);
    testing::internal::CaptureStdout();
    mp4file* h = mp4file_open(dir.file("x.mp4").c_str());
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(mp4file_get_error(h), nullptr);
    EXPECT_EQ(mp4file_is_sync_sample(h, 1, 1), 1);
    EXPECT_EQ(mp4file_is_sync_sample(h, 1, 3), 0);
    EXPECT_EQ(mp4file_prev_sync_sample(h, 1, 4), 1u);
    EXPECT_EQ(mp4file_next_sync_sample(h, 1, 1), 0u);
    mp4file_close(h);
  }
}

TEST(Samples, ZeroBasedSyncTableIsShifted) {
  TempDir dir;
  std::vector<Sample> samples(4, Sample{8, 0, 1, 0});
  samples[0].sync = samples[2].sync = 1;
  Bytes f = ReadFile(WriteTrack(dir, samples));
  long stss = FindType(f, "stss");
  PutBe32(f, stss + 16, 0);
  PutBe32(f, stss + 20, 2);
  WriteFile(dir.file("z.mp4"), f);
  mp4file* h = mp4file_open(dir.file("z.mp4").c_str());
  EXPECT_EQ(mp4file_is_sync_sample(h, 1, 1), 1);
  EXPECT_EQ(mp4file_is_sync_sample(h, 1, 3), 1);
  EXPECT_EQ(mp4file_is_sync_sample(h, 1, 2), 0);
  mp4file_close(h);
}

TEST(Samples, RatesAndBufferSize) {
  TempDir dir;
  // One sample: only the buffer size is known.
  {
    std::string path = WriteTrack(dir, {{777, 1, 1, 0}}, "one.mp4");
    mp4file* h = mp4file_open(path.c_str());
    const mp4_sample_entry& e = mp4file_find_track(h, 1)->stsd.entries[0];
    EXPECT_EQ(e.bufferSizeDB, 777u);
    EXPECT_EQ(e.maxBitrate, 0u);
    EXPECT_EQ(e.avgBitrate, 0u);
    mp4file_close(h);
  }
  // 25 per second, 1000 bytes each, with one burst of 5000 bytes.
  {
    std::vector<Sample> samples(100, Sample{1000, 1, 1, 0});
    samples[50].size = 5000;
    std::string path = WriteTrack(dir, samples, "steady.mp4");
    mp4file* h = mp4file_open(path.c_str());
    const mp4_sample_entry& e = mp4file_find_track(h, 1)->stsd.entries[0];
    EXPECT_EQ(e.bufferSizeDB, 5000u);
    EXPECT_EQ(e.maxBitrate, (24 * 1000 + 5000) * 8u);
    EXPECT_EQ(e.avgBitrate, static_cast<uint32_t>(0.5 + 8.0 * (98 * 1000 + 5000) / (99 / 25.0)));
    mp4file_close(h);
  }
}

TEST(Tracks, AddingTracks) {
  TempDir dir;
  mp4file* h = mp4file_create(dir.file("a.mp4").c_str(), 600, 0);
  EXPECT_EQ(mp4file_add_track(h, 0x40, 44100, "eng"), -1);  // an audio type without a handler
  EXPECT_STREQ(mp4file_get_error(h), "mp4file_add_track(): mp4file_moov_add_trak() failed");
  EXPECT_EQ(mp4file_add_track(h, 0x99, 44100, "eng"), -1);
  EXPECT_EQ(mp4file_add_track(h, 0x20, 25, "eng"), 1);  // the refusals took no ID
  EXPECT_EQ(mp4file_add_track(h, 0x6B, 44100, "deu"), 2);
  EXPECT_EQ(mp4file_add_track(h, 0x69, 44100, "deu"), -1);
  mp4file_close(h);
  h = mp4file_open(dir.file("a.mp4").c_str());
  ASSERT_EQ(mp4file_get_error(h), nullptr);
  EXPECT_EQ(h->movie.track_count, 2u);
  EXPECT_EQ(h->movie.next_track_ID, 3u);
  mp4file_close(h);
}

TEST(Tracks, FindingTracks) {
  TempDir dir;
  mp4file* w = mp4file_create(dir.file("b.mp4").c_str(), 600, 0);
  mp4file_add_track(w, 0x69, 22050, "deu");
  mp4file_add_track(w, 0x20, 25, "und");
  mp4file_close(w);
  mp4file* h = mp4file_open(dir.file("b.mp4").c_str());
  const struct { const char* codec; const char* lang; const char* handler; int want; } cases[] = {
      {"mp3", nullptr, nullptr, 1}, {"mp4v", nullptr, nullptr, 2}, {nullptr, "deu", nullptr, 1},
      {"mp3", "eng", nullptr, 0},   {"mp3", "und", nullptr, 1},    {"mp4v", "fra", nullptr, 2},
      {nullptr, nullptr, "vide", 2}, {"mp3", nullptr, "vide", 0},  {"aac", nullptr, nullptr, 0},
  };
  for (const auto& c : cases) {
    mp4file_clear_error(h);
    EXPECT_EQ(mp4file_open_track(h, c.codec, c.lang, c.handler, nullptr), c.want)
        << (c.codec ? c.codec : "-") << " " << (c.lang ? c.lang : "-");
    if (c.want == 0) {
      EXPECT_STREQ(mp4file_get_error(h), "mp4file_open_track() : could not find requested track");
    }
  }
  mp4file_close(h);
}

TEST(Tracks, MdatBeyondFourGigabytesIsRefused) {
  // Counting mode measures without writing, so the sizes can be large.
  mp4file* h = mp4file_create(nullptr, 600, 0);
  int track = mp4file_add_track(h, 0x20, 25, "und");
  static uint8_t dummy[1];
  const uint32_t gib = 1u << 30;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(mp4file_add_raw_sample(h, track, dummy, gib, 1, 1, 0), 0);
  EXPECT_EQ(mp4file_add_raw_sample(h, track, dummy, gib, 1, 1, 0), 1);
  EXPECT_STREQ(mp4file_get_error(h), "mp4_file_add_sample() : 'mdat' would exceed 4 GiB");
  EXPECT_EQ(mp4file_get_sample_count(h, track), 3u);
  mp4file_close(h);
}

TEST(Tracks, OffsetsPastFourGigabytesAreWrittenAsCo64) {
  TempDir dir;
  mp4file* h = mp4file_create(dir.file("w.mp4").c_str(), 600, 0);
  int track = mp4file_add_track(h, 0x20, 25, "und");
  mp4_track* t = mp4file_find_track(h, track);
  ASSERT_EQ(mp4file_stbl_add_sample(t, 1000, 10, 1, 1, 0), 0);
  ASSERT_EQ(mp4file_stbl_add_sample(t, 0x123456789ull, 10, 1, 1, 0), 0);
  mp4file_close(h);
  Bytes f = ReadFile(dir.file("w.mp4"));
  EXPECT_EQ(FindType(f, "stco"), -1);
  long co64 = FindType(f, "co64");
  ASSERT_GT(co64, 0);
  EXPECT_EQ(Be32(f, co64 + 12), 2u);
  EXPECT_EQ(Be32(f, co64 + 20), 1000u);
  EXPECT_EQ(Be32(f, co64 + 24), 0x1u);
  EXPECT_EQ(Be32(f, co64 + 28), 0x23456789u);
}

TEST(Tracks, ManySamplesStayConsistent) {
  TempDir dir;
  std::vector<Sample> samples;
  for (int i = 0; i < 20000; ++i) samples.push_back({static_cast<uint32_t>(1 + i % 97), i % 12 == 0, 1u + (i % 3 == 0), (i % 4) - 1});
  std::string path = WriteTrack(dir, samples);
  mp4file* h = mp4file_open(path.c_str());
  ASSERT_EQ(mp4file_get_error(h), nullptr);
  uint64_t dt = 0;
  Bytes buffer(128);
  for (uint32_t i = 0; i < samples.size(); ++i) {
    uint64_t time;
    mp4file_get_sample_time(h, 1, i, &time, nullptr);
    ASSERT_EQ(time, dt + samples[i].offset + 1) << i;  // offsets shifted by the smallest, -1
    ASSERT_EQ(mp4file_read_sample(h, 1, i, buffer.data(), 128), samples[i].size);
    ASSERT_EQ(buffer[0], static_cast<uint8_t>(i * 31)) << i;
    dt += samples[i].duration;
  }
  mp4file_close(h);
}

TEST(Handles, OpenAndCreateFailures) {
  TempDir dir;
  mp4file* h = mp4file_open(dir.file("missing.mp4").c_str());
  ASSERT_NE(h, nullptr);
  EXPECT_STREQ(mp4file_get_error(h), "mp4fileio_open() failed");
  EXPECT_EQ(h->reference_count, MP4FILE_FAILED);
  mp4file_close(h);
  WriteFile(dir.file("plain.bin"), Bytes(64, 0x11));
  h = mp4file_open(dir.file("plain.bin").c_str());
  EXPECT_STREQ(mp4file_get_error(h), "mp4file_open():  could not find 'moov' atom");
  mp4file_close(h);
  h = mp4file_create(dir.file("no/such/dir/x.mp4").c_str(), 600, 0);
  ASSERT_NE(h, nullptr);
  EXPECT_STREQ(mp4file_get_error(h), "mp4fileio_open() failed");
  mp4file_close(h);  // nothing to write, nothing written
  EXPECT_STREQ(mp4file_get_error(nullptr), "null pointer: malloc() failed");
  EXPECT_STREQ(mp4file_get_version(), "Version 0.24, 8 May 2002");
}

TEST(Handles, ReferencesAndFinishedFiles) {
  TempDir dir;
  std::string path = dir.file("r.mp4");
  mp4file* h = mp4file_create(path.c_str(), 600, 0);
  int track = mp4file_add_track(h, 0x20, 25, "und");
  Bytes data(10, 1);
  ASSERT_EQ(mp4file_add_raw_sample(h, track, data.data(), 10, 1, 1, 0), 0);
  mp4file_add_ref(h);
  mp4file_release(h);  // one holder left: the file stays open
  EXPECT_EQ(mp4file_add_raw_sample(h, track, data.data(), 10, 1, 1, 0), 0);
  EXPECT_GT(mp4file_finish(h, 0), 0u);
  EXPECT_EQ(mp4file_add_raw_sample(h, track, data.data(), 10, 1, 1, 0), 1);  // finished: refused
  EXPECT_EQ(mp4file_add_track(h, 0x6B, 44100, "und"), -1);
  mp4file_release(h);  // the last holder closes
  mp4file* r = mp4file_open(path.c_str());
  EXPECT_EQ(mp4file_get_error(r), nullptr);
  EXPECT_EQ(mp4file_get_sample_count(r, 1), 2u);
  EXPECT_EQ(mp4file_get_duration(r), 48u);  // 2 ticks of 1/25 s in 1/600
  EXPECT_EQ(mp4file_get_timescale(r), 600u);
  EXPECT_EQ(mp4file_get_objectTypeIndication(r, 1), 0x20);
  mp4file_close(r);
}

TEST(Samples, SampleAtTime) {
  TempDir dir;
  // Decode times 0, 1, 2, 3 with offsets 1, 3, 0, 0: composition times 1, 4, 2, 3 (shifted by 0).
  mp4file* h = mp4file_open(WriteTrack(dir, {{8, 1, 1, 1}, {8, 0, 1, 3}, {8, 0, 1, 0}, {8, 0, 1, 0}}).c_str());
  const struct { uint64_t time; uint32_t sample; } cases[] = {{0, 0}, {1, 0}, {2, 2}, {3, 3}, {4, 3}, {100, 3}};
  for (const auto& c : cases) EXPECT_EQ(mp4file_get_sample_at_time(h, 1, c.time), c.sample) << c.time;
  mp4file_close(h);
}

TEST(Samples, ReadingWhileWritingKeepsTheWritePosition) {
  TempDir dir;
  std::string path = dir.file("rw.mp4");
  mp4file* h = mp4file_create(path.c_str(), 600, 0);
  int track = mp4file_add_track(h, 0x20, 25, "und");
  for (uint32_t i = 0; i < 4; ++i) {
    Bytes data = Payload(i, 40);
    ASSERT_EQ(mp4file_add_raw_sample(h, track, data.data(), 40, 1, 1, 0), 0);
    mp4file_get_vop_type(h, track, i);
    Bytes back(40);
    ASSERT_EQ(mp4file_read_sample(h, track, 0, back.data(), 40), 40u);  // a look back at the first
    EXPECT_EQ(back, Payload(0, 40));
  }
  mp4file_close(h);
  mp4file* r = mp4file_open(path.c_str());
  ASSERT_EQ(mp4file_get_error(r), nullptr);
  for (uint32_t i = 0; i < 4; ++i) {
    Bytes back(40);
    ASSERT_EQ(mp4file_read_sample(r, 1, i, back.data(), 40), 40u);
    EXPECT_EQ(back, Payload(i, 40)) << i;
  }
  mp4file_close(r);
}
