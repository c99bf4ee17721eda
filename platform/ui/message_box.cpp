#include "platform/ui/message_box.h"

#include <mutex>

namespace {

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}

ui::MessageBoxSink& TheSink() {
  static ui::MessageBoxSink sink;
  return sink;
}

std::vector<ui::MessageBoxRecord>& Kept() {
  static std::vector<ui::MessageBoxRecord> kept;
  return kept;
}

int DefaultAnswer(UINT type) {
  switch (type & 0xF) {
    case MB_YESNO: return IDYES;
    default: return IDOK;
  }
}

}  // namespace

int MessageBoxA(HWND, const char* text, const char* caption, UINT type) {
  ui::MessageBoxRecord record{text ? text : "", caption ? caption : "Error", type};
  ui::MessageBoxSink sink;
  {
    std::lock_guard<std::mutex> hold(Lock());
    sink = TheSink();
    if (!sink) {
      Kept().push_back(record);
      return DefaultAnswer(type);
    }
  }
  return sink(record);
}

namespace ui {

MessageBoxSink SetMessageBoxSink(MessageBoxSink sink) {
  std::lock_guard<std::mutex> hold(Lock());
  MessageBoxSink previous = std::move(TheSink());
  TheSink() = std::move(sink);
  return previous;
}

std::vector<MessageBoxRecord> TakeMessageBoxes() {
  std::lock_guard<std::mutex> hold(Lock());
  std::vector<MessageBoxRecord> out;
  out.swap(Kept());
  return out;
}

}  // namespace ui
