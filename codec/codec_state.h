// The codec's exchanged records: the per-instance state (ICM_GETSTATE / ICM_SETSTATE), the
// compressed video format and the process-wide driver settings.
#pragma once

#include <cstdint>

#include "platform/vfw/vfw.h"

namespace aviqpak {

constexpr FOURCC kFourCC = MakeFourCC('Q', 'P', 'A', 'K');

enum OptionFlags : uint8_t {
  kOptionSplit = 0x01,       // "Multi Thread": two bands per frame
  kOptionNullFrames = 0x02,  // "Null Frame": repeated pictures become empty frames
};

struct CodecState {
  FOURCC fcc;
  uint8_t colourMode;
  uint8_t noCompress;
  uint8_t optionFlags;
  uint8_t converterFamily;
};
static_assert(sizeof(CodecState) == 8);

constexpr CodecState kInitialState = {kFourCC, 2, 0, 0, 1};

// The compressed format: an ordinary bitmap header plus the coding choices of the encoder.
struct QpakFormat {
  BITMAPINFOHEADER header;
  DWORD extra;  // always 4
  uint8_t colourMode;
  uint8_t noCompress;
  uint8_t optionFlags;
  uint8_t converterFamily;
};
static_assert(sizeof(QpakFormat) == 48);

enum DriverSettingBits : DWORD {
  kYuvEnable = 0x1,          // "YUV Enable"
  kInvertHeightYuv = 0x2,    // "Invert Height(YUV)"
  kMultiThreadEnable = 0x4,  // "Multi Thread Enable"
  kRgb32Disable = 0x8,       // "RGB(32Bit) Disable"
};

// Registry location of the driver settings.
constexpr const char* kSettingsKey = "Software\\Mirabe\\aviqpak";
constexpr const char* kSettingsValue = "ICM_SETING";

// Process-wide state.
DWORD Settings();
void SetSettings(DWORD bits);
CodecState DefaultState();
void SetDefaultState(const CodecState& state);
// Reads the settings from the registry (driver load) and writes them back (the "Seting" dialog).
void LoadSettings();
bool SaveSettings();

}  // namespace aviqpak
