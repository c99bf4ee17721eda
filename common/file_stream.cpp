#include "common/file_stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

FileStream::~FileStream() { Close(); }

int FileStream::Open(const char* path, const char* mode) {
  Close();
  if (!path || !*path || std::strlen(path) > static_cast<size_t>(kMaxPathLength)) return -1;
  if (!mode || !*mode) return 1;
  int flags;
  switch (mode[0]) {
    case 'r': flags = O_RDONLY; break;
    case 'w': flags = O_WRONLY | O_CREAT | O_TRUNC; break;
    case 'a': flags = O_WRONLY | O_CREAT | O_APPEND; break;
    default: return 1;
  }
  const bool update = std::strchr(mode, '+') != nullptr;
  if (update) flags = (flags & ~(O_RDONLY | O_WRONLY)) | O_RDWR;
  const bool denyAll = update || std::strpbrk(mode, "aw") != nullptr;
  const bool truncate = (flags & O_TRUNC) != 0;

  // Truncation waits until the lock is held, so a refused open leaves the file as it was.
  int fd = open(path, (flags & ~O_TRUNC) | O_CLOEXEC, 0666);
  if (fd < 0) return 1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return 1;
  }
  if (flock(fd, (denyAll ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    close(fd);
    return 1;
  }
  if (truncate && ftruncate(fd, 0) != 0) {
    close(fd);
    return 1;
  }
  const char* fdMode = mode[0] == 'r' ? (update ? "r+" : "r")
                       : mode[0] == 'w' ? (update ? "w+" : "w")
                                        : (update ? "a+" : "a");
  m_file = fdopen(fd, fdMode);
  if (!m_file) {
    close(fd);
    return 1;
  }
  m_text = std::strchr(mode, 'b') == nullptr;
  return 0;
}

void FileStream::Close() {
  if (m_file) std::fclose(m_file);  // closing the descriptor drops the lock
  m_file = nullptr;
}

// One byte in text mode: a CR LF pair reads as LF; a CR before anything else stays a CR and the
// byte after it is put back.
int FileStream::ReadTextByte() {
  const int c = std::fgetc(m_file);
  if (c != '\r') return c;
  const int next = std::fgetc(m_file);
  if (next == '\n') return '\n';
  if (next != EOF) std::ungetc(next, m_file);
  return '\r';
}

size_t FileStream::Read(void* buffer, size_t itemSize, size_t count) {
  if (!m_file || !buffer || itemSize == 0 || count == 0) return 0;
  if (!m_text) return std::fread(buffer, itemSize, count, m_file);
  if (count > SIZE_MAX / itemSize) count = SIZE_MAX / itemSize;
  auto* out = static_cast<uint8_t*>(buffer);
  const size_t total = itemSize * count;
  size_t n = 0;
  while (n < total) {
    const int c = ReadTextByte();
    if (c == EOF) break;
    out[n++] = static_cast<uint8_t>(c);
  }
  return n / itemSize;
}

size_t FileStream::Write(const void* buffer, size_t itemSize, size_t count) {
  if (!m_file || !buffer) return 0;
  return std::fwrite(buffer, itemSize, count, m_file);
}

int FileStream::Seek(long offset, int origin) {
  if (!m_file) return -1;
  return std::fseek(m_file, offset, origin) == 0 ? 0 : -1;
}

long FileStream::Tell() { return m_file ? std::ftell(m_file) : -1; }

int FileStream::AtEnd() { return m_file ? (std::feof(m_file) ? 1 : 0) : 1; }
