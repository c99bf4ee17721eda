// aviqpak: encodes raw video into AVI files with the QPAK codec driver, decodes them back and
// describes them. Every frame goes through the driver's DriverProc, loaded as a module.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/vfw/avi_file.h"
#include "platform/vfw/driver_host.h"

namespace {

constexpr FOURCC kQpak = MakeFourCC('Q', 'P', 'A', 'K');
constexpr const char* kSettingsKey = "Software\\Mirabe\\aviqpak";
constexpr const char* kSettingsValue = "ICM_SETING";

const char kUsage[] =
    "usage: aviqpak encode --size WxH --pix-fmt bgr24|bgra [options] IN.raw OUT.avi\n"
    "       aviqpak decode [--pix-fmt bgr24|bgra|uyvy|yuy2] IN.avi OUT.raw\n"
    "       aviqpak info IN.avi\n"
    "       aviqpak config [--yuv-enable on|off] [--invert-yuv on|off] [--multi-thread on|off]\n"
    "                      [--rgb32-disable on|off]\n"
    "\n"
    "encode reads raw video as `ffmpeg -f rawvideo -pix_fmt bgr24` (or bgra) writes it, top row\n"
    "first, and writes an AVI file whose video stream is coded with QPAK. Options:\n"
    "  --mode rgb|yuv111|yuv422|yuv411|yuv211|yuv420   layout of 24-bit pictures (default rgb)\n"
    "  --split          code every frame in two bands (on two threads with multi-thread on)\n"
    "  --null-frames    write an empty frame for a picture equal to the previous one\n"
    "  --no-compress    store the bands uncompressed\n"
    "  --fps N[/D]      frame rate written to the file (default 25)\n"
    "decode writes the frames back in the same raw layout, top row first; uyvy and yuy2 need a\n"
    "YUV-mode stream and the driver's YUV output enabled (aviqpak config --yuv-enable on).\n"
    "info prints the video stream's format and frame statistics.\n"
    "config shows or changes the driver's settings (kept in the registry store).\n"
    "Every command takes --driver PATH (default: $AVIQPAK_DRIVER, else libaviqpak.so in the lib\n"
    "folder beside this program).\n";

struct Error {
  std::string message;
};

[[noreturn]] void Fail(const std::string& message) { throw Error{message}; }

std::string DefaultDriver() {
  if (const char* env = std::getenv("AVIQPAK_DRIVER"); env && *env) return env;
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (n <= 0) return "libaviqpak.so";
  std::string path(self, static_cast<size_t>(n));
  path = path.substr(0, path.find_last_of('/'));
  return path + "/../lib/libaviqpak.so";
}

struct Args {
  std::vector<std::string> positional;
  std::string size, pixFmt, mode = "rgb", fps = "25", driver;
  bool split = false, nullFrames = false, noCompress = false;
  std::vector<std::pair<std::string, std::string>> config;
};

Args Parse(int argc, char** argv, int first) {
  Args a;
  for (int i = first; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Fail("option " + arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--size") a.size = value();
    else if (arg == "--pix-fmt") a.pixFmt = value();
    else if (arg == "--mode") a.mode = value();
    else if (arg == "--fps") a.fps = value();
    else if (arg == "--driver") a.driver = value();
    else if (arg == "--split") a.split = true;
    else if (arg == "--null-frames") a.nullFrames = true;
    else if (arg == "--no-compress") a.noCompress = true;
    else if (arg == "--yuv-enable" || arg == "--invert-yuv" || arg == "--multi-thread" || arg == "--rgb32-disable")
      a.config.emplace_back(arg, value());
    else if (arg.size() > 1 && arg[0] == '-' && arg != "-") Fail("unknown option " + arg);
    else a.positional.push_back(arg);
  }
  if (a.driver.empty()) a.driver = DefaultDriver();
  return a;
}

struct Driver {
  std::unique_ptr<vfw::DriverModule> module;
  std::unique_ptr<vfw::DriverInstance> inst;
  explicit Driver(const std::string& path, DWORD mode) {
    std::string error;
    module = vfw::DriverModule::Load(path, &error);
    if (!module) Fail(error);
    inst = module->Open(ICTYPE_VIDEO, kQpak, mode);
    if (!inst) Fail("the driver refused to open an instance");
  }
  ~Driver() { inst.reset(); }
};

struct Format {
  alignas(8) uint8_t bytes[48 + 1024] = {};
  BITMAPINFOHEADER* h() { return reinterpret_cast<BITMAPINFOHEADER*>(bytes); }
};

// Prints progress at most twice a second once a job runs longer than a second.
class Progress {
 public:
  explicit Progress(const char* verb) : verb_(verb), start_(Clock::now()), last_(start_) {}
  void Frame(size_t frames, uint64_t bytes) {
    const auto now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(500)) return;
    last_ = now;
    shown_ = true;
    std::fprintf(stderr, "\raviqpak: %s %zu frames, %.1f MB/s", verb_, frames, Rate(bytes, now));
    std::fflush(stderr);
  }
  void Done(size_t frames, uint64_t bytes) {
    if (shown_) std::fprintf(stderr, "\raviqpak: %s %zu frames, %.1f MB/s\n", verb_, frames, Rate(bytes, Clock::now()));
  }

 private:
  using Clock = std::chrono::steady_clock;
  double Rate(uint64_t bytes, Clock::time_point now) const {
    const double s = std::chrono::duration<double>(now - start_).count();
    return s > 0 ? bytes / s / 1e6 : 0.0;
  }
  const char* verb_;
  Clock::time_point start_, last_;
  bool shown_ = false;
};

int ModeNumber(const std::string& name) {
  const char* names[] = {"yuv111", "yuv422", "rgb", "yuv411", "yuv211", "yuv420"};
  for (int i = 0; i < 6; ++i)
    if (name == names[i]) return i;
  Fail("unknown mode " + name + " (rgb, yuv111, yuv422, yuv411, yuv211, yuv420)");
}

const char* ModeName(int mode) {
  const char* names[] = {"YUV 1:1:1", "YUV 4:2:2", "RGB 24", "YUV 4:1:1", "YUV 2:1:1", "YUV 4:2:0"};
  return mode >= 0 && mode < 6 ? names[mode] : "unknown";
}

void ParseSize(const std::string& text, int32_t* w, int32_t* h) {
  unsigned long a = 0, b = 0;
  char x = 0, extra = 0;
  if (std::sscanf(text.c_str(), "%lu%c%lu%c", &a, &x, &b, &extra) != 3 || x != 'x' || a == 0 || b == 0 || a > 32768 ||
      b > 32768)
    Fail("bad --size " + text + " (WxH, up to 32768x32768)");
  *w = static_cast<int32_t>(a);
  *h = static_cast<int32_t>(b);
}

void ParseFps(const std::string& text, DWORD* rate, DWORD* scale) {
  unsigned long n = 0, d = 1;
  char slash = 0, extra = 0;
  int got = std::sscanf(text.c_str(), "%lu%c%lu%c", &n, &slash, &d, &extra);
  if (!((got == 1) || (got == 3 && slash == '/')) || n == 0 || d == 0 || n > 0xFFFFFFFFul || d > 0xFFFFFFFFul)
    Fail("bad --fps " + text);
  *rate = static_cast<DWORD>(n);
  *scale = static_cast<DWORD>(d);
}

FILE* OpenIn(const std::string& path) {
  if (path == "-") return stdin;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) Fail("cannot open " + path + ": " + std::strerror(errno));
  return f;
}

