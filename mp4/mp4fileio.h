// The file layer under the mp4file library: a plain file, a counting sink that only measures what
// would be written, or four caller-supplied functions. Each object carries its own dispatch table,
// so two objects in one process never disturb each other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct mp4fileio;

// Reading and positioning go through this table; writing always goes to mp4fileio_write.
struct mp4fileio_ops {
  int64_t (*length)(mp4fileio* io);
  void (*seek)(mp4fileio* io, int64_t position);
  size_t (*read)(mp4fileio* io, void* buffer, size_t count);
  int64_t (*tell)(mp4fileio* io);
};

// Caller-supplied reading functions over an opaque context (a file in memory, a network source).
// read returns the number of bytes delivered; seek returns 0 on success.
struct mp4fileio_user_functions {
  int64_t (*length)(void* context);
  int (*seek)(void* context, int64_t position);
  size_t (*read)(void* context, void* buffer, size_t count);
  int64_t (*tell)(void* context);
};

struct mp4fileio {
  std::FILE* file;
  const char* error;
  int counting;
  int64_t position;  // counting mode
  int64_t end;       // counting mode
  int read_only;
  int64_t known_length;  // files opened for reading: their length, once asked (-1 before)
  const mp4fileio_ops* ops;
  const mp4fileio_user_functions* user;
  void* user_context;
};

// mode 1 creates the file for writing; otherwise an existing file is opened for reading. A null
// path enters counting mode. Returns 0, or -1 with "mp4fileio_open() failed".
int mp4fileio_open(mp4fileio* io, const char* path, int mode);
int mp4fileio_open_user(mp4fileio* io, const mp4fileio_user_functions* functions, void* context);
void mp4fileio_close(mp4fileio* io);

int64_t mp4fileio_length(mp4fileio* io);
void mp4fileio_seek(mp4fileio* io, int64_t position);
int64_t mp4fileio_tell(mp4fileio* io);
// A short read sets "mp4fileio_read() failed"; the missing bytes are zero.
size_t mp4fileio_read(mp4fileio* io, void* buffer, size_t count);
void mp4fileio_write(mp4fileio* io, const void* buffer, size_t count);

uint32_t mp4fileio_read8(mp4fileio* io);
uint32_t mp4fileio_read16(mp4fileio* io);
uint32_t mp4fileio_read24(mp4fileio* io);
uint32_t mp4fileio_read32(mp4fileio* io);
uint64_t mp4fileio_read64(mp4fileio* io);
void mp4fileio_write8(mp4fileio* io, uint32_t value);
void mp4fileio_write16(mp4fileio* io, uint32_t value);
void mp4fileio_write24(mp4fileio* io, uint32_t value);
void mp4fileio_write32(mp4fileio* io, uint32_t value);
void mp4fileio_write64(mp4fileio* io, uint64_t value);
