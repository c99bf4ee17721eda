// Any bytes as an AVI file: the reader either refuses them or yields samples inside the file.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/vfw/avi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vfw::AviReader reader;
  if (!reader.OpenMemory(data, size)) return 0;
  std::vector<uint8_t> sample;
  for (size_t s = 0; s < reader.streamCount(); ++s) {
    const size_t n = reader.stream(s).samples.size();
    for (size_t i = 0; i < n && i < 64; ++i) {
      if (!reader.ReadSample(s, i, &sample)) std::abort();
    }
  }
  return 0;
}
