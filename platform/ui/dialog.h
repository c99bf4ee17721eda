// Dialogs without a screen: a dialog is built from a template into control objects that keep
// their text, check state and enabled state, and its dialog procedure receives the usual
// WM_INITDIALOG and WM_COMMAND messages. Nobody sits at the keyboard, so a modal dialog is driven
// by a process-wide dialog driver (tests set controls and press buttons through it); a dialog
// the driver leaves open is cancelled, as if Escape had been pressed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/sys/types.h"

struct HostWindow;
using HWND = HostWindow*;
using INT_PTR = intptr_t;
using DLGPROC = INT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
constexpr WORD BN_CLICKED = 0;
constexpr int DWLP_USER = 16;

namespace ui {

enum class ControlKind { kPushButton, kDefPushButton, kCheckBox, kRadioButton, kGroupBox, kLabel };

struct ControlTemplate {
  ControlKind kind;
  int id;            // -1 for controls nobody addresses
  std::string text;  // label shown on or beside the control
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  bool group = false;  // starts a group (radio buttons are exclusive within a group)
};

struct DialogTemplate {
  std::string name;
  std::string caption;
  int cx = 0, cy = 0;
  std::string font;
  int pointSize = 8;
  std::vector<ControlTemplate> controls;
};

// The dialog templates of one module, found by name.
struct ResourceModule {
  std::vector<const DialogTemplate*> dialogs;
  const DialogTemplate* FindDialog(const char* name) const;
};

// Called with every modal dialog once WM_INITDIALOG has been handled.
using DialogDriver = std::function<void(HWND dialog)>;
// Installs the driver (an empty one cancels every dialog); returns the previous one.
DialogDriver SetDialogDriver(DialogDriver driver);

// What a user does: a click on a check box toggles it, on a radio button checks it and clears
// the others of its group, then the dialog procedure gets WM_COMMAND with BN_CLICKED.
void Click(HWND dialog, int id);
// What a user sees.
const DialogTemplate* TemplateOf(HWND dialog);
bool IsOpen(HWND dialog);
bool IsEnabled(HWND dialog, int id);
std::string ControlText(HWND dialog, int id);

}  // namespace ui

using HINSTANCE = const ui::ResourceModule*;

// The calls the product code makes, in their original shapes.
INT_PTR DialogBoxParamA(HINSTANCE module, const char* templateName, HWND parent, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
BOOL SetDlgItemTextA(HWND dialog, int id, const char* text);
UINT GetDlgItemTextA(HWND dialog, int id, char* text, int size);
BOOL EnableWindow(HWND window, BOOL enable);
intptr_t SetWindowLongPtrA(HWND window, int index, intptr_t value);
intptr_t GetWindowLongPtrA(HWND window, int index);
