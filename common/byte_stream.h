// ByteStream: the byte source every subtitle reader works on, with byte and line reading.
//
// ReadLine (both forms) reads one byte at a time:
//  - a zero byte ends the line (consumed, not stored);
//  - after a carriage return, any byte other than a line feed ends the line and is put back
//    (the stream moves back one byte), so it starts the next line;
//  - every other byte, the carriage return and line feed included, is stored; a line feed ends
//    the line.
// The buffer form stops after size - 1 bytes, so a longer line arrives in pieces; the string
// form grows the string up to kMaxLineLength bytes and delivers longer lines in pieces too.
// Both return 1 when nothing was stored (end of data, or a zero byte at once), else 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/shared_string.h"

class ByteStream {
 public:
  static constexpr int kMaxLineLength = 1 << 20;

  virtual ~ByteStream() = default;
  // Items read / written (whole items, as fread and fwrite count them).
  virtual size_t Read(void* buffer, size_t itemSize, size_t count) = 0;
  virtual size_t Write(const void* buffer, size_t itemSize, size_t count) = 0;
  // origin: SEEK_SET, SEEK_CUR or SEEK_END. 0 on success.
  virtual int Seek(long offset, int origin) = 0;
  virtual long Tell() = 0;
  // Non-zero once a read has met the end of the data.
  virtual int AtEnd() = 0;

  // 0 when a byte was read, -1 otherwise.
  int ReadByte(uint8_t* out);
  int ReadLine(char* buffer, int size);
  int ReadLine(SharedString& line);
};

// A read-only stream over bytes held elsewhere (they must outlive the stream).
class MemoryStream : public ByteStream {
 public:
  MemoryStream(const void* data, size_t size)
      : m_data(static_cast<const uint8_t*>(data)), m_size(size) {}
  size_t Read(void* buffer, size_t itemSize, size_t count) override;
  size_t Write(const void*, size_t, size_t) override { return 0; }
  int Seek(long offset, int origin) override;
  long Tell() override { return static_cast<long>(m_pos); }
  int AtEnd() override { return m_eof ? 1 : 0; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
  bool m_eof = false;
};
