// The driver's two dialogs ("Configure" for the instance, "Seting" for the process-wide driver
// settings) and its about box.
#include "codec/colour.h"
#include "codec/driver.h"
#include "codec/resources.h"
#include "platform/ui/message_box.h"

namespace aviqpak {
namespace {

struct ModeButton {
  int id;
  uint8_t mode;
};
constexpr ModeButton kModeButtons[] = {
    {kIdRgb24, colour::kRgb24},   {kIdYuv111, colour::kYuv111}, {kIdYuv422, colour::kYuv422},
    {kIdYuv411, colour::kYuv411}, {kIdYuv211, colour::kYuv211}, {kIdYuv420, colour::kYuv420},
};

UINT Check(bool on) { return on ? BST_CHECKED : BST_UNCHECKED; }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

INT_PTR ConfigureProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      const Instance* in = reinterpret_cast<const Instance*>(lParam);
      int checked = 0;  // no button for a mode this dialog does not know
      for (const ModeButton& b : kModeButtons)
        if (b.mode == in->state.colourMode) checked = b.id;
      CheckRadioButton(dialog, kIdRgb24, kIdYuv420, checked);
      CheckDlgButton(dialog, kIdNoCompress, Check(in->state.noCompress != 0));
      CheckDlgButton(dialog, kIdNullFrame, Check(in->state.optionFlags & kOptionNullFrames));
      CheckDlgButton(dialog, kIdMultiThread, Check(in->state.optionFlags & kOptionSplit));
      return TRUE;
    }
    case WM_COMMAND:
      switch (wParam & 0xFFFF) {
        case IDOK: {
          Instance* in = reinterpret_cast<Instance*>(GetWindowLongPtrA(dialog, DWLP_USER));
          CodecState s = in->state;
          for (const ModeButton& b : kModeButtons)
            if (Checked(dialog, b.id)) s.colourMode = b.mode;
          s.noCompress = Checked(dialog, kIdNoCompress) ? 1 : 0;
          uint8_t flags = s.optionFlags & ~(kOptionSplit | kOptionNullFrames);
          if (Checked(dialog, kIdNullFrame)) flags |= kOptionNullFrames;
          if (Checked(dialog, kIdMultiThread)) flags |= kOptionSplit;
          s.optionFlags = flags;
          in->state = s;
          SetDefaultState(s);
          EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

struct SettingBox {
  int id;
  DWORD bit;
};
constexpr SettingBox kSettingBoxes[] = {
    {kIdRgb32Disable, kRgb32Disable},
    {kIdMultiThreadEnable, kMultiThreadEnable},
    {kIdYuvEnable, kYuvEnable},
    {kIdInvertHeightYuv, kInvertHeightYuv},
};

INT_PTR SetingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      for (const SettingBox& b : kSettingBoxes) CheckDlgButton(dialog, b.id, Check(Settings() & b.bit));
      return TRUE;
    case WM_COMMAND:
      switch (wParam & 0xFFFF) {
        case IDOK: {
          DWORD bits = Settings() & ~(kYuvEnable | kInvertHeightYuv | kMultiThreadEnable | kRgb32Disable);
          for (const SettingBox& b : kSettingBoxes)
            if (Checked(dialog, b.id)) bits |= b.bit;
          SetSettings(bits);
          SaveSettings();
          EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

LRESULT ShowConfigureDialog(Instance* in, LPARAM parent) {
  return DialogBoxParamA(&Resources(), "Configure", reinterpret_cast<HWND>(parent), ConfigureProc,
                         reinterpret_cast<LPARAM>(in));
}

LRESULT ShowSetingDialog(LPARAM parent) {
  return DialogBoxParamA(&Resources(), "Seting", reinterpret_cast<HWND>(parent), SetingProc, 0);
}

LRESULT ShowAbout(LPARAM parent) {
  MessageBoxA(reinterpret_cast<HWND>(parent), "AVIqpak Compressor\nVersion 2.2.3", "Version Information",
              MB_OK | MB_ICONINFORMATION);
  return 0;
}

}  // namespace aviqpak