FILE* OpenOut(const std::string& path) {
  if (path == "-") return stdout;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) Fail("cannot create " + path + ": " + std::strerror(errno));
  return f;
}

int Encode(const Args& a) {
  if (a.positional.size() != 2) Fail("encode needs IN.raw and OUT.avi");
  int32_t width = 0, height = 0;
  if (a.size.empty()) Fail("encode needs --size WxH");
  ParseSize(a.size, &width, &height);
  int bits = 0;
  if (a.pixFmt == "bgr24") bits = 24;
  else if (a.pixFmt == "bgra") bits = 32;
  else Fail("encode needs --pix-fmt bgr24 or bgra");
  const int mode = ModeNumber(a.mode);
  if (mode != 2 && bits != 24) Fail("YUV modes need bgr24 input");
  DWORD rate = 25, scale = 1;
  ParseFps(a.fps, &rate, &scale);

  Driver driver(a.driver, ICMODE_COMPRESS);
  const uint8_t state[8] = {'Q', 'P', 'A', 'K', static_cast<uint8_t>(mode), static_cast<uint8_t>(a.noCompress ? 1 : 0),
                            static_cast<uint8_t>((a.split ? 1 : 0) | (a.nullFrames ? 2 : 0)), 1};
  if (driver.inst->SetState(state, 8) != 8) Fail("the driver refused the coding options");
  Format in;
  BITMAPINFOHEADER* ih = in.h();
  InitPictureHeader(ih, width, height, bits);
  const size_t stride = DibStride(width, bits);
  Format out;
  if (driver.inst->CompressGetFormat(ih, out.h()) != ICERR_OK)
    Fail("the driver refuses " + a.pixFmt + " pictures of " + a.size);
  const size_t formatSize = sizeof(BITMAPINFOHEADER) + 8;
  const LRESULT capacity = driver.inst->CompressGetSize(ih, out.h());
  if (capacity <= 0) Fail("the driver reports no frame size");
  if (driver.inst->CompressBegin(ih, out.h()) != ICERR_OK) Fail("the driver cannot start compressing");

  FILE* src = OpenIn(a.positional[0]);
  vfw::AviWriter writer;
  if (!writer.Open(a.positional[1])) Fail(writer.error());
  vfw::AVISTREAMHEADER sh{};
  sh.fccType = vfw::streamtypeVIDEO;
  sh.fccHandler = kQpak;
  sh.dwScale = scale;
  sh.dwRate = rate;
  sh.dwQuality = 0xFFFFFFFFu;
  sh.rcFrame = {0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height)};
  const size_t rowBytes = static_cast<size_t>(width) * (bits / 8);
  std::vector<uint8_t> raw(rowBytes * static_cast<size_t>(height)), dib(ih->biSizeImage, 0),
      coded(static_cast<size_t>(capacity));
  int stream = -1;
  size_t frames = 0, nulls = 0;
  uint64_t codedBytes = 0;
  Progress progress("encoded");
  for (;;) {
    const size_t got = std::fread(raw.data(), 1, raw.size(), src);
    if (got == 0) break;
    if (got != raw.size()) Fail("input ends inside a frame (" + std::to_string(got) + " bytes of " +
                                std::to_string(raw.size()) + ")");
    for (int32_t r = 0; r < height; ++r)  // DIB rows run bottom-up
      std::memcpy(&dib[static_cast<size_t>(height - 1 - r) * stride], &raw[static_cast<size_t>(r) * rowBytes], rowBytes);
    DWORD ckid = 0, flags = 0;
    ICCOMPRESS c{};
    c.dwFlags = frames == 0 ? ICCOMPRESS_KEYFRAME : 0;
    c.lpbiOutput = out.h();
    c.lpOutput = coded.data();
    c.lpbiInput = ih;
    c.lpInput = dib.data();
    c.lpckid = &ckid;
    c.lpdwFlags = &flags;
    c.lFrameNum = static_cast<LONG>(frames);
    if (LRESULT rc = driver.inst->Compress(&c); rc != ICERR_OK) Fail("the driver failed on frame " + std::to_string(frames) + " (" + std::to_string(rc) + ")");
    const size_t length = out.h()->biSizeImage;
    if (length > coded.size()) Fail("the driver wrote more than it reported");
    if (stream < 0) {
      Format strf = out;
      strf.h()->biSizeImage = 0;
      stream = writer.AddStream(sh, strf.bytes, formatSize);
    }
    if (!writer.WriteSample(stream, coded.data(), length, flags, static_cast<WORD>(ckid & 0xFFFF)))
      Fail(writer.error());
    ++frames;
    nulls += length == 0;
    codedBytes += length;
    progress.Frame(frames, frames * raw.size());
  }
  progress.Done(frames, frames * raw.size());
  if (src != stdin) std::fclose(src);
  driver.inst->CompressEnd();
  if (stream < 0) {
    Format strf = out;
    strf.h()->biSizeImage = 0;
    writer.AddStream(sh, strf.bytes, formatSize);
  }
  if (!writer.Close()) Fail(writer.error());
  std::fprintf(stderr, "aviqpak: %zu frames (%zu null), %llu bytes coded from %llu (%.2f:1)\n", frames, nulls,
               static_cast<unsigned long long>(codedBytes), static_cast<unsigned long long>(frames * raw.size()),
               codedBytes ? static_cast<double>(frames * raw.size()) / codedBytes : 0.0);
  return 0;
}

