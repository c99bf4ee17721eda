// Registry files are outside data: any bytes must parse or be refused without harm, and whatever
// parses must survive a write and a re-read unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  hostreg::Store store, again;
  size_t bad = 0;
  if (!hostreg::Parse(text, store, bad)) return 0;
  std::string out = hostreg::Serialise(store);
  if (!hostreg::Parse(out, again, bad) || hostreg::Serialise(again) != out) std::abort();
  return 0;
}
