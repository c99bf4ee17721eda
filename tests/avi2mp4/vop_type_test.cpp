// The analysis of one AVI video chunk: which picture kind it holds, with the layer header found
// wherever the configuration puts it and B-VOPs found anywhere in the chunk.
#include <gtest/gtest.h>

#include "avi2mp4/avi2mp4.h"
#include "tests/mp4/test_util.h"

using namespace mp4test;

namespace {

const uint32_t kRes = 30;

Bytes VisualObjectSequence() {
  return {0, 0, 1, 0xB0, 0x01, 0, 0, 1, 0xB5, 0x09};  // profile 1; visual object, no identifier
}
Bytes UserData(const char* text) {
  Bytes b = {0, 0, 1, 0xB2};
  for (const char* p = text; *p; ++p) b.push_back(uint8_t(*p));
  return b;
}

struct ChunkCase {
  const char* name;
  std::vector<Bytes> chunks;  // analysed in order; the last one's answer is checked
  char expected;
};
void PrintTo(const ChunkCase& c, std::ostream* os) { *os << c.name; }

class VopCodingType : public testing::TestWithParam<ChunkCase> {};

TEST_P(VopCodingType, OfTheLastChunk) {
  avi2mp4_reset_layer();
  char type = 0;
  for (const Bytes& chunk : GetParam().chunks) type = avi2mp4_vop_coding_type(chunk.data(), unsigned(chunk.size()));
  EXPECT_EQ(type, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, VopCodingType,
    testing::Values(
        ChunkCase{"layer_then_i", {Cat({Config(kRes), Vop('I', 0, 0, kRes)})}, 'I'},
        // What ffmpeg and other encoders write first: a sequence header and user data first.
        ChunkCase{"sequence_header_and_user_data",
                  {Cat({VisualObjectSequence(), VoHeader(), UserData("Lavc59"), VolHeader(kRes, 160, 120),
                        Vop('I', 0, 0, kRes)})},
                  'I'},
        ChunkCase{"p_uses_earlier_layer", {Cat({Config(kRes), Vop('I', 0, 0, kRes)}), Vop('P', 0, 1, kRes)}, 'P'},
        // A packed chunk: the B-VOP behind the P-VOP counts.
        ChunkCase{"packed_p_then_b",
                  {Cat({Config(kRes), Vop('I', 0, 0, kRes)}), Cat({Vop('P', 0, 3, kRes), Vop('B', 0, 1, kRes)})},
                  'B'},
        ChunkCase{"group_header_keeps_layer",
                  {Cat({Config(kRes), Vop('I', 0, 0, kRes)}), Cat({Gov(1), Vop('I', 0, 2, kRes)})}, 'I'},
        ChunkCase{"vop_without_any_layer", {Vop('P', 0, 1, kRes)}, 'e'},
        ChunkCase{"no_vop", {Bytes{1, 2, 3, 4, 5, 6}}, 'e'},
        ChunkCase{"broken_layer", {Cat({VoHeader(), Bytes{0, 0, 1, 0x20, 0xFF}, Vop('I', 0, 0, kRes)})}, 'e'},
        ChunkCase{"truncated_vop", {Cat({Config(kRes), Bytes{0, 0, 1, 0xB6}})}, 'e'}),
    [](const testing::TestParamInfo<ChunkCase>& i) { return std::string(i.param.name); });

TEST(FindVop, FirstStartCodeFromOffset) {
  const Bytes data = Cat({Config(kRes), Vop('I', 0, 0, kRes), Vop('P', 0, 1, kRes)});
  long long first = avi2mp4_find_vop(data.data(), unsigned(data.size()), 0);
  EXPECT_EQ(first, static_cast<long long>(Config(kRes).size()));
  long long second = avi2mp4_find_vop(data.data(), unsigned(data.size()), unsigned(first + 4));
  EXPECT_EQ(second, first + static_cast<long long>(Vop('I', 0, 0, kRes).size()));
  EXPECT_EQ(avi2mp4_find_vop(data.data(), unsigned(data.size()), unsigned(second + 1)), -1);
  const Bytes edge = {0, 0, 1, 0xB6};
  EXPECT_EQ(avi2mp4_find_vop(edge.data(), 4, 0), 0);
  EXPECT_EQ(avi2mp4_find_vop(edge.data(), 3, 0), -1);
}

}  // namespace
