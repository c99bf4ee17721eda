// Search paths come from the settings and movie paths from the graph: any bytes must combine
// into a folder that ends in the separator (or nothing) without reading outside the texts.
// Input: base, a zero byte, then the element; or, after a second zero byte, a search path and
// a movie path for discovery (which only lists folders that exist).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "subtitles/subtitle_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string all(reinterpret_cast<const char*>(data), size);
  size_t zero = all.find('\0');
  std::string base = all.substr(0, zero);
  std::string element = zero == std::string::npos ? std::string() : all.substr(zero + 1);
  size_t second = element.find('\0');
  if (second != std::string::npos) {
    std::string movie = element.substr(second + 1);
    element.resize(second);
    StringList list;
    FindSubtitleFiles(list, element.c_str(), movie.c_str());
  }
  SharedString folder = CombinePath(base.c_str(), element.c_str());
  if (!folder.IsEmpty() && folder[folder.Length() - 1] != '/') std::abort();
  if (folder.Find("/../") >= 0 || folder.Find("/./") >= 0) std::abort();
  return 0;
}
