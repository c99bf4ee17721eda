// The module's resources: the dialog templates and their control ids.
#pragma once

#include "platform/ui/dialog.h"

namespace aviqpak {

enum ControlId : int {
  kIdFormatGroup = 50,
  kIdCompressGroup = 51,
  kIdRgb24 = 102,
  kIdYuv111 = 103,
  kIdYuv422 = 104,
  kIdYuv411 = 105,
  kIdYuv211 = 107,
  kIdYuv420 = 108,
  kIdMultiThread = 1010,
  kIdNullFrame = 1011,
  kIdNoCompress = 1012,
  kIdRgb32Disable = 1013,
  kIdMultiThreadEnable = 1014,
  kIdYuvEnable = 1015,
  kIdInvertHeightYuv = 1016,
};

const ui::ResourceModule& Resources();

}  // namespace aviqpak
