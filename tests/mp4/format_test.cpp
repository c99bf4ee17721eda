// The file layer, the atom reader and writer, the tree as written, the reader's distrust of
// what it reads, fast start and the dump.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "mp4/atom.h"
#include "mp4/internal.h"
#include "test_util.h"

using namespace mp4test;

namespace {

// A small file with a visual and an audio track, moov at the end.
std::string WriteSmallFile(const TempDir& dir, const char* name = "s.mp4", int64_t reserve = 0) {
  std::string path = dir.file(name);
  mp4file* h = mp4file_create(path.c_str(), 600, reserve);
  int v = mp4file_add_track(h, 0x20, 25, "eng");
  int a = mp4file_add_track(h, 0x6B, 44100, "eng");
  for (int i = 0; i < 10; ++i) {
    Bytes data(100 + i, static_cast<uint8_t>(i));
    mp4file_add_raw_sample(h, v, data.data(), static_cast<uint32_t>(data.size()), i % 5 == 0, 1, 0);
    mp4file_add_raw_sample(h, a, data.data(), 50, 1, 1152, 0);
  }
  mp4file_close(h);
  return path;
}

struct MemoryFile {
  Bytes data;
  int64_t position = 0;
};

const mp4fileio_user_functions kMemoryFunctions = {
    [](void* c) { return static_cast<int64_t>(static_cast<MemoryFile*>(c)->data.size()); },
    [](void* c, int64_t p) {
      auto* m = static_cast<MemoryFile*>(c);
      if (p < 0 || p > static_cast<int64_t>(m->data.size())) return -1;
      m->position = p;
      return 0;
    },
    [](void* c, void* buffer, size_t n) {
      auto* m = static_cast<MemoryFile*>(c);
      size_t left = m->data.size() - static_cast<size_t>(m->position);
      size_t k = n < left ? n : left;
      std::memcpy(buffer, m->data.data() + m->position, k);
      m->position += static_cast<int64_t>(k);
      return k;
    },
    [](void* c) { return static_cast<MemoryFile*>(c)->position; },
};

std::string OpenError(const Bytes& bytes) {
  MemoryFile m{bytes};
  mp4file* h = mp4file_open_user(&kMemoryFunctions, &m);
  std::string e = mp4file_get_error(h) ? mp4file_get_error(h) : "";
  mp4file_close(h);
  return e;
}

void Rename(Bytes& f, const char* from, const char* to) {
  long at = FindType(f, from);
  ASSERT_GE(at, 0) << from;
  std::memcpy(&f[static_cast<size_t>(at) + 4], to, 4);
}

}  // namespace

TEST(FileIo, CountingModeMeasuresAndPatches) {
  mp4fileio io;
  ASSERT_EQ(mp4fileio_open(&io, nullptr, 1), 0);
  mp4_atom_writer w;
  const char* error = nullptr;
  mp4_atom_begin(&io, &w, mp4_fourcc("free"), 0, &error);
  mp4fileio_write32(&io, 7);
  mp4fileio_write64(&io, 7);
  EXPECT_EQ(mp4_atom_end(&w, 0, &error), 20u);
  EXPECT_EQ(error, nullptr);
  EXPECT_EQ(mp4fileio_length(&io), 20);
  EXPECT_EQ(mp4fileio_tell(&io), 20);
  mp4fileio_seek(&io, 4);
  EXPECT_EQ(io.error, nullptr);
  mp4fileio_seek(&io, 21);
  EXPECT_STREQ(io.error, "mp4fileio_seek() failed");
}

TEST(FileIo, ShortReadIsDetected) {
  TempDir dir;
  WriteFile(dir.file("short"), {1, 2, 3});
  mp4fileio io;
  ASSERT_EQ(mp4fileio_open(&io, dir.file("short").c_str(), 0), 0);
  EXPECT_EQ(mp4fileio_read32(&io), 0x01020300u);
  EXPECT_STREQ(io.error, "mp4fileio_read() failed");
  mp4fileio_close(&io);
  EXPECT_EQ(mp4fileio_open(&io, dir.file("missing").c_str(), 0), -1);
  EXPECT_STREQ(io.error, "mp4fileio_open() failed");
}

