// Any bytes as an MP4 file opened through the handler: loading refuses it or gives streams whose
// information, formats and frames can all be read without reading outside what they report.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "avifile/mp4_file.h"

namespace {

void ReadStream(IAVIStream* s) {
  AVISTREAMINFOW info;
  s->Info(&info, sizeof info);
  LONG size = 0;
  if (s->ReadFormat(0, nullptr, &size) == S_OK && size >= 0 && size < (1 << 20)) {
    std::vector<uint8_t> format(static_cast<size_t>(size) + 1);
    s->ReadFormat(0, format.data(), &size);
  }
  LONG position = 0;
  for (int i = 0; i < 64 && position < LONG(info.dwLength); ++i) {
    LONG bytes = 0, samples = 0;
    if (s->Read(position, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes, &samples) != S_OK || samples <= 0) break;
    if (bytes < 0 || bytes > (64 << 20)) std::abort();
    std::vector<uint8_t> out(static_cast<size_t>(bytes));
    LONG got = 0, got_samples = 0;
    if (s->Read(position, AVISTREAMREAD_CONVENIENT, out.data(), bytes, &got, &got_samples) == S_OK && got > bytes)
      std::abort();
    s->FindSample(position, FIND_KEY | FIND_PREV);
    s->FindSample(position, FIND_KEY | FIND_NEXT);
    position += samples;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fd = memfd_create("handler_fuzz", 0);
  if (fd < 0) return 0;
  if (size && write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  std::u16string wide(path.begin(), path.end());
  IAVIFile* file = CreateMP4File();
  IPersistFile* persist = nullptr;
  file->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
  if (persist->Load(wide.c_str(), 0) == S_OK) {
    for (LONG i = 0; i < 2; ++i) {
      IAVIStream* s = nullptr;
      if (file->GetStream(&s, 0, i) == S_OK && s) {
        ReadStream(s);
        s->Release();
      }
    }
  }
  persist->Release();
  file->Release();
  close(fd);
  return 0;
}
