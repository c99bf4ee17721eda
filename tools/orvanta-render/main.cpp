// orvanta-render: draws a subtitle text and the time display onto a generated test picture
// through the text layers and the blending of the video filter, and writes PNG files.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "control/filter_settings.h"
#include "render/osd_clock.h"
#include "render/text_renderer.h"
#include "subtitles/subtitle_engine.h"
#include "tools/orvanta-render/compose.h"
#include "tools/orvanta-render/png_file.h"

namespace {

const char kUsage[] =
    "usage: orvanta-render --out PREFIX [options]\n"
    "Draws a subtitle and the time display onto a generated test picture and writes\n"
    "PREFIX-yuy2.png and/or PREFIX-rgb.png.\n"
    "\n"
    "  --text TEXT          subtitle text; \\n in TEXT starts a new line\n"
    "  --subtitle FILE      load a subtitle file and draw the entry showing at --at\n"
    "  --at MS              subtitle time for --subtitle (default 0)\n"
    "  --size WxH           picture size (default 720x576)\n"
    "  --layout L           yuy2, rgb or both (default both)\n"
    "  --x PCT, --y PCT     subtitle position, percent from the left and from the bottom\n"
    "                       (default 50 and 8)\n"
    "  --colour RRGGBB      subtitle colour (default FFFFFF)\n"
    "  --opaque             black box behind the text instead of outline and halo\n"
    "  --height N           font height as stored in the settings (default -27: 20 points)\n"
    "  --face NAME          font face (default Arial)\n"
    "  --weight N           font weight (default 400)\n"
    "  --italic, --underline, --strike\n"
    "  --osd-video MODE     time display: elapsed or remaining\n"
    "  --osd-at MS          media time of the frame for the time display (default 3723000)\n"
    "  --duration MS        movie duration for remaining time (default 5400000)\n"
    "  --osd-world HH:MM    also show this wall-clock time\n"
    "  --zoom N             enlarge the written pictures N times (1 to 16) to look at pixels\n"
    "  --help               this text\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "orvanta-render: %s\n", message.c_str());
  return 1;
}

