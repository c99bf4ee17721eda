// Message boxes without a screen: each one is handed to a sink that answers it. The default
// sink keeps the boxes for tests to read and answers with the box's default button.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

namespace ui {

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  UINT type = 0;
};

using MessageBoxSink = std::function<int(const MessageBoxRecord&)>;
// Installs a sink (empty: the default one); returns the previous one.
MessageBoxSink SetMessageBoxSink(MessageBoxSink sink);
// The boxes the default sink has kept since the last call, oldest first.
std::vector<MessageBoxRecord> TakeMessageBoxes();

}  // namespace ui
