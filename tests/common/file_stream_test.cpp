#include "common/file_stream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("file_stream_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& bytes, const char* name = "f.txt") {
    std::string path = (dir_ / name).string();
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  }
  std::filesystem::path dir_;
};

// Lines as the buffer form delivers them (with a buffer of `size` bytes) and the string form.
std::vector<std::string> BufferLines(ByteStream& s, int size) {
  std::vector<std::string> lines;
  std::vector<char> buffer(static_cast<size_t>(size));
  for (int guard = 0; guard < 1000; ++guard) {
    int rc = s.ReadLine(buffer.data(), size);
    if (rc == 1 && s.AtEnd()) break;
    lines.push_back(buffer.data());
    EXPECT_EQ(rc, buffer[0] == 0 ? 1 : 0);
  }
  return lines;
}

std::vector<std::string> StringLines(ByteStream& s) {
  std::vector<std::string> lines;
  SharedString line("stale");
  for (int guard = 0; guard < 1000; ++guard) {
    int rc = s.ReadLine(line);
    if (rc == 1 && s.AtEnd()) break;
    lines.push_back(line.c_str());
    EXPECT_EQ(rc, line.IsEmpty() ? 1 : 0);
  }
  return lines;
}

using Lines = std::vector<std::string>;

struct LineCase {
  std::string bytes;
  const char* mode;
  Lines lines;
};

const LineCase kLineCases[] = {
    {"a\rb", "rb", {"a\r", "b"}},             // a carriage return alone ends the line
    {"\n", "rb", {"\n"}},                     // a line feed alone is a line, not an empty one
    {"one\r\ntwo\n", "rb", {"one\r\n", "two\n"}},
    {"one\r\ntwo\n", "rt", {"one\n", "two\n"}},  // text mode reads CR LF as LF
    {"one\r\ntwo\n", "r", {"one\n", "two\n"}},
    {"a\r\rb", "rt", {"a\r", "\r", "b"}},
    {"a\r\r\nb", "rt", {"a\r\n", "b"}},
    {"x\ry\r", "rt", {"x\r", "y\r"}},
    {std::string("ab\0cd", 5), "rb", {"ab", "cd"}},           // a zero byte ends the line and is dropped
    {std::string("\0\0x", 3), "rb", {"", "", "x"}},
    {"no end", "rt", {"no end"}},
    {"", "rt", {}},
};

TEST_F(FileStreamTest, ReadLineOverFilesInBothForms) {
  for (const LineCase& c : kLineCases) {
    std::string path = Write(c.bytes);
    FileStream f;
    ASSERT_EQ(f.Open(path.c_str(), c.mode), 0);
    EXPECT_EQ(BufferLines(f, 64), c.lines) << "buffer form, mode " << c.mode;
    ASSERT_EQ(f.Open(path.c_str(), c.mode), 0);  // reopening closes the first
    EXPECT_EQ(StringLines(f), c.lines) << "string form, mode " << c.mode;
  }
}