TEST(FileIo, HandlesKeepTheirOwnDispatch) {
  TempDir dir;
  std::string path = WriteSmallFile(dir);
  MemoryFile m{ReadFile(path)};
  // A file-based and a memory-based handle side by side: each reads through its own functions.
  mp4file* mem = mp4file_open_user(&kMemoryFunctions, &m);
  mp4file* file = mp4file_open(path.c_str());
  ASSERT_EQ(mp4file_get_error(mem), nullptr);
  ASSERT_EQ(mp4file_get_error(file), nullptr);
  uint64_t offset;
  mp4file_get_sample_offset(mem, 1, 2, &offset);
  m.data[offset] = 0xEE;  // only the memory copy changes
  Bytes a(200), b(200);
  EXPECT_EQ(mp4file_read_sample(mem, 1, 2, a.data(), 200), 102u);
  EXPECT_EQ(mp4file_read_sample(file, 1, 2, b.data(), 200), 102u);
  EXPECT_EQ(a[0], 0xEE);
  EXPECT_EQ(b[0], 2);
  mp4file_close(mem);
  mp4file_close(file);
}

TEST(Atoms, TopLevelSearch) {
  const Bytes moov = {0, 0, 0, 8, 'm', 'o', 'o', 'v'};
  const Bytes wide = {0, 0, 0, 1, 'w', 'i', 'd', 'e', 0, 0, 0, 0, 0, 0, 0, 20, 9, 9, 9, 9};
  const Bytes zero = {0, 0, 0, 0, 'f', 'r', 'e', 'e'};
  const Bytes tiny = {0, 0, 0, 3, 'f', 'r', 'e', 'e'};
  const struct { Bytes file; int found; int64_t offset; } cases[] = {
      {Cat({wide, moov}), 0, 20},  // a 64-bit size is stepped over
      {Cat({zero, moov}), 1, 0},   // size 0 ends the search
      {Cat({tiny, moov}), 1, 0},   // a size smaller than its header ends it too
      {Bytes{0, 0, 0, 8, 'f', 'r', 'e', 'e', 0, 0, 0, 8, 'm', 'o', 'o', 'v'}, 0, 8},
      {Bytes{0, 0, 0, 9, 'm', 'd', 'a', 't'}, 1, 0},
  };
  for (const auto& c : cases) {
    MemoryFile m{c.file};
    mp4fileio io;
    mp4fileio_open_user(&io, &kMemoryFunctions, &m);
    mp4_atom_header header;
    EXPECT_EQ(mp4_find_atom(&io, mp4_fourcc("moov"), &header), c.found);
    if (c.found == 0) {
      EXPECT_EQ(header.offset, c.offset);
    }
  }
}

