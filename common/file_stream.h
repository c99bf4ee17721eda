// FileStream: a ByteStream over a file.
//
// Open (path, mode) takes the runtime library's mode letters ("r", "rt", "rb", "w", "a", "r+",
// ...). A mode without 'b' is text mode, which reads a carriage return + line feed pair in the
// file as one line feed (writes are not translated), so files with either line end parse
// alike. Only regular files open.
//
// Sharing: a mode with 'a', 'w' or '+' denies others both reading and writing, any other mode
// denies others writing, as the original runtime's _fsopen sharing did. Here this is an
// advisory lock (flock) on the file: it is honoured by every FileStream, in this process and
// in others, but not by programs that do not take the lock. An open that the lock refuses fails.
#pragma once

#include <cstdio>

#include "common/byte_stream.h"
#include "platform/sys/path.h"

class FileStream : public ByteStream {
 public:
  FileStream() = default;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;
  ~FileStream() override;

  // Closes any open file first. 0 on success; -1 for a null or empty path or one longer than
  // kMaxPathLength; 1 when the file cannot be opened (missing, not a regular file, bad mode,
  // refused by another holder's sharing).
  int Open(const char* path, const char* mode);
  void Close();
  bool IsOpen() const { return m_file != nullptr; }

  // On a closed stream reads and writes do nothing, Seek fails and AtEnd reports the end.
  size_t Read(void* buffer, size_t itemSize, size_t count) override;
  size_t Write(const void* buffer, size_t itemSize, size_t count) override;
  int Seek(long offset, int origin) override;
  long Tell() override;
  int AtEnd() override;

 private:
  int ReadTextByte();
  FILE* m_file = nullptr;
  bool m_text = false;
};
