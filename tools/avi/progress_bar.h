// A progress bar on standard error, redrawn from a cell another thread fills (0..100).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

class ProgressBar {
 public:
  explicit ProgressBar(volatile int* cell) : cell_(cell), thread_([this] { Run(); }) {}
  ~ProgressBar() { Stop(); }
  void Stop() {
    if (!thread_.joinable()) return;
    done_ = true;
    thread_.join();
    // Nothing is drawn for work that never started (a usage error, a refused file).
    if (drawn_) {
      Draw(*cell_);
      std::fputc('\n', stderr);
    }
  }

 private:
  void Run() {
    int last = 0;
    while (!done_) {
      int value = *cell_;
      if (value != last) {
        Draw(value);
        drawn_ = true;
      }
      last = value;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  static void Draw(int value) {
    if (value < 0) value = 0;
    if (value > 100) value = 100;
    char bar[41];
    for (int i = 0; i < 40; ++i) bar[i] = i < value * 40 / 100 ? '#' : '.';
    bar[40] = 0;
    std::fprintf(stderr, "\r[%s] %3d%%", bar, value);
    std::fflush(stderr);
  }
  volatile int* cell_;
  std::atomic<bool> done_{false};
  std::atomic<bool> drawn_{false};
  std::thread thread_;
};
