#include "platform/ui/dialog.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

struct HostWindow {
  HostWindow* dialog = nullptr;  // the dialog a control belongs to; itself for the dialog
  const ui::ControlTemplate* control = nullptr;
  std::string text;
  UINT check = BST_UNCHECKED;
  bool enabled = true;
  // Dialog only:
  const ui::DialogTemplate* dialogTemplate = nullptr;
  DLGPROC proc = nullptr;
  std::vector<std::unique_ptr<HostWindow>> controls;
  bool open = false;
  INT_PTR result = 0;
  std::map<int, intptr_t> longs;
};

namespace {

std::mutex& DriverLock() {
  static std::mutex lock;
  return lock;
}

ui::DialogDriver& TheDriver() {
  static ui::DialogDriver driver;
  return driver;
}

HostWindow* Control(HWND dialog, int id) {
  if (!dialog) return nullptr;
  for (auto& c : dialog->controls)
    if (c->control->id == id) return c.get();
  return nullptr;
}

// The controls of the group that holds `item`: from the nearest control that starts a group up
// to the next one.
void GroupBounds(HWND dialog, size_t item, size_t* first, size_t* last) {
  size_t f = item;
  while (f > 0 && !dialog->controls[f]->control->group) --f;
  size_t l = item + 1;
  while (l < dialog->controls.size() && !dialog->controls[l]->control->group) ++l;
  *first = f;
  *last = l;
}

}  // namespace

namespace ui {

const DialogTemplate* ResourceModule::FindDialog(const char* name) const {
  for (const DialogTemplate* d : dialogs)
    if (name && d->name == name) return d;
  return nullptr;
}

DialogDriver SetDialogDriver(DialogDriver driver) {
  std::lock_guard<std::mutex> hold(DriverLock());
  DialogDriver previous = std::move(TheDriver());
  TheDriver() = std::move(driver);
  return previous;
}

void Click(HWND dialog, int id) {
  if (!dialog || !dialog->open) return;
  for (size_t i = 0; i < dialog->controls.size(); ++i) {
    HostWindow* c = dialog->controls[i].get();
    if (c->control->id != id) continue;
    if (!c->enabled) return;
    if (c->control->kind == ControlKind::kCheckBox) {
      c->check = c->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    } else if (c->control->kind == ControlKind::kRadioButton) {
      size_t first, last;
      GroupBounds(dialog, i, &first, &last);
      for (size_t k = first; k < last; ++k)
        if (dialog->controls[k]->control->kind == ControlKind::kRadioButton) dialog->controls[k]->check = BST_UNCHECKED;
      c->check = BST_CHECKED;
    }
    dialog->proc(dialog, WM_COMMAND, static_cast<WPARAM>((BN_CLICKED << 16) | (id & 0xFFFF)),
                 reinterpret_cast<LPARAM>(c));
    return;
  }
}

const DialogTemplate* TemplateOf(HWND dialog) { return dialog ? dialog->dialogTemplate : nullptr; }
bool IsOpen(HWND dialog) { return dialog && dialog->open; }
bool IsEnabled(HWND dialog, int id) {
  HostWindow* c = Control(dialog, id);
  return c && c->enabled;
}
std::string ControlText(HWND dialog, int id) {
  HostWindow* c = Control(dialog, id);
  return c ? c->text : std::string();
}

}  // namespace ui

INT_PTR DialogBoxParamA(HINSTANCE module, const char* templateName, HWND, DLGPROC proc, LPARAM param) {
  const ui::DialogTemplate* t = module ? module->FindDialog(templateName) : nullptr;
  if (!t || !proc) return -1;
  HostWindow dialog;
  dialog.dialog = &dialog;
  dialog.dialogTemplate = t;
  dialog.text = t->caption;
  dialog.proc = proc;
  for (const ui::ControlTemplate& ct : t->controls) {
    auto c = std::make_unique<HostWindow>();
    c->dialog = &dialog;
    c->control = &ct;
    c->text = ct.text;
    dialog.controls.push_back(std::move(c));
  }
  dialog.open = true;
  proc(&dialog, WM_INITDIALOG, 0, param);
  ui::DialogDriver driver;
  {
    std::lock_guard<std::mutex> hold(DriverLock());
    driver = TheDriver();
  }
  if (dialog.open && driver) driver(&dialog);
  if (dialog.open) proc(&dialog, WM_COMMAND, static_cast<WPARAM>(IDCANCEL), 0);
  if (dialog.open) {  // a procedure that ignores Cancel is closed all the same
    dialog.open = false;
    dialog.result = IDCANCEL;
  }
  return dialog.result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  if (!dialog || !dialog->open) return FALSE;
  dialog->open = false;
  dialog->result = result;
  return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) { return Control(dialog, id); }

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HostWindow* c = Control(dialog, id);
  if (!c) return FALSE;
  c->check = check;
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  HostWindow* c = Control(dialog, id);
  return c ? c->check : BST_UNCHECKED;
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
  if (!dialog) return FALSE;
  for (auto& c : dialog->controls)
    if (c->control->id >= firstId && c->control->id <= lastId)
      c->check = c->control->id == checkId ? BST_CHECKED : BST_UNCHECKED;
  return TRUE;
}

BOOL SetDlgItemTextA(HWND dialog, int id, const char* text) {
  HostWindow* c = Control(dialog, id);
  if (!c) return FALSE;
  c->text = text ? text : "";
  return TRUE;
}

UINT GetDlgItemTextA(HWND dialog, int id, char* text, int size) {
  HostWindow* c = Control(dialog, id);
  if (!c || !text || size <= 0) return 0;
  const size_t n = std::min(c->text.size(), static_cast<size_t>(size - 1));
  std::memcpy(text, c->text.data(), n);
  text[n] = '\0';
  return static_cast<UINT>(n);
}

BOOL EnableWindow(HWND window, BOOL enable) {
  if (!window) return FALSE;
  const bool wasDisabled = !window->enabled;
  window->enabled = enable != FALSE;
  return wasDisabled ? TRUE : FALSE;
}

intptr_t SetWindowLongPtrA(HWND window, int index, intptr_t value) {
  if (!window) return 0;
  intptr_t previous = window->longs[index];
  window->longs[index] = value;
  return previous;
}

intptr_t GetWindowLongPtrA(HWND window, int index) {
  if (!window) return 0;
  auto it = window->longs.find(index);
  return it == window->longs.end() ? 0 : it->second;
}
