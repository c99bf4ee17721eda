#include "common/byte_stream.h"

#include <cstring>

int ByteStream::ReadByte(uint8_t* out) {
  uint8_t b;
  if (Read(&b, 1, 1) != 1) return -1;
  if (out) *out = b;
  return 0;
}

namespace {

// One step of the line rules: whether `b` (just read) is stored and whether the line ends.
enum class Step { Store, StoreAndEnd, EndDropped, EndPutBack };

Step Classify(uint8_t b, bool afterCarriageReturn) {
  if (b == 0) return Step::EndDropped;
  if (afterCarriageReturn && b != '\n') return Step::EndPutBack;
  if (b == '\n') return Step::StoreAndEnd;
  return Step::Store;
}

}  // namespace

int ByteStream::ReadLine(char* buffer, int size) {
  if (!buffer || size < 1) return 1;
  int n = 0;
  bool afterCr = false;
  while (n < size - 1) {
    uint8_t b;
    if (ReadByte(&b) != 0) break;
    const Step step = Classify(b, afterCr);
    if (step == Step::EndDropped) break;
    if (step == Step::EndPutBack) {
      Seek(-1, SEEK_CUR);
      break;
    }
    buffer[n++] = static_cast<char>(b);
    if (step == Step::StoreAndEnd) break;
    afterCr = b == '\r';
  }
  buffer[n] = 0;
  return n == 0 ? 1 : 0;
}

int ByteStream::ReadLine(SharedString& line) {
  line.Empty();
  char chunk[256];
  int inChunk = 0, total = 0;
  bool afterCr = false;
  while (total < kMaxLineLength) {
    uint8_t b;
    if (ReadByte(&b) != 0) break;
    const Step step = Classify(b, afterCr);
    if (step == Step::EndDropped) break;
    if (step == Step::EndPutBack) {
      Seek(-1, SEEK_CUR);
      break;
    }
    chunk[inChunk++] = static_cast<char>(b);
    ++total;
    if (inChunk == static_cast<int>(sizeof(chunk)) - 1) {
      // Grow by doubling so that a long line is not copied over and over.
      if (line.Capacity() < total + 1) line.Reserve(total < 1024 ? 2048 : 2 * total, true);
      chunk[inChunk] = 0;
      line += chunk;
      inChunk = 0;
    }
    if (step == Step::StoreAndEnd) break;
    afterCr = b == '\r';
  }
  chunk[inChunk] = 0;
  line += chunk;
  return total == 0 ? 1 : 0;
}

size_t MemoryStream::Read(void* buffer, size_t itemSize, size_t count) {
  if (!buffer || itemSize == 0 || count == 0) return 0;
  const size_t left = m_size - m_pos;
  size_t items = count;
  if (items > left / itemSize) {
    items = left / itemSize;
    m_eof = true;
  }
  if (items == 0) return 0;
  std::memcpy(buffer, m_data + m_pos, items * itemSize);
  m_pos += items * itemSize;
  return items;
}

int MemoryStream::Seek(long offset, int origin) {
  long base;
  switch (origin) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = static_cast<long>(m_pos); break;
    case SEEK_END: base = static_cast<long>(m_size); break;
    default: return -1;
  }
  // Compared without forming base + offset, which could overflow.
  if (offset < 0 ? offset < -base : offset > static_cast<long>(m_size) - base) return -1;
  m_pos = static_cast<size_t>(base + offset);
  m_eof = false;
  return 0;
}