struct Video {
  vfw::AviReader reader;
  size_t stream = 0;
  Format format;
};

void OpenVideo(const std::string& path, Video* v) {
  if (!v->reader.Open(path)) Fail(path + ": " + v->reader.error());
  for (size_t s = 0; s < v->reader.streamCount(); ++s) {
    const vfw::AviStream& st = v->reader.stream(s);
    if (st.header.fccType != vfw::streamtypeVIDEO || st.format.size() < 48) continue;
    BITMAPINFOHEADER h;
    std::memcpy(&h, st.format.data(), sizeof(h));
    if (h.biCompression != kQpak) continue;
    v->stream = s;
    std::memcpy(v->format.bytes, st.format.data(), std::min(st.format.size(), sizeof(v->format.bytes)));
    return;
  }
  Fail(path + ": no QPAK video stream");
}

int Decode(const Args& a) {
  if (a.positional.size() != 2) Fail("decode needs IN.avi and OUT.raw");
  Video v;
  OpenVideo(a.positional[0], &v);
  BITMAPINFOHEADER* ih = v.format.h();
  if (ih->biBitCount != 24 && ih->biBitCount != 32) Fail("only 24- and 32-bit streams can be written as raw video");
  std::string pixFmt = a.pixFmt.empty() ? (ih->biBitCount == 24 ? "bgr24" : "bgra") : a.pixFmt;
  Format out;
  BITMAPINFOHEADER* oh = out.h();
  oh->biSize = 40;
  oh->biWidth = ih->biWidth;
  oh->biPlanes = 1;
  const bool packed = pixFmt == "uyvy" || pixFmt == "yuy2";
  const int32_t rows = std::abs(ih->biHeight);
  if (packed) {
    oh->biBitCount = 16;
    oh->biCompression = pixFmt == "uyvy" ? FOURCC_UYVY : FOURCC_YUY2;
    oh->biHeight = -rows;  // rows come out top row first
  } else if ((pixFmt == "bgr24" && ih->biBitCount == 24) || (pixFmt == "bgra" && ih->biBitCount == 32)) {
    oh->biBitCount = ih->biBitCount;
    oh->biCompression = BI_RGB;
    oh->biHeight = ih->biHeight;
  } else {
    Fail("cannot decode this " + std::to_string(ih->biBitCount) + "-bit stream to " + pixFmt);
  }
  const size_t stride = DibStride(oh->biWidth, oh->biBitCount);
  oh->biSizeImage = static_cast<DWORD>(stride * static_cast<size_t>(rows));

  Driver driver(a.driver, ICMODE_DECOMPRESS);
  if (LRESULT rc = driver.inst->DecompressQuery(ih, oh); rc != ICERR_OK) {
    if (packed) Fail("the driver does not decode this stream to " + pixFmt +
                     " (needs a YUV-mode stream and `aviqpak config --yuv-enable on`)");
    Fail("the driver refuses this stream (" + std::to_string(rc) + ")");
  }
  if (driver.inst->DecompressBegin(ih, oh) != ICERR_OK) Fail("the driver cannot start decompressing");
  FILE* dst = OpenOut(a.positional[1]);
  const size_t rowBytes = packed ? static_cast<size_t>(oh->biWidth) * 2 : static_cast<size_t>(oh->biWidth) * (oh->biBitCount / 8);
  std::vector<uint8_t> picture(oh->biSizeImage, 0), sample, raw(rowBytes * static_cast<size_t>(rows));
  const bool flip = !packed && ih->biHeight > 0;  // bottom-up DIB rows
  const size_t count = v.reader.stream(v.stream).samples.size();
  Progress progress("decoded");
  for (size_t i = 0; i < count; ++i) {
    if (!v.reader.ReadSample(v.stream, i, &sample)) Fail(v.reader.error());
    ih->biSizeImage = static_cast<DWORD>(sample.size());
    ICDECOMPRESS d{};
    d.lpbiInput = ih;
    d.lpInput = sample.data();
    d.lpbiOutput = oh;
    d.lpOutput = picture.data();
    if (LRESULT rc = driver.inst->Decompress(&d); rc != ICERR_OK)
      Fail("frame " + std::to_string(i) + " does not decode (" + std::to_string(rc) + ")");
    for (int32_t r = 0; r < rows; ++r)
      std::memcpy(&raw[static_cast<size_t>(r) * rowBytes],
                  &picture[static_cast<size_t>(flip ? rows - 1 - r : r) * stride], rowBytes);
    if (std::fwrite(raw.data(), 1, raw.size(), dst) != raw.size()) Fail("cannot write " + a.positional[1]);
    progress.Frame(i + 1, (i + 1) * raw.size());
  }
  progress.Done(count, count * raw.size());
  driver.inst->DecompressEnd();
  if (dst != stdout && std::fclose(dst) != 0) Fail("cannot write " + a.positional[1]);
  return 0;
}

