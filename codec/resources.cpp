#include "codec/resources.h"

namespace aviqpak {
namespace {

using ui::ControlKind;

const ui::DialogTemplate kConfigure = {
    "Configure",
    "AVIqpak Option Menu",
    242,
    118,
    "MS Sans Serif",
    8,
    {
        {ControlKind::kDefPushButton, IDOK, "OK", 185, 7, 50, 14, true},
        {ControlKind::kPushButton, IDCANCEL, "Cancel", 185, 24, 50, 14, true},
        {ControlKind::kGroupBox, kIdFormatGroup, "Video Format(24bit Only)", 7, 7, 80, 104, true},
        {ControlKind::kRadioButton, kIdRgb24, "RGB 24", 14, 20, 60, 10, true},
        {ControlKind::kRadioButton, kIdYuv111, "YUV 1:1:1", 14, 35, 60, 10},
        {ControlKind::kRadioButton, kIdYuv422, "YUV 4:2:2", 14, 50, 60, 10},
        {ControlKind::kRadioButton, kIdYuv411, "YUV 4:1:1", 14, 65, 60, 10},
        {ControlKind::kRadioButton, kIdYuv211, "YUV 2:1:1", 14, 80, 60, 10},
        {ControlKind::kRadioButton, kIdYuv420, "YUV 4:2:0", 14, 95, 60, 10},
        {ControlKind::kGroupBox, kIdCompressGroup, "Compress Mode", 94, 7, 84, 30, true},
        {ControlKind::kCheckBox, kIdNoCompress, "No Compress", 101, 20, 70, 10, true},
        {ControlKind::kGroupBox, -1, "Option", 94, 44, 84, 45, true},
        {ControlKind::kCheckBox, kIdNullFrame, "Null Frame", 101, 57, 70, 10, true},
        {ControlKind::kCheckBox, kIdMultiThread, "Multi Thread", 101, 72, 70, 10, true},
    },
};

const ui::DialogTemplate kSeting = {
    "Seting",
    "AVIqpak Seting Menu",
    151,
    71,
    "MS Sans Serif",
    8,
    {
        {ControlKind::kDefPushButton, IDOK, "OK", 94, 7, 50, 14, true},
        {ControlKind::kPushButton, IDCANCEL, "Cancel", 94, 24, 50, 14, true},
        {ControlKind::kCheckBox, kIdRgb32Disable, "RGB(32Bit) Disable", 7, 7, 84, 10, true},
        {ControlKind::kCheckBox, kIdMultiThreadEnable, "Multi Thread Enable", 7, 22, 84, 10, true},
        {ControlKind::kCheckBox, kIdYuvEnable, "YUV Enable", 7, 37, 84, 10, true},
        {ControlKind::kCheckBox, kIdInvertHeightYuv, "Invert Height(YUV)", 7, 52, 84, 10, true},
    },
};

}  // namespace

const ui::ResourceModule& Resources() {
  static const ui::ResourceModule module{{&kConfigure, &kSeting}};
  return module;
}

}  // namespace aviqpak
