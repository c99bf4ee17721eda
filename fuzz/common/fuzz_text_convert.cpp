// Text conversions in every mode, both ways, over hostile bytes and UTF-16 units, with the
// round trips that must hold.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/text_convert.h"
#include "platform/sys/codepage.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string narrow;
  for (size_t i = 0; i < size; ++i)
    if (data[i]) narrow.push_back(static_cast<char>(data[i]));
  std::u16string wide;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const char16_t u = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (u) wide.push_back(u);
  }
  static const int kModes[] = {0, -1, -2, 1252, 1257, 437};
  for (int mode : kModes) {
    bool flag = false;
    SharedWString w = ToWide(narrow.c_str(), mode, &flag);
    SharedString n = ToNarrow(wide.c_str(), mode, &flag);
    const bool singleByte = mode == 1252 || mode == 1257 || (mode == 0 && HasBuiltinCodePage(GetACP()));
    if (singleByte) {
      // Single-byte pages: every byte comes back.
      Check(std::string(ToNarrow(w, mode).c_str()) == narrow);
      Check(w.Length() == static_cast<int>(narrow.size()));
    }
    if (mode == -1) Check(std::u16string(ToWide(n, -1).c_str()) == wide);
    if (mode == -2) {
      bool error = true;
      Check(std::u16string(Utf8ToUtf16(n.c_str(), &error).c_str()) == wide);
      Check(!error);
    }
    if (mode == 437) Check(w.IsEmpty() && n.IsEmpty());
  }
  return 0;
}
