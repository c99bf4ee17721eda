// avicopy: copies the video and audio streams of one AVI-like file into another, each opened
// through the handler registered for its extension (.mp4 through the MP4 handler, .avi plain).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "handler_registration.h"
#include "platform/vfw/avifile.h"
#include "progress_bar.h"

namespace {

const char kHelp[] =
    "usage: avicopy IN OUT\n"
    "\n"
    "Copies every video and audio stream of IN into OUT: the stream formats, then the samples in\n"
    "time order with their key-frame flags. Each file is opened through the handler registered\n"
    "for its extension, so `avicopy movie.mp4 movie.avi` exports an MP4 file as an AVI file and\n"
    "`avicopy movie.avi movie.mp4` writes an MP4 file. On first use the MP4 handler is registered\n"
    "in the registry store (module: $LANTREL_MODULE, else liblantrel.so in the lib folder beside\n"
    "this program). Progress is drawn on standard error. Exit status 0 on success, 1 on failure.\n";

constexpr DWORD kVideo = MakeFourCC('v', 'i', 'd', 's');
constexpr DWORD kAudio = MakeFourCC('a', 'u', 'd', 's');

struct Copy {
  PAVISTREAM in = nullptr;
  PAVISTREAM out = nullptr;
  AVISTREAMINFOW info = {};
  LONG position = 0;
  LONG end = 0;
  bool done = false;
  double Time() const { return info.dwRate ? double(position) * info.dwScale / info.dwRate : 0; }
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "avicopy: %s\n", message.c_str());
  return 1;
}

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

int Run(const char* input, const char* output) {
  std::string error;
  if (!EnsureMp4Handler(&error)) return Fail(error);
  PAVIFILE in = nullptr, out = nullptr;
  HRESULT hr = AVIFileOpenA(&in, input, OF_READ, nullptr);
  if (FAILED(hr)) return Fail(std::string("cannot open ") + input + " (" + Hex(hr) + ")");
  std::vector<Copy> copies;
  for (LONG i = 0; i < 16; ++i) {
    Copy c;
    if (FAILED(in->GetStream(&c.in, 0, i)) || !c.in) break;
    c.in->Info(&c.info, sizeof c.info);
    if (c.info.fccType != kVideo && c.info.fccType != kAudio) {
      c.in->Release();
      continue;
    }
    c.position = LONG(c.info.dwStart);
    c.end = LONG(c.info.dwStart + c.info.dwLength);
    copies.push_back(c);
  }
  if (copies.empty()) {
    in->Release();
    return Fail(std::string(input) + " has no video or audio stream");
  }
  hr = AVIFileOpenA(&out, output, OF_WRITE | OF_CREATE, nullptr);
  if (FAILED(hr)) {
    for (Copy& c : copies) c.in->Release();
    in->Release();
    return Fail(std::string("cannot create ") + output + " (" + Hex(hr) + ")");
  }
  int result = 0;
  for (Copy& c : copies) {
    LONG size = 0;
    std::vector<uint8_t> format;
    if (FAILED(c.in->ReadFormat(c.position, nullptr, &size)) || size < 0 || size > (1 << 20)) {
      result = Fail("cannot read a stream format");
      break;
    }
    format.resize(size_t(size));
    c.in->ReadFormat(c.position, format.data(), &size);
    if (FAILED(out->CreateStream(&c.out, &c.info)) || !c.out ||
        FAILED(c.out->SetFormat(0, format.data(), LONG(format.size())))) {
      result = Fail("cannot create a stream in " + std::string(output));
      break;
    }
  }
  int64_t total = 0;
  for (const Copy& c : copies) total += c.end - c.position;
  volatile int progress = 0;
  if (result == 0) {
    ProgressBar bar(&progress);
    std::vector<uint8_t> buffer;
    int64_t copied = 0;
    for (;;) {
      // The stream that is furthest behind in time goes next, so the output is interleaved.
      Copy* next = nullptr;
      for (Copy& c : copies)
        if (!c.done && (!next || c.Time() < next->Time())) next = &c;
      if (!next) break;
      Copy& c = *next;
      if (c.position >= c.end) {
        c.done = true;
        continue;
      }
      LONG bytes = 0, samples = 0;
      hr = c.in->Read(c.position, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes, &samples);
      if (FAILED(hr) || samples <= 0 || bytes < 0) {
        c.done = true;  // nothing more can be read from this stream
        continue;
      }
      buffer.resize(size_t(bytes) + 1);
      hr = c.in->Read(c.position, AVISTREAMREAD_CONVENIENT, buffer.data(), bytes, &bytes, &samples);
      if (FAILED(hr)) {
        result = Fail("read failed in " + std::string(input) + " (" + Hex(hr) + ")");
        break;
      }
      DWORD flags = 0;
      if (c.info.fccType == kVideo && c.in->FindSample(c.position, FIND_KEY | FIND_PREV) == c.position)
        flags = AVIIF_KEYFRAME;
      LONG written = 0, written_bytes = 0;
      hr = c.out->Write(c.position, samples, buffer.data(), bytes, flags, &written, &written_bytes);
      if (FAILED(hr)) {
        result = Fail("write failed in " + std::string(output) + " (" + Hex(hr) + ")");
        break;
      }
      c.position += samples;
      copied += samples;
      progress = total ? int(copied * 100 / total) : 100;
    }
  }
  for (Copy& c : copies) {
    SafeRelease(c.in);
    SafeRelease(c.out);
  }
  in->Release();
  out->Release();  // the last release finishes the output file
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc != 3) {
    std::fputs("usage: avicopy IN OUT (avicopy --help for more)\n", stderr);
    return 1;
  }
  return Run(argv[1], argv[2]);
}
