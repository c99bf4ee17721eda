// The markup converter and its helpers over hostile markup: every tag also goes through
// IsTag and GetAttribute, and the reference decoder sees the raw text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/entity_table.h"
#include "common/markup_converter.h"

namespace {

class Probing : public MarkupConverter {
 public:
  int HandleTag(const char* tag) override {
    if (IsTag(tag, "font") || IsTag(tag, "/p")) output += "|";
    SharedString a = GetAttribute(tag, "begin");
    SharedString b = GetAttribute(tag, "color");
    if (a.Length() + b.Length() > 0) output += "*";
    return MarkupConverter::HandleTag(tag);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // stops at a zero byte in use
  MarkupConverter plain;
  plain.Feed(text.c_str());
  SharedString result = plain.GetText();
  const int n = result.Length();
  if (n > 0 && (static_cast<unsigned char>(result.c_str()[0]) <= 0x20 ||
                static_cast<unsigned char>(result.c_str()[n - 1]) <= 0x20))
    std::abort();  // GetText trims both ends
  Probing probing;
  probing.Feed(text.c_str());
  probing.GetText();
  bool error = false;
  DecodeEntities(text.c_str(), &error);
  return 0;
}