std::string FourCCText(DWORD f) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    char c = static_cast<char>((f >> (8 * i)) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '.';
  }
  return s;
}

int Info(const Args& a) {
  if (a.positional.size() != 1) Fail("info needs IN.avi");
  Video v;
  OpenVideo(a.positional[0], &v);
  const vfw::AviStream& st = v.reader.stream(v.stream);
  const BITMAPINFOHEADER* h = v.format.h();
  const uint8_t* extra = v.format.bytes + 44;
  size_t keys = 0, nulls = 0;
  uint64_t bytes = 0;
  for (const vfw::AviSample& s : st.samples) {
    keys += (s.flags & AVIIF_KEYFRAME) != 0;
    nulls += s.size == 0;
    bytes += s.size;
  }
  const uint64_t raw = uint64_t{DibStride(h->biWidth, h->biBitCount)} * static_cast<uint64_t>(std::abs(h->biHeight)) *
                       st.samples.size();
  std::printf("file:           %s\n", a.positional[0].c_str());
  std::printf("streams:        %zu (video stream %zu)\n", v.reader.streamCount(), v.stream);
  std::printf("codec:          %s\n", FourCCText(h->biCompression).c_str());
  std::printf("picture:        %d x %d, %d bits\n", h->biWidth, h->biHeight, h->biBitCount);
  std::printf("frame rate:     %u/%u\n", st.header.dwRate, st.header.dwScale);
  std::printf("colour mode:    %d (%s)\n", extra[0], h->biBitCount == 24 ? ModeName(extra[0]) : "RGB rows as they are");
  std::printf("no compress:    %s\n", extra[1] ? "yes" : "no");
  std::printf("bands:          %s\n", (extra[2] & 1) ? "two (split)" : "one");
  std::printf("null frames:    %s\n", (extra[2] & 2) ? "enabled" : "disabled");
  std::printf("frames:         %zu (%zu key, %zu null)\n", st.samples.size(), keys, nulls);
  std::printf("coded bytes:    %llu of %llu raw (%.2f:1)\n", static_cast<unsigned long long>(bytes),
              static_cast<unsigned long long>(raw), bytes ? static_cast<double>(raw) / bytes : 0.0);
  return 0;
}

