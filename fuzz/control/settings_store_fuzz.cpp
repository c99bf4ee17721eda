// The settings key may hold anything another program wrote there. Each input stores a few
// values (name chosen by a byte, any type, any bytes) and loads the record: every field must end
// up inside its range and every text terminated inside its field.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "control/filter_settings.h"
#include "platform/registry/registry.h"

namespace {
const char* const kNames[] = {
    "LoadMode", "SysTrayIcon", "bOverscan", "Overscan", "bFill", "Fill", "bFillH", "FillH", "bFill2", "TV",
    "Flip", "bDouble", "Double", "YShift", "FPSConv", "Economic", "Overlay", "AspectComp", "AspectComp2",
    "SubPath", "SubLang", "SubDelay", "SubSpeed", "SubFont", "SubColor", "SubTransparent", "SubXPos",
    "SubYPos", "SubDeadZone", "OSDVideoTime", "OSDWorldTime", "OSDFont", "OSDColor", "OSDTransparent",
    "OSDXPos", "OSDYPos", "OSDDeadZone"};
constexpr int kNameCount = sizeof kNames / sizeof kNames[0];

void Check(bool ok) {
  if (!ok) std::abort();
}
bool In(LONG v, LONG lo, LONG hi) { return v >= lo && v <= hi; }
bool Terminated(const char* field, size_t size) { return std::memchr(field, 0, size) != nullptr; }

void CheckFont(const FontSettings& f) {
  Check(In(f.Color, 0, 0xFFFFFF) && In(f.Transparent, 0, 1) && In(f.XPos, 0, 100) && In(f.YPos, 0, 100) &&
        In(f.DeadZone, 0, 30));
  Check(Terminated(f.font.lfFaceName, LF_FACESIZE));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Memory-backed when possible: every stored value is a synced file transaction. The name is
  // kept in a plain array so that the exit handler can still read it.
  static char store[128];
  if (!store[0]) {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::snprintf(store, sizeof store, "%s/settings-store-fuzz-%d.reg", dir, static_cast<int>(getpid()));
    setenv("HOSTREG_PATH", store, 1);
    std::atexit([] {
      std::remove(store);
      std::string lock = std::string(store) + ".lock";
      std::remove(lock.c_str());
    });
  }
  std::remove(store);
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brenn\\Orvanta", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return 0;
  // Records: name byte, type byte, length byte, then that many bytes.
  size_t i = 0;
  for (int n = 0; n < 8 && i + 3 <= size; ++n) {
    const char* name = kNames[data[i] % kNameCount];
    DWORD type = data[i + 1] % 5;
    size_t length = std::min<size_t>(data[i + 2], size - i - 3);
    RegSetValueExA(key, name, 0, type, data + i + 3, static_cast<DWORD>(length));
    i += 3 + length;
  }
  RegCloseKey(key);
  FilterSettings s;
  Check(In(s.LoadMode, 0, 3) && In(s.SysTrayIcon, 0, 1) && In(s.Overscan, 0, 30) && In(s.Fill, 50, 100) &&
        In(s.FillH, 50, 100) && In(s.TV, 0, 1) && In(s.Flip, 0, 3) && In(s.Double, 0, 9999) &&
        In(s.FPSConv, 0, 4) && In(s.AspectComp, 0, 3));
  Check(Terminated(s.AspectComp2, sizeof s.AspectComp2) && Terminated(s.subtitle.SubPath, sizeof s.subtitle.SubPath) &&
        Terminated(s.subtitle.SubLang, sizeof s.subtitle.SubLang));
  Check(!std::isnan(s.aspectRatio) && !(s.aspectRatio < 0));
  Check(In(s.subtitle.SubDelay, -7200000, 7200000) && In(s.subtitle.SubSpeed, 1, 5000));
  Check(In(s.osd.OSDVideoTime, 0, 2) && In(s.osd.OSDWorldTime, 0, 1));
  CheckFont(s.subtitle.font);
  CheckFont(s.osd.font);
  return 0;
}