bool ParseInt(const char* s, long lo, long hi, int& out) {
  char* end = nullptr;
  long v = std::strtol(s, &end, 10);
  if (!*s || *end || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

std::string Unescape(const char* s) {
  std::string out;
  for (; *s; ++s) {
    if (s[0] == '\\' && s[1] == 'n') {
      out += '\n';
      ++s;
    } else {
      out += *s;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::string subtitleFile;
  int subtitleAt = 0;
  std::string out, text, layout = "both", face = "Arial", osdVideo, osdWorld;
  int width = 720, height = 576, xPos = 50, yPos = 8, fontHeight = DefaultSubtitleFont().lfHeight;
  int zoom = 1, weight = 400, osdAt = 3723000, duration = 5400000;
  bool opaque = false, italic = false, underline = false, strike = false;
  unsigned colour = 0xFFFFFF;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)name;
      return argv[++i];
    };
    const char* v = nullptr;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--opaque") {
      opaque = true;
    } else if (a == "--italic") {
      italic = true;
    } else if (a == "--underline") {
      underline = true;
    } else if (a == "--strike") {
      strike = true;
    } else if (!(v = value(a.c_str()))) {
      return Fail("unknown option or missing value: " + a + " (see --help)");
    } else if (a == "--out") {
      out = v;
    } else if (a == "--text") {
      text = Unescape(v);
    } else if (a == "--subtitle") {
      subtitleFile = v;
    } else if (a == "--at") {
      if (!ParseInt(v, -2147483647L, 2147483647L, subtitleAt)) return Fail("--at must be milliseconds");
    } else if (a == "--layout") {
      layout = v;
      if (layout != "yuy2" && layout != "rgb" && layout != "both") return Fail("--layout must be yuy2, rgb or both");
    } else if (a == "--size") {
      if (std::sscanf(v, "%dx%d", &width, &height) != 2 || width < 16 || height < 16 || width > 4096 ||
          height > 4096 || width % 2)
        return Fail("--size must be WxH with an even width from 16 to 4096 and a height from 16 to 4096");
    } else if (a == "--x") {
      if (!ParseInt(v, 0, 100, xPos)) return Fail("--x must be 0 to 100");
    } else if (a == "--y") {
      if (!ParseInt(v, 0, 100, yPos)) return Fail("--y must be 0 to 100");
    } else if (a == "--colour") {
      char* end = nullptr;
      unsigned long c = std::strtoul(v, &end, 16);
      if (!*v || *end || c > 0xFFFFFF) return Fail("--colour must be RRGGBB in hexadecimal");
      colour = (c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16;  // to 0x00BBGGRR
    } else if (a == "--height") {
      if (!ParseInt(v, -500, 500, fontHeight)) return Fail("--height must be -500 to 500");
    } else if (a == "--face") {
      face = v;
    } else if (a == "--weight") {
      if (!ParseInt(v, 0, 1000, weight)) return Fail("--weight must be 0 to 1000");
    } else if (a == "--osd-video") {
      osdVideo = v;
      if (osdVideo != "elapsed" && osdVideo != "remaining") return Fail("--osd-video must be elapsed or remaining");
    } else if (a == "--osd-at") {
      if (!ParseInt(v, -2147483647L, 2147483647L, osdAt)) return Fail("--osd-at must be milliseconds");
    } else if (a == "--duration") {
      if (!ParseInt(v, 0, 2147483647L, duration)) return Fail("--duration must be milliseconds");
    } else if (a == "--zoom") {
      if (!ParseInt(v, 1, 16, zoom)) return Fail("--zoom must be 1 to 16");
    } else if (a == "--osd-world") {
      osdWorld = v;
    } else {
      return Fail("unknown option: " + a + " (see --help)");
    }
  }
  if (out.empty()) return Fail("--out PREFIX is required (see --help)");

  LOGFONTA font = DefaultSubtitleFont();
  font.lfHeight = fontHeight;
  font.lfWeight = weight;
  font.lfItalic = italic;
  font.lfUnderline = underline;
  font.lfStrikeOut = strike;
  std::snprintf(font.lfFaceName, sizeof font.lfFaceName, "%s", face.c_str());

  if (!text.empty() && !subtitleFile.empty()) return Fail("give either --text or --subtitle");
  std::vector<TextRenderer*> layers;
  SubtitleEngine engine;
  TextRenderer& subtitles = engine.renderer;
  subtitles.SetSize(width, height);
  subtitles.SetStyle(font, xPos, yPos, colour, opaque ? 0 : 1);
  if (!text.empty()) {
    if (subtitles.RenderText(text.c_str()) != 0) return Fail("the subtitle text could not be drawn");
    layers.push_back(&subtitles);
  }
  if (!subtitleFile.empty()) {
    if (engine.Load(subtitleFile.c_str()) != 0) return Fail("no subtitle reader accepted " + subtitleFile);
    engine.ConvertFramesToTime(25.0f);  // frame-numbered formats: a 25 fps movie
    int status = engine.Update(subtitleAt, subtitleAt + 40);
    std::printf("%s: %s, %d entries; at %d ms: %s\n", subtitleFile.c_str(), engine.formatName.c_str(),
                engine.items.Count(), subtitleAt, status >= 0 ? "an entry is showing" : "nothing showing");
    if (status >= 0) layers.push_back(&subtitles);
  }

  // The time display at a fixed media time; the wall-clock time is the one given.
  struct FixedOsd : OsdClock {
    FixedOsd(int w, int h, int hh, int mm) : OsdClock(w, h), hour(hh), minute(mm) {}
    int hour, minute;
    void LocalTime(int& h, int& m) const override {
      h = hour;
      m = minute;
    }
  };
  int worldHour = 0, worldMinute = 0;
  if (!osdWorld.empty() && (std::sscanf(osdWorld.c_str(), "%d:%d", &worldHour, &worldMinute) != 2 || worldHour < 0 ||
                            worldHour > 23 || worldMinute < 0 || worldMinute > 59))
    return Fail("--osd-world must be HH:MM");
  FixedOsd osd(width, height, worldHour, worldMinute);
  OsdSettings defaults = FilterSettings(FilterSettings::NoLoad{}).osd;
  osd.renderer.SetStyle(defaults.font.font, defaults.font.XPos, defaults.font.YPos,
                        static_cast<COLORREF>(defaults.font.Color), defaults.font.Transparent);
  osd.SetModes(osdVideo.empty() ? 0 : osdVideo == "elapsed" ? 1 : 2, osdWorld.empty() ? 0 : 1);
  osd.SetDuration(duration);
  int osdStatus = osd.Update(osdAt, osdAt + 40);
  if (osdStatus == 0) layers.push_back(&osd.renderer);
  else if (osdStatus != -1) return Fail("the time display could not be drawn");

  std::vector<uint8_t> picture = MakeTestPictureYuy2(width, height);
  auto write = [&](const std::string& path, const std::vector<uint32_t>& rgb) {
    std::vector<uint32_t> big(static_cast<size_t>(width) * zoom * height * zoom);
    for (int y = 0; y < height * zoom; ++y)
      for (int x = 0; x < width * zoom; ++x)
        big[static_cast<size_t>(y) * width * zoom + x] = rgb[static_cast<size_t>(y / zoom) * width + x / zoom];
    std::string error;
    if (!WritePng(path, big.data(), width * zoom, height * zoom, &error)) return Fail(error);
    std::printf("wrote %s (%dx%d)\n", path.c_str(), width * zoom, height * zoom);
    return 0;
  };
  if (layout != "rgb" && write(out + "-yuy2.png", ComposeYuy2(picture, width, height, layers))) return 1;
  if (layout != "yuy2" && write(out + "-rgb.png", ComposeRgb32(picture, width, height, layers))) return 1;
  return 0;
}