int Config(const Args& a) {
  if (!a.positional.empty()) Fail("config takes only options");
  HKEY key = nullptr;
  DWORD disposition = 0;
  char keyClass[] = "aviqpak";
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, keyClass, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) !=
      ERROR_SUCCESS)
    Fail("cannot open the registry store " + hostreg::StorePath());
  DWORD bits = 0, size = sizeof(bits), type = 0;
  RegQueryValueExA(key, kSettingsValue, nullptr, &type, reinterpret_cast<BYTE*>(&bits), &size);
  struct Bit {
    const char* option;
    DWORD bit;
    const char* label;
  };
  const Bit table[] = {{"--yuv-enable", 1, "YUV Enable"},
                       {"--invert-yuv", 2, "Invert Height(YUV)"},
                       {"--multi-thread", 4, "Multi Thread Enable"},
                       {"--rgb32-disable", 8, "RGB(32Bit) Disable"}};
  for (const auto& [option, value] : a.config) {
    if (value != "on" && value != "off") {
      RegCloseKey(key);
      Fail(option + " takes on or off");
    }
    for (const Bit& b : table)
      if (option == b.option) bits = value == "on" ? (bits | b.bit) : (bits & ~b.bit);
  }
  if (!a.config.empty() &&
      RegSetValueExA(key, kSettingsValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&bits), sizeof(bits)) != ERROR_SUCCESS) {
    RegCloseKey(key);
    Fail("cannot write the registry store");
  }
  RegCloseKey(key);
  for (const Bit& b : table) std::printf("%-20s %s\n", b.label, (bits & b.bit) ? "on" : "off");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  try {
    for (int i = 2; i < argc; ++i)
      if (std::strcmp(argv[i], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
      }
    const Args a = Parse(argc, argv, 2);
    if (command == "encode") return Encode(a);
    if (command == "decode") return Decode(a);
    if (command == "info") return Info(a);
    if (command == "config") return Config(a);
    Fail("unknown command " + command + " (try aviqpak --help)");
  } catch (const Error& e) {
    std::fprintf(stderr, "aviqpak: %s\n", e.message.c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "aviqpak: %s\n", e.what());
    return 1;
  }
}
