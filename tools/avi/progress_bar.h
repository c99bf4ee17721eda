// A progress bar on standard error, redrawn from a cell another thread fills (0..100).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <thread>

class ProgressBar {
 public:
  explicit ProgressBar(volatile int* cell) : cell_(cell), thread_([this] { Run(); }) {}
  ~ProgressBar() { Stop(); }
  void Stop() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();  // the drawing thread ends now, not at its next tick
    thread_.join();
    // Nothing is drawn for work that never started (a usage error, a refused file).
    if (drawn_ || *cell_ != 0) {
      Draw(*cell_);
      std::fputc('\n', stderr);
    }
  }

 private:
  void Run() {
    int last = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_) {
      int value = *cell_;
      if (value != last) {
        Draw(value);
        drawn_ = true;
      }
      last = value;
      wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_.load(); });
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
  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
};