TEST_F(FileStreamTest, ReadLineOverMemoryInBothForms) {
  for (const LineCase& c : kLineCases) {
    if (std::string(c.mode) != "rb") continue;  // memory streams are binary
    MemoryStream m(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(BufferLines(m, 64), c.lines);
    MemoryStream m2(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(StringLines(m2), c.lines);
  }
}

TEST_F(FileStreamTest, LongLinesArriveInPieces) {
  std::string path = Write("abcdefghij\r\nk");
  FileStream f;
  ASSERT_EQ(f.Open(path.c_str(), "rt"), 0);
  EXPECT_EQ(BufferLines(f, 5), (Lines{"abcd", "efgh", "ij\n", "k"}));
  // A piece that ends right after a carriage return: the next piece starts with the line feed.
  MemoryStream m("abc\r\nd", 6);
  EXPECT_EQ(BufferLines(m, 5), (Lines{"abc\r", "\n", "d"}));
  MemoryStream none(nullptr, 0);
  char eight[8];
  EXPECT_EQ(none.ReadLine(eight, 8), 1);
  EXPECT_NE(none.AtEnd(), 0);
  EXPECT_EQ(none.Seek(LONG_MAX, SEEK_CUR), -1);
  EXPECT_EQ(none.Seek(LONG_MIN, SEEK_END), -1);
  EXPECT_EQ(none.Seek(0, 7), -1);
  MemoryStream tiny("xy", 2);
  char one[1] = {'z'};
  EXPECT_EQ(tiny.ReadLine(one, 1), 1);  // room for the terminator only
  EXPECT_EQ(one[0], 0);
  EXPECT_EQ(tiny.ReadLine(nullptr, 10), 1);
  EXPECT_EQ(tiny.ReadLine(one, 0), 1);

  // The string form grows, and caps at kMaxLineLength.
  std::string big(ByteStream::kMaxLineLength + 10, 'q');
  big += "\n";
  MemoryStream m2(big.data(), big.size());
  SharedString line;
  EXPECT_EQ(m2.ReadLine(line), 0);
  EXPECT_EQ(line.Length(), ByteStream::kMaxLineLength);
  EXPECT_EQ(m2.ReadLine(line), 0);
  EXPECT_EQ(std::string(line.c_str()), std::string(10, 'q') + "\n");
}

TEST_F(FileStreamTest, OpenRefusals) {
  FileStream f;
  EXPECT_EQ(f.Open(nullptr, "rt"), -1);
  EXPECT_EQ(f.Open("", "rt"), -1);
  std::string longPath = (dir_ / std::string(260, 'x')).string();
  EXPECT_EQ(f.Open(longPath.c_str(), "wt"), -1);
  std::string exact = "/" + std::string(kMaxPathLength - 1, 'y');
  EXPECT_EQ(f.Open(exact.c_str(), "rt"), 1);  // long but allowed: just missing
  EXPECT_EQ(f.Open((dir_ / "missing").c_str(), "rt"), 1);
  EXPECT_EQ(f.Open(dir_.c_str(), "rt"), 1);  // a folder is not a file
  EXPECT_EQ(f.Open("/dev/zero", "rb"), 1);   // nor is a device
  std::string path = Write("x");
  EXPECT_EQ(f.Open(path.c_str(), "q"), 1);
  EXPECT_EQ(f.Open(path.c_str(), nullptr), 1);
  EXPECT_FALSE(f.IsOpen());
  // A closed stream reads nothing and reports the end.
  char b[4];
  EXPECT_EQ(f.Read(b, 1, 4), 0u);
  EXPECT_EQ(f.Seek(0, SEEK_SET), -1);
  EXPECT_EQ(f.Tell(), -1);
  EXPECT_NE(f.AtEnd(), 0);
  uint8_t byte;
  EXPECT_EQ(f.ReadByte(&byte), -1);
}

TEST_F(FileStreamTest, SharingModes) {
  std::string path = Write("keep me");
  FileStream reader1, reader2, writer;
  ASSERT_EQ(reader1.Open(path.c_str(), "rt"), 0);
  EXPECT_EQ(reader2.Open(path.c_str(), "rb"), 0);  // readers deny only writers
  EXPECT_EQ(writer.Open(path.c_str(), "wt"), 1);   // refused while read
  reader1.Close();
  reader2.Close();
  FILE* check = std::fopen(path.c_str(), "rb");
  char text[16] = {};
  std::fread(text, 1, sizeof(text) - 1, check);
  std::fclose(check);
  EXPECT_STREQ(text, "keep me");  // the refused open did not truncate
  ASSERT_EQ(writer.Open(path.c_str(), "wt"), 0);
  EXPECT_EQ(reader1.Open(path.c_str(), "rt"), 1);  // a writer denies readers too
  EXPECT_EQ(writer.Write("new\n", 1, 4), 4u);
  writer.Close();
  ASSERT_EQ(reader1.Open(path.c_str(), "rt"), 0);
  EXPECT_EQ(StringLines(reader1), (Lines{"new\n"}));
}

TEST_F(FileStreamTest, ReadSeekTellInTextAndBinaryMode) {
  std::string path = Write("ab\r\ncd\r\n");
  FileStream f;
  ASSERT_EQ(f.Open(path.c_str(), "rt"), 0);
  char buf[16] = {};
  EXPECT_EQ(f.Read(buf, 1, 16), 6u);
  EXPECT_STREQ(buf, "ab\ncd\n");
  EXPECT_NE(f.AtEnd(), 0);
  EXPECT_EQ(f.Tell(), 8);  // positions are file offsets
  ASSERT_EQ(f.Seek(2, SEEK_SET), 0);
  EXPECT_EQ(f.Read(buf, 2, 1), 1u);  // the pair reads as one byte, so one 2-byte item needs "\nc"
  EXPECT_EQ(std::string(buf, 2), "\nc");
  ASSERT_EQ(f.Open(path.c_str(), "rb"), 0);
  EXPECT_EQ(f.Read(buf, 4, 3), 2u);
  EXPECT_EQ(std::string(buf, 8), "ab\r\ncd\r\n");
  EXPECT_EQ(f.Seek(-100, SEEK_SET), -1);
}

}  // namespace
