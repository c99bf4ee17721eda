// QPAK speed. Two uses:
//   qpak_bench --table WIDTH HEIGHT NAME=FILE...   codes the raw BGR24 frames of each file through
//       the driver (whole frames, then split frames on two threads) and prints one line per
//       variant: "NAME VARIANT ENCODE_MBPS DECODE_MBPS RATIO [GAIN]" (MB/s of raw input, best
//       of several passes; processor time for whole frames, wall time for split frames, whose
//       line ends with the encode speed-up over whole frames, both in wall time).
//       bench/codec/run.sh puts these beside the peers.
//   qpak_bench [benchmark flags]   times the coder and every match kernel on a synthetic band.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "codec/codec_state.h"
#include "codec/driver.h"
#include "codec/qpak.h"
#include "platform/vfw/driver_host.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

struct Format {
  alignas(8) uint8_t bytes[48 + 1024] = {};
  BITMAPINFOHEADER* h() { return reinterpret_cast<BITMAPINFOHEADER*>(bytes); }
};

struct Result {
  double encode = 0, decode = 0, ratio = 0;
};

// Seconds of processor time used by this process, or of wall time: one-thread work is timed by
// the processor so that other programs on the machine disturb it less; two-thread work needs
// the wall clock to show its gain.
double Now(bool wall) {
  if (wall) return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Codes every frame (bottom-up DIB rows as the raw rows come, which does not change the work).
Result Measure(vfw::DriverInstance* inst, uint8_t flags, int width, int height, const Bytes& raw, bool wall) {
  const uint8_t state[8] = {'Q', 'P', 'A', 'K', 2, 0, flags, 1};
  inst->SetState(state, 8);
  Format in;
  InitPictureHeader(in.h(), width, height, 24);
  const size_t frame = static_cast<size_t>(width) * height * 3;
  const size_t frames = raw.size() / frame;
  Format out;
  inst->CompressGetFormat(in.h(), out.h());
  const size_t capacity = static_cast<size_t>(inst->CompressGetSize(in.h(), out.h()));
  std::vector<Bytes> coded(frames, Bytes(capacity));
  std::vector<size_t> lengths(frames);
  Result r;
  double bestEncode = 1e9, bestDecode = 1e9;
  inst->CompressBegin(in.h(), out.h());
  for (int pass = 0; pass < 5; ++pass) {
    const double t0 = Now(wall);
    for (size_t f = 0; f < frames; ++f) {
      DWORD ckid, fl;
      ICCOMPRESS c{};
      c.lpbiOutput = out.h();
      c.lpOutput = coded[f].data();
      c.lpbiInput = in.h();
      c.lpInput = const_cast<uint8_t*>(raw.data() + f * frame);
      c.lpckid = &ckid;
      c.lpdwFlags = &fl;
      inst->Compress(&c);
      lengths[f] = out.h()->biSizeImage;
    }
    bestEncode = std::min(bestEncode, Now(wall) - t0);
  }
  inst->CompressEnd();
  Format rgb = in;
  Bytes picture(frame);
  inst->DecompressBegin(out.h(), rgb.h());
  for (int pass = 0; pass < 5; ++pass) {
    const double t0 = Now(wall);
    for (size_t f = 0; f < frames; ++f) {
      out.h()->biSizeImage = static_cast<DWORD>(lengths[f]);
      ICDECOMPRESS d{};
      d.lpbiInput = out.h();
      d.lpInput = coded[f].data();
      d.lpbiOutput = rgb.h();
      d.lpOutput = picture.data();
      if (inst->Decompress(&d) != ICERR_OK ||
          (pass == 0 && std::memcmp(picture.data(), raw.data() + f * frame, frame) != 0)) {
        std::fprintf(stderr, "qpak_bench: frame %zu does not decode to its picture\n", f);
        std::exit(1);
      }
    }
    bestDecode = std::min(bestDecode, Now(wall) - t0);
  }
  inst->DecompressEnd();
  size_t total = 0;
  for (size_t l : lengths) total += l;
  r.encode = frames * frame / bestEncode / 1e6;
  r.decode = frames * frame / bestDecode / 1e6;
  r.ratio = static_cast<double>(frames * frame) / total;
  return r;
}

int Table(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: qpak_bench --table WIDTH HEIGHT NAME=FILE...\n");
    return 1;
  }
  const int width = std::atoi(argv[2]), height = std::atoi(argv[3]);
  std::string error;
  auto module = vfw::DriverModule::FromProc(DriverProc, &error);
  if (!module) {
    std::fprintf(stderr, "qpak_bench: %s\n", error.c_str());
    return 1;
  }
  auto inst = module->Open(ICTYPE_VIDEO, aviqpak::kFourCC, ICMODE_COMPRESS);
  for (int i = 4; i < argc; ++i) {
    std::string arg = argv[i];
    const size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq), path = arg.substr(eq + 1);
    std::ifstream f(path, std::ios::binary);
    Bytes raw((std::istreambuf_iterator<char>(f)), {});
    if (raw.size() < static_cast<size_t>(width) * height * 3) {
      std::fprintf(stderr, "qpak_bench: %s holds no whole frame\n", path.c_str());
      return 1;
    }
    aviqpak::SetSettings(0);
    Result whole = Measure(inst.get(), 0, width, height, raw, false);
    std::printf("%s qpak-whole %.1f %.1f %.3f\n", name.c_str(), whole.encode, whole.decode, whole.ratio);
    // The gain of the second thread, both sides in wall time, measured back to back.
    Result wholeWall = Measure(inst.get(), 0, width, height, raw, true);
    aviqpak::SetSettings(aviqpak::kMultiThreadEnable);
    Result split = Measure(inst.get(), aviqpak::kOptionSplit, width, height, raw, true);
    std::printf("%s qpak-split2 %.1f %.1f %.3f %.2f\n", name.c_str(), split.encode, split.decode, split.ratio,
                split.encode / wholeWall.encode);
    std::fflush(stdout);
  }
  return 0;
}

