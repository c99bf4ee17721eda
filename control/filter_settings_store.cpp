// Reading and writing the settings record in the registry store. Every value sits directly in
// HKEY_LOCAL_MACHINE\Software\Brenn\Orvanta; the text layers' values carry the prefix Sub or OSD.
#include <cstdio>
#include <cstring>

#include "common/registry_path.h"
#include "common/shared_string.h"
#include "control/filter_settings.h"

namespace {
const char kKey[] = "HKEY_LOCAL_MACHINE\\Software\\Brenn\\Orvanta\\";

class Store {
public:
  SharedString Path(const char* prefix, const char* name) {
    SharedString p(kKey);
    p += prefix;
    p += name;
    return p;
  }
  LONG Dword(const char* prefix, const char* name, LONG def, LONG lo, LONG hi) {
    DWORD raw = static_cast<DWORD>(def);
    reg.ReadDword(Path(prefix, name).c_str(), raw);
    LONG v = static_cast<LONG>(raw);
    return v < lo || v > hi ? def : v;
  }
  // Texts longer than the field are cut to fit, terminated.
  void Text(const char* name, const char* def, char* field, size_t size) {
    SharedString value;
    const char* text = reg.ReadString(Path("", name).c_str(), value) == 0 ? value.c_str() : def;
    std::snprintf(field, size, "%s", text);
  }
  void Font(const char* prefix, FontSettings& f, const FontSettings& d) {
    f.Color = Dword(prefix, "Color", d.Color, 0, 0xFFFFFF);
    f.Transparent = Dword(prefix, "Transparent", d.Transparent, 0, 1);
    f.XPos = Dword(prefix, "XPos", d.XPos, 0, 100);
    f.YPos = Dword(prefix, "YPos", d.YPos, 0, 100);
    f.DeadZone = Dword(prefix, "DeadZone", d.DeadZone, 0, 30);
    LOGFONTA lf;
    if (reg.ReadBinary(Path(prefix, "Font").c_str(), &lf, sizeof lf) == 0) f.font = lf;
    else f.font = d.font;
    f.font.lfFaceName[LF_FACESIZE - 1] = 0;  // a stored record need not be terminated
  }

  void PutDword(const char* prefix, const char* name, LONG v) {
    reg.WriteDword(Path(prefix, name).c_str(), static_cast<DWORD>(v));
  }
  void PutText(const char* name, const char* field, size_t size) {
    // The fields are always terminated; memchr guards a record filled from elsewhere.
    if (std::memchr(field, 0, size)) reg.WriteString(Path("", name).c_str(), field);
  }
  void PutFont(const char* prefix, const FontSettings& f) {
    PutDword(prefix, "Color", f.Color);
    PutDword(prefix, "Transparent", f.Transparent);
    PutDword(prefix, "XPos", f.XPos);
    PutDword(prefix, "YPos", f.YPos);
    PutDword(prefix, "DeadZone", f.DeadZone);
    reg.WriteBinary(Path(prefix, "Font").c_str(), &f.font, sizeof f.font);
  }

  RegistryPath reg;
};
}  // namespace

FilterSettings::FilterSettings() {
  SetDefaults();
  LoadAll();
}

int FilterSettings::LoadAll() {
  FilterSettings d{NoLoad{}};
  Store s;
  LoadMode = s.Dword("", "LoadMode", d.LoadMode, 0, 3);
  bOverscan = s.Dword("", "bOverscan", d.bOverscan, 0, 1);
  Overscan = s.Dword("", "Overscan", d.Overscan, 0, 30);
  bFill = s.Dword("", "bFill", d.bFill, 0, 1);
  Fill = s.Dword("", "Fill", d.Fill, 50, 100);
  bFillH = s.Dword("", "bFillH", d.bFillH, 0, 1);
  FillH = s.Dword("", "FillH", d.FillH, 50, 100);
  bFill2 = s.Dword("", "bFill2", d.bFill2, 0, 1);
  Flip = s.Dword("", "Flip", d.Flip, 0, 3);
  TV = s.Dword("", "TV", d.TV, 0, 1);
  Overlay = s.Dword("", "Overlay", d.Overlay, 0, 1);
  AspectComp = s.Dword("", "AspectComp", d.AspectComp, 0, 3);
  s.Text("AspectComp2", d.AspectComp2, AspectComp2, sizeof AspectComp2);
  aspectRatio = ParseAspectRatio(AspectComp2);
  FPSConv = s.Dword("", "FPSConv", d.FPSConv, 0, 4);
  YShift = s.Dword("", "YShift", d.YShift, 0, 1);
  Economic = s.Dword("", "Economic", d.Economic, 0, 1);
  SysTrayIcon = s.Dword("", "SysTrayIcon", d.SysTrayIcon, 0, 1);
  bDouble = s.Dword("", "bDouble", d.bDouble, 0, 1);
  Double = s.Dword("", "Double", d.Double, 0, 9999);

  s.Text("SubLang", d.subtitle.SubLang, subtitle.SubLang, sizeof subtitle.SubLang);
  s.Text("SubPath", d.subtitle.SubPath, subtitle.SubPath, sizeof subtitle.SubPath);
  subtitle.SubDelay = s.Dword("", "SubDelay", d.subtitle.SubDelay, -7200000, 7200000);
  subtitle.SubSpeed = s.Dword("", "SubSpeed", d.subtitle.SubSpeed, 1, 5000);
  s.Font("Sub", subtitle.font, d.subtitle.font);

  osd.OSDVideoTime = s.Dword("", "OSDVideoTime", d.osd.OSDVideoTime, 0, 2);
  osd.OSDWorldTime = s.Dword("", "OSDWorldTime", d.osd.OSDWorldTime, 0, 1);
  s.Font("OSD", osd.font, d.osd.font);
  return 0;
}

int FilterSettings::SaveAll() const {
  Store s;
  s.PutDword("", "LoadMode", LoadMode);
  s.PutDword("", "bFill", bFill);
  s.PutDword("", "Fill", Fill);
  s.PutDword("", "bFillH", bFillH);
  s.PutDword("", "FillH", FillH);
  s.PutDword("", "bFill2", bFill2);
  s.PutDword("", "bOverscan", bOverscan);
  s.PutDword("", "Overscan", Overscan);
  s.PutDword("", "Flip", Flip);
  s.PutDword("", "TV", TV);
  s.PutDword("", "Overlay", Overlay);
  s.PutDword("", "AspectComp", AspectComp);
  s.PutText("AspectComp2", AspectComp2, sizeof AspectComp2);
  s.PutDword("", "FPSConv", FPSConv);
  s.PutDword("", "YShift", YShift);
  s.PutDword("", "Economic", Economic);
  s.PutDword("", "SysTrayIcon", SysTrayIcon);
  s.PutDword("", "bDouble", bDouble);
  s.PutDword("", "Double", Double);
  s.PutText("SubPath", subtitle.SubPath, sizeof subtitle.SubPath);
  s.PutText("SubLang", subtitle.SubLang, sizeof subtitle.SubLang);
  s.PutDword("", "SubDelay", subtitle.SubDelay);
  s.PutDword("", "SubSpeed", subtitle.SubSpeed);
  s.PutFont("Sub", subtitle.font);
  s.PutDword("", "OSDVideoTime", osd.OSDVideoTime);
  s.PutDword("", "OSDWorldTime", osd.OSDWorldTime);
  s.PutFont("OSD", osd.font);
  return 0;
}