TEST(Atoms, ChildrenAndDescriptors) {
  // A parent holding a uuid child, a normal child and a child claiming more than the parent has.
  Bytes parent = {0, 0, 0, 0, 'p', 'a', 'r', 't'};
  Bytes uuid = {0, 0, 0, 28, 'u', 'u', 'i', 'd'};
  uuid.resize(24, 0xAB);
  uuid.insert(uuid.end(), {1, 2, 3, 4});
  Bytes normal = {0, 0, 0, 12, 'a', 'b', 'c', 'd', 5, 6, 7, 8};
  Bytes overlong = {0, 0, 0, 99, 'l', 'o', 'n', 'g'};
  Bytes all = Cat({parent, uuid, normal, overlong});
  PutBe32(all, 0, static_cast<uint32_t>(all.size()));
  mp4_mem_atom p, c;
  ASSERT_EQ(mp4_mem_readheader(&p, all.data(), all.data() + all.size()), 0);
  p.cursor = p.payload;
  ASSERT_TRUE(mp4_mem_next_child(&p, &c));
  EXPECT_EQ(c.type, mp4_fourcc("uuid"));
  EXPECT_EQ(c.payload - c.data, 24);  // the user type is skipped
  c.cursor = c.payload;
  EXPECT_EQ(mp4_mem_read32(&c), 0x01020304u);
  EXPECT_EQ(mp4_mem_read8(&c), 0u);  // past the end: zero, no advance
  ASSERT_TRUE(mp4_mem_next_child(&p, &c));
  EXPECT_EQ(c.type, mp4_fourcc("abcd"));
  EXPECT_FALSE(mp4_mem_next_child(&p, &c));

  const Bytes descriptors = {0x03, 0x81, 0x00, 0xAA, 0x04, 0x80, 0x80, 0x80, 0x00, 0x05};
  Bytes atom = Cat({Bytes{0, 0, 0, 0, 'd', 'e', 's', 'c'}, descriptors});
  atom.resize(8 + 4 + 128 + 6, 0);  // room for the first descriptor's 128 payload bytes
  std::memcpy(&atom[8], descriptors.data(), descriptors.size());
  atom[8 + 3 + 128] = 0x04;
  atom[8 + 3 + 128 + 1] = 0x00;
  atom[8 + 3 + 128 + 2] = 0x05;
  atom[8 + 3 + 128 + 3] = 0x01;
  PutBe32(atom, 0, static_cast<uint32_t>(atom.size()));
  mp4_mem_atom d;
  mp4_mem_readheader(&d, atom.data(), atom.data() + atom.size());
  d.cursor = d.payload;
  uint32_t length;
  EXPECT_EQ(mp4_mem_next_descriptor(&d, &length, 0), 0x03);
  EXPECT_EQ(length, 128u);
  mp4_mem_skip(&d, 128);
  EXPECT_EQ(mp4_mem_next_descriptor(&d, &length, 0), 0x04);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(mp4_mem_next_descriptor(&d, &length, 0), 0x05);
  EXPECT_EQ(length, 1u);
}

TEST(Tree, WrittenLayout) {
  TempDir dir;
  Bytes f = ReadFile(WriteSmallFile(dir));
  // mdat first, its size patched; moov after it.
  EXPECT_EQ(std::string(f.begin() + 4, f.begin() + 8), "mdat");
  const uint32_t mdat = Be32(f, 0);
  EXPECT_EQ(std::string(f.begin() + mdat + 4, f.begin() + mdat + 8), "moov");
  EXPECT_EQ(mdat + Be32(f, mdat), f.size());
  // The order of atoms inside moov, first track.
  const char* order[] = {"mvhd", "iods", "trak", "tkhd", "mdia", "mdhd", "hdlr", "minf", "vmhd", "dinf", "dref",
                         "url ", "stbl", "stsd", "mp4v", "esds", "stsz", "stsc", "stts", "stss", "stco", "trak"};
  long at = mdat;
  for (const char* type : order) {
    long next = FindType(f, type, static_cast<size_t>(at));
    ASSERT_GT(next, at) << type;
    at = next;
  }
  // The audio track has no stss: all its samples are sync samples.
  long audio = FindType(f, "trak", static_cast<size_t>(FindType(f, "trak", mdat) + 8));
  EXPECT_EQ(FindType(f, "stss", static_cast<size_t>(audio)), -1);
  // Empty decoder configuration: tag 5 with a four-byte zero size; the ES descriptor is 37 bytes.
  long esds = FindType(f, "esds", static_cast<size_t>(audio));
  EXPECT_EQ(Be32(f, static_cast<size_t>(esds)), 12u + 37u);
  const Bytes dsi = {0x05, 0x80, 0x80, 0x80, 0x00, 0x06, 0x80, 0x80, 0x80, 0x01, 0x02};
  EXPECT_TRUE(std::equal(dsi.begin(), dsi.end(), f.begin() + esds + 12 + 37 - 11));
  EXPECT_EQ(f[static_cast<size_t>(esds) + 12 + 5 + 3 + 5], 0x6B);
  // hdlr carries the banner.
  EXPECT_NE(std::search(f.begin(), f.end(), kMp4Banner, kMp4Banner + std::strlen(kMp4Banner) + 1), f.end());
  // The language packs to 0x15C7 ("eng"); 0 reads back as "und".
  long mdhd = FindType(f, "mdhd", mdat);
  EXPECT_EQ((f[mdhd + 28] << 8) | f[mdhd + 29], 0x15C7);
  f[mdhd + 28] = f[mdhd + 29] = 0;
  MemoryFile m{f};
  mp4file* h = mp4file_open_user(&kMemoryFunctions, &m);
  EXPECT_STREQ(mp4file_find_track(h, 1)->language, "und");
  EXPECT_STREQ(mp4file_find_track(h, 2)->language, "eng");
  mp4file_close(h);
}