// A picture-like band: flat runs, gradients and noise.
Bytes SyntheticBand(size_t size) {
  std::mt19937 rng(1);
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) {
    const size_t zone = (i / 6000) % 3;
    b[i] = zone == 0 ? static_cast<uint8_t>(i % 3 * 60) : zone == 1 ? static_cast<uint8_t>(i / 30) : static_cast<uint8_t>(rng());
  }
  return b;
}

void BM_Compress(benchmark::State& state) {
  const size_t kernel = static_cast<size_t>(state.range(0));
  size_t count = 0;
  const qpak::Kernel* kernels = qpak::Kernels(&count);
  if (kernel >= count) {
    state.SkipWithError("kernel not supported here");
    return;
  }
  const size_t saved = qpak::SelectedKernel();
  qpak::SelectKernel(kernel);
  state.SetLabel(kernels[kernel].name);
  Bytes src = SyntheticBand(720 * 576 * 3);
  Bytes dst(src.size());
  qpak::Scratch scratch;
  size_t length = 0;
  for (auto _ : state) {
    qpak::Compress(src.data(), src.size(), dst.data(), dst.size(), &length, &scratch);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * src.size()));
  qpak::SelectKernel(saved);
}
BENCHMARK(BM_Compress)->DenseRange(0, 3);

void BM_CompressPlainSearch(benchmark::State& state) {
  Bytes src = SyntheticBand(64 * 1024);
  Bytes dst(src.size() * 2);
  size_t length = 0;
  for (auto _ : state) qpak::CompressReference(src.data(), src.size(), dst.data(), dst.size(), &length);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * src.size()));
}
BENCHMARK(BM_CompressPlainSearch);

void BM_Decompress(benchmark::State& state) {
  Bytes src = SyntheticBand(720 * 576 * 3);
  Bytes coded(src.size() * 2), out(src.size());
  qpak::Scratch scratch;
  size_t length = 0;
  qpak::Compress(src.data(), src.size(), coded.data(), coded.size(), &length, &scratch);
  for (auto _ : state) benchmark::DoNotOptimize(qpak::Decompress(coded.data(), length, out.data(), out.size()).written);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * src.size()));
}
BENCHMARK(BM_Decompress);

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--table") == 0) return Table(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
