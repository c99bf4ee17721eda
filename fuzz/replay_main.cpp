// Runs a fuzz target without libFuzzer: every file of the given corpus folders (or files) once,
// then a fixed number of deterministic mutations of them, so that the sanitizer build exercises
// each parser on hostile input as part of the ordinary test run. A real fuzzing campaign uses the
// libFuzzer build (MC_FUZZ=ON with clang).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Bytes = std::vector<uint8_t>;

void Run(const Bytes& input) {
  // A private copy, sized exactly, so that any read past the end is caught.
  uint8_t* copy = static_cast<uint8_t*>(std::malloc(input.empty() ? 1 : input.size()));
  if (!input.empty()) std::memcpy(copy, input.data(), input.size());
  LLVMFuzzerTestOneInput(copy, input.size());
  std::free(copy);
}

Bytes Mutate(const std::vector<Bytes>& seeds, std::mt19937& rng) {
  Bytes out = seeds.empty() ? Bytes{} : seeds[rng() % seeds.size()];
  const int steps = 1 + static_cast<int>(rng() % 8);
  for (int s = 0; s < steps; ++s) {
    switch (rng() % 7) {
      case 0:  // flip a bit
        if (!out.empty()) out[rng() % out.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
      case 1:  // set a byte to an interesting value
        if (!out.empty()) {
          static const uint8_t kValues[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0x0D, 0x0A, '{', '<', '&'};
          out[rng() % out.size()] = kValues[rng() % sizeof(kValues)];
        }
        break;
      case 2:  // truncate
        if (!out.empty()) out.resize(rng() % out.size());
        break;
      case 3: {  // insert random bytes
        size_t at = out.empty() ? 0 : rng() % (out.size() + 1);
        size_t n = 1 + rng() % 16;
        Bytes ins(n);
        for (auto& b : ins) b = static_cast<uint8_t>(rng());
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), ins.begin(), ins.end());
        break;
      }
      case 4: {  // overwrite four bytes with a big or small 32-bit number (sizes, counts, offsets)
        if (out.size() >= 4) {
          static const uint32_t kWords[] = {0, 1, 7, 8, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF8};
          uint32_t w = kWords[rng() % 8];
          size_t at = rng() % (out.size() - 3);
          std::memcpy(&out[at], &w, 4);
        }
        break;
      }
      case 5: {  // duplicate a slice
        if (out.size() > 1) {
          size_t a = rng() % out.size(), n = 1 + rng() % (out.size() - a);
          Bytes slice(out.begin() + static_cast<std::ptrdiff_t>(a), out.begin() + static_cast<std::ptrdiff_t>(a + n));
          out.insert(out.begin() + static_cast<std::ptrdiff_t>(rng() % out.size()), slice.begin(), slice.end());
        }
        break;
      }
      default: {  // splice with another seed
        if (!seeds.empty()) {
          const Bytes& other = seeds[rng() % seeds.size()];
          size_t cut = out.empty() ? 0 : rng() % out.size();
          size_t from = other.empty() ? 0 : rng() % other.size();
          out.resize(cut);
          out.insert(out.end(), other.begin() + static_cast<std::ptrdiff_t>(from), other.end());
        }
        break;
      }
    }
  }
  if (out.size() > (1u << 20)) out.resize(1u << 20);
  return out;
}

Bytes ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  long iterations = 0;
  std::vector<Bytes> seeds;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--iterations") == 0 && i + 1 < argc) {
      iterations = std::strtol(argv[++i], nullptr, 10);
      continue;
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      std::printf("usage: %s [--iterations N] [CORPUS_DIR_OR_FILE...]\n", argv[0]);
      return 0;
    }
    std::filesystem::path p(argv[i]);
    if (std::filesystem::is_directory(p)) {
      std::vector<std::filesystem::path> files;
      for (auto& e : std::filesystem::directory_iterator(p))
        if (e.is_regular_file()) files.push_back(e.path());
      std::sort(files.begin(), files.end());
      for (auto& f : files) seeds.push_back(ReadFile(f));
    } else if (std::filesystem::is_regular_file(p)) {
      seeds.push_back(ReadFile(p));
    }
  }
  Run(Bytes{});
  for (const Bytes& s : seeds) Run(s);
  std::mt19937 rng(12345);
  for (long i = 0; i < iterations; ++i) Run(Mutate(seeds, rng));
  std::printf("%zu seeds and %ld mutations ran clean\n", seeds.size(), iterations);
  return 0;
}