TEST(Tree, MissingChildren) {
  TempDir dir;
  const Bytes good = ReadFile(WriteSmallFile(dir));
  const struct { std::vector<std::pair<const char*, const char*>> renames; const char* error; } cases[] = {
      {{{"tkhd", "xxxx"}}, "mp4file_trak_read():  'tkhd' not present"},
      {{{"tkhd", "xxxx"}, {"mdia", "xxxx"}}, "mp4file_trak_read():  'mdia' not present"},
      {{{"hdlr", "xxxx"}}, "mp4file_mdia_read():  'hdlr' not present"},
      {{{"mdhd", "xxxx"}}, "mp4file_mdia_read():  'mdhd' not present"},
      {{{"dref", "xxxx"}}, "mp4file_dinf_read():  'dref' not present"},
      {{{"dinf", "xxxx"}}, "mp4file_minf_read():  'dinf' not present"},
      {{{"stts", "xxxx"}}, "mp4file_stbl_read():  'stts' not present"},
      {{{"stsd", "xxxx"}, {"stsz", "xxxx"}, {"stsc", "xxxx"}, {"stts", "xxxx"}, {"stss", "xxxx"}, {"stco", "xxxx"}},
       "mp4file_stbl_read():  'stco' not present"},
      {{{"esds", "xxxx"}}, "problem with mp4file_stsd_read()"},
      {{{"moov", "xxxx"}}, "mp4file_open():  could not find 'moov' atom"},
  };
  for (const auto& c : cases) {
    Bytes f = good;
    for (const auto& r : c.renames) Rename(f, r.first, r.second);
    if (std::string(c.error).find("moov") == std::string::npos) {
      // Both tracks lose the atom.
      for (const auto& r : c.renames) {
        long at = FindType(f, r.first);
        if (at >= 0) std::memcpy(&f[static_cast<size_t>(at) + 4], r.second, 4);
      }
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(OpenError(f), c.error);
    testing::internal::GetCapturedStdout();
  }
  Bytes no_trak = good;
  Rename(no_trak, "trak", "xxxx");
  Rename(no_trak, "trak", "xxxx");
  EXPECT_EQ(OpenError(no_trak), "mp4file_moov_read():  there are no 'trak's");
}

TEST(Tree, ReaderTrustsNothing) {
  TempDir dir;
  const Bytes good = ReadFile(WriteSmallFile(dir));
  const long moov = FindType(good, "moov");
  const long stts = FindType(good, "stts");
  const long stsz = FindType(good, "stsz");
  const long stco = FindType(good, "stco");
  const long stsc = FindType(good, "stsc");
  struct Case {
    const char* what;
    std::function<void(Bytes&)> edit;
    const char* error;
  };
  const Case cases[] = {
      {"moov larger than the file", [&](Bytes& f) { PutBe32(f, moov, 0x7FFFFFF0); }, "mp4_load_atom():  atom is larger than the file"},
      {"stts count beyond its atom", [&](Bytes& f) { PutBe32(f, stts + 12, 0x40000000); }, "mp4file_stts_read():  table larger than its atom"},
      {"stsz count beyond its atom", [&](Bytes& f) { PutBe32(f, stsz + 16, 0xFFFFFFFF); }, "mp4file_stsz_read():  table larger than its atom"},
      {"stco count beyond its atom", [&](Bytes& f) { PutBe32(f, stco + 12, 0x20000000); }, "mp4file_stco_read():  table larger than its atom"},
      {"chunk offset past the end", [&](Bytes& f) { PutBe32(f, stco + 16 + 4 * 9, 0xFFFFFF00); }, "mp4file_stbl_read():  sample data lies beyond the end of the file"},
      {"fewer chunks than samples", [&](Bytes& f) { PutBe32(f, stco + 12, 5); }, "mp4file_stbl_read():  chunk tables do not cover every sample"},
      {"stsc first chunk 0", [&](Bytes& f) { PutBe32(f, stsc + 16, 0); }, "mp4file_stbl_read():  malformed 'stsc' table"},
      {"stsc zero samples per chunk", [&](Bytes& f) { PutBe32(f, stsc + 20, 0); }, "mp4file_stbl_read():  malformed 'stsc' table"},
      // A constant sample size needs no table, so a few bytes could claim four billion samples
      // packed into one chunk: refused from the file's length, without walking them.
      {"constant-size samples beyond the file", [&](Bytes& f) {
         PutBe32(f, stsz + 12, 1);
         PutBe32(f, stsz + 16, 0xFFFFFFFF);
         PutBe32(f, stsc + 20, 0xFFFFFFFF);
       }, "mp4file_stbl_read():  sample data lies beyond the end of the file"},
  };
  for (const Case& c : cases) {
    Bytes f = good;
    c.edit(f);
    EXPECT_EQ(OpenError(f), c.error) << c.what;
  }
  // A moov-first file cut short inside its sample data.
  std::string fast = dir.file("fast.mp4");
  ASSERT_EQ(mp4file_make_faststart(dir.file("s.mp4").c_str(), fast.c_str()), nullptr);
  Bytes cut = ReadFile(fast);
  cut.resize(cut.size() - 30);
  EXPECT_EQ(OpenError(cut), "mp4file_stbl_read():  sample data lies beyond the end of the file");
  // A sample size above 50000000 reads as 0.
  Bytes f = good;
  PutBe32(f, stsz + 20, 60000000);
  MemoryFile m{f};
  mp4file* h = mp4file_open_user(&kMemoryFunctions, &m);
  ASSERT_EQ(mp4file_get_error(h), nullptr);
  EXPECT_EQ(mp4file_get_sample_size(h, 1, 0), 0);
  mp4file_close(h);
}

TEST(Tree, WritingRefusesWhatItCannotStore) {
  TempDir dir;
  Bytes f = ReadFile(WriteSmallFile(dir));
  const struct { const char* atom; const char* error; } cases[] = {
      {"mvhd", "mp4file_mvhd_write() : version != 0 not yet supported"},
      {"tkhd", "mp4file_tkhd_write() : version != 0 not yet supported"},
      {"mdhd", "mp4file_mdhd_write() : version != 0 not yet supported"},
  };
  for (const auto& c : cases) {
    Bytes g = f;
    g[static_cast<size_t>(FindType(g, c.atom)) + 8] = 1;  // version 1
    WriteFile(dir.file("v1.mp4"), g);
    const char* e = mp4file_make_faststart(dir.file("v1.mp4").c_str(), dir.file("out.mp4").c_str());
    EXPECT_STREQ(e, c.error);
  }
  // Decode-time and size tables that count different samples cannot both be written.
  Bytes m = f;
  PutBe32(m, static_cast<size_t>(FindType(m, "stts")) + 16, 9);
  WriteFile(dir.file("mismatch.mp4"), m);
  EXPECT_STREQ(mp4file_make_faststart(dir.file("mismatch.mp4").c_str(), dir.file("out.mp4").c_str()),
               "mp4file_stbl_write() : 'stts' and 'stsz' sample counts differ");
  Bytes g = f;
  PutBe32(g, static_cast<size_t>(FindType(g, "stsd")) + 12, 2);
  WriteFile(dir.file("two.mp4"), g);
  testing::internal::CaptureStdout();
  EXPECT_STREQ(mp4file_make_faststart(dir.file("two.mp4").c_str(), dir.file("out.mp4").c_str()),
               "problem with mp4file_stsd_read()");
  testing::internal::GetCapturedStdout();
}

TEST(FastStart, MovesMoovToTheFrontKeepingEverySample) {
  TempDir dir;
  std::string in = WriteSmallFile(dir);
  std::string out = dir.file("fast.mp4");
  testing::internal::CaptureStdout();
  EXPECT_EQ(mp4file_make_faststart(in.c_str(), out.c_str()), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("adjusting offsets"), std::string::npos);
  Bytes f = ReadFile(out);
  EXPECT_EQ(std::string(f.begin() + 4, f.begin() + 8), "moov");
  EXPECT_EQ(f.size(), ReadFile(in).size());
  mp4file* a = mp4file_open(in.c_str());
  mp4file* b = mp4file_open(out.c_str());
  ASSERT_EQ(mp4file_get_error(b), nullptr);
  for (int track = 1; track <= 2; ++track) {
    ASSERT_EQ(mp4file_get_sample_count(a, track), mp4file_get_sample_count(b, track));
    for (uint32_t i = 0; i < mp4file_get_sample_count(a, track); ++i) {
      Bytes x(256), y(256);
      ASSERT_GT(mp4file_read_sample(a, track, i, x.data(), 256), 0u);
      ASSERT_GT(mp4file_read_sample(b, track, i, y.data(), 256), 0u);
      EXPECT_EQ(x, y);
    }
  }
  mp4file_close(a);
  mp4file_close(b);
  // Again on the fast-start file: already in front, nothing moves.
  std::string again = dir.file("again.mp4");
  EXPECT_EQ(mp4file_make_faststart(out.c_str(), again.c_str()), nullptr);
  EXPECT_EQ(ReadFile(again), f);
}

TEST(FastStart, AdjustsWhenTheNewMoovHasAnotherSize) {
  // A moov-first file whose moov carries an atom the rewrite drops: the data moves up.
  TempDir dir;
  std::string in = WriteSmallFile(dir);
  std::string first = dir.file("first.mp4");
  EXPECT_EQ(mp4file_make_faststart(in.c_str(), first.c_str()), nullptr);
  Bytes f = ReadFile(first);
  const Bytes extra = {0, 0, 0, 16, 'u', 'd', 't', 'a', 0, 0, 0, 8, 'f', 'r', 'e', 'e'};
  const uint32_t moov_size = Be32(f, 0);
  f.insert(f.begin() + moov_size, extra.begin(), extra.end());
  PutBe32(f, 0, moov_size + 16);
  // Point the offsets at the moved data, as the file's writer would have, then rewrite it.
  long stco = -1;
  while ((stco = FindType(f, "stco", static_cast<size_t>(stco + 1))) >= 0 && static_cast<uint32_t>(stco) < moov_size + 16) {
    for (uint32_t k = 0; k < Be32(f, stco + 12); ++k) PutBe32(f, stco + 16 + 4 * k, Be32(f, stco + 16 + 4 * k) + 16);
    stco += 8;
  }
  WriteFile(dir.file("padded.mp4"), f);
  std::string out = dir.file("out.mp4");
  EXPECT_EQ(mp4file_make_faststart(dir.file("padded.mp4").c_str(), out.c_str()), nullptr);
  mp4file* a = mp4file_open(in.c_str());
  mp4file* b = mp4file_open(out.c_str());
  ASSERT_EQ(mp4file_get_error(b), nullptr);
  Bytes x(256), y(256);
  for (uint32_t i = 0; i < 10; ++i) {
    mp4file_read_sample(a, 1, i, x.data(), 256);
    mp4file_read_sample(b, 1, i, y.data(), 256);
    EXPECT_EQ(x, y) << i;
  }
  mp4file_close(a);
  mp4file_close(b);
}

TEST(FastStart, Failures) {
  TempDir dir;
  WriteFile(dir.file("nomoov.mp4"), {0, 0, 0, 8, 'm', 'd', 'a', 't'});
  EXPECT_STREQ(mp4file_make_faststart(dir.file("nomoov.mp4").c_str(), dir.file("o.mp4").c_str()),
               "mp4file_make_faststart():  could not find 'moov' atom");
  EXPECT_STREQ(mp4file_make_faststart(dir.file("missing.mp4").c_str(), dir.file("o.mp4").c_str()),
               "mp4fileio_open() failed");
  Bytes f = ReadFile(WriteSmallFile(dir));
  std::memcpy(&f[4], "junk", 4);
  WriteFile(dir.file("nomdat.mp4"), f);
  EXPECT_STREQ(mp4file_make_faststart(dir.file("nomdat.mp4").c_str(), dir.file("o.mp4").c_str()),
               "mp4file_make_faststart():  could not find 'mdat' atom");
}

TEST(Finish, ReservedRoomTakesTheMoov) {
  TempDir dir;
  // Measure the moov with a counting pass, then reserve exactly that much.
  mp4file* counting = mp4file_create(nullptr, 600, 0);
  int v = mp4file_add_track(counting, 0x20, 25, "eng");
  Bytes data(100, 1);
  for (int i = 0; i < 5; ++i) mp4file_add_raw_sample(counting, v, data.data(), 100, 1, 1, 0);
  const uint64_t size = mp4file_finish(counting, 0);
  mp4file_close(counting);
  for (int64_t extra : {0, 20}) {
    std::string path = dir.file("r.mp4");
    mp4file* h = mp4file_create(path.c_str(), 600, static_cast<int64_t>(size) + extra);
    mp4file_add_track(h, 0x20, 25, "eng");
    for (int i = 0; i < 5; ++i) mp4file_add_raw_sample(h, v, data.data(), 100, 1, 1, 0);
    mp4file_close(h);
    Bytes f = ReadFile(path);
    EXPECT_EQ(Be32(f, 0), size);
    EXPECT_EQ(std::string(f.begin() + 4, f.begin() + 8), "moov");
    if (extra) {
      EXPECT_EQ(std::string(f.begin() + size + 4, f.begin() + size + 8), "free");
    }
    mp4file* r = mp4file_open(path.c_str());
    ASSERT_EQ(mp4file_get_error(r), nullptr);
    Bytes back(100);
    EXPECT_EQ(mp4file_read_sample(r, 1, 4, back.data(), 100), 100u);
    EXPECT_EQ(back, data);
    mp4file_close(r);
  }
  // Too little room: the moov goes to the end instead of over the samples.
  std::string path = dir.file("small.mp4");
  mp4file* h = mp4file_create(path.c_str(), 600, 16);
  mp4file_add_track(h, 0x20, 25, "eng");
  for (int i = 0; i < 5; ++i) mp4file_add_raw_sample(h, 1, data.data(), 100, 1, 1, 0);
  mp4file_finish(h, 1);
  EXPECT_STREQ(mp4file_get_error(h), "mp4file_finish() : reserved space is smaller than the 'moov' atom");
  mp4file_close(h);
  mp4file* r = mp4file_open(path.c_str());
  EXPECT_EQ(mp4file_get_error(r), nullptr);
  EXPECT_EQ(mp4file_get_sample_count(r, 1), 5u);
  mp4file_close(r);
}

TEST(Dump, PrintsTheTree) {
  TempDir dir;
  mp4file* h = mp4file_open(WriteSmallFile(dir).c_str());
  testing::internal::CaptureStdout();
  mp4file_dump(h);
  std::string out = testing::internal::GetCapturedStdout();
  mp4file_close(h);
  for (const char* line : {"'moov' atom:\n", "   'mvhd' atom:\n", " there are 2 traks:\n",
                           "handler-type = 'vide' \"Tessaly file handler  Version 0.24, 8 May 2002\"\n",
                           "objectTypeIndication=0x20  Visual ISO/IEC 14496-2\n",
                           "streamType          =0x05  AudioStream\n", "language  = 'eng'\n",
                           "decoder specific info: none\n", "  1: entry-size  100\n", "  ...\n",
                           "  10: entry-size  109\n", "not present\n", "entry  6\n", "  entry 1: same file\n"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(out.find("6: entry-size"), std::string::npos);  // elided
}
