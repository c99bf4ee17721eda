// The bytes of a subtitle file as its reader sees them.
//
// The whole file is read at once (up to kMaxFileBytes; larger files are refused), then:
//  - a UTF-8 byte-order mark at the start is skipped, so it cannot spoil the first line;
//  - a file with a UTF-16 byte-order mark (either byte order) is converted to UTF-8, the
//    encoding the rest of the module already passes through for UTF-8 files;
//  - in text mode a CR LF pair becomes LF, as the runtime's text mode reads it.
// Readers then take lines (or bytes) from `stream`, with the line reading of ByteStream.
#pragma once

#include <cstddef>
#include <string>

#include "common/byte_stream.h"

class SubtitleText {
public:
  static constexpr size_t kMaxFileBytes = 16u << 20;

  // 0 when the file was read; -1 when it cannot be opened or read, or is too large.
  int Open(const char* path, bool textMode);

  // One line into buffer (size bytes, so a longer line arrives in pieces), with one trailing
  // line feed removed, and a carriage return left before it (a CR CR LF or CR-only line end)
  // removed too. 0 when a line was read, 1 at the end of the file.
  int ReadLine(char* buffer, int size);

  const std::string& Bytes() const { return m_bytes; }
  MemoryStream& Stream() { return m_stream; }

private:
  std::string m_bytes;
  MemoryStream m_stream{"", 0};
};

// Removes one trailing "\n" and then one trailing "\r" from a zero-terminated line.
void StripLineEnd(char* line);
