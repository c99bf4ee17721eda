#include "mp4/mp4fileio.h"

#include <cstring>

namespace {

int64_t file_length(mp4fileio* io) {
  if (io->counting) return io->end;
  if (io->known_length >= 0) return io->known_length;
  long here = std::ftell(io->file);
  if (here < 0 || std::fseek(io->file, 0, SEEK_END) != 0) {
    io->error = "mp4fileio_length() INVALID_FILE_SIZE";
    return 0;
  }
  long size = std::ftell(io->file);
  std::fseek(io->file, here, SEEK_SET);
  if (size < 0) {
    io->error = "mp4fileio_length() INVALID_FILE_SIZE";
    return 0;
  }
  if (io->read_only) io->known_length = size;  // a file we only read does not change under us
  return size;
}

void file_seek(mp4fileio* io, int64_t position) {
  if (io->counting) {
    if (position > io->end || position < 0) io->error = "mp4fileio_seek() failed";
    io->position = position;
    return;
  }
  if (position < 0 || std::fseek(io->file, static_cast<long>(position), SEEK_SET) != 0)
    io->error = "mp4fileio_seek() failed";
}

size_t file_read(mp4fileio* io, void* buffer, size_t count) {
  if (io->counting) return 0;
  return std::fread(buffer, 1, count, io->file);
}

int64_t file_tell(mp4fileio* io) {
  if (io->counting) return io->position;
  long here = std::ftell(io->file);
  if (here < 0) {
    io->error = "mp4fileio_tell() failed";
    return 0;
  }
  return here;
}

const mp4fileio_ops kFileOps = {file_length, file_seek, file_read, file_tell};

int64_t user_length(mp4fileio* io) { return io->user->length(io->user_context); }
void user_seek(mp4fileio* io, int64_t position) {
  if (io->user->seek(io->user_context, position) != 0) io->error = "mp4fileio_seek() failed";
}
size_t user_read(mp4fileio* io, void* buffer, size_t count) {
  return io->user->read(io->user_context, buffer, count);
}
int64_t user_tell(mp4fileio* io) { return io->user->tell(io->user_context); }

const mp4fileio_ops kUserOps = {user_length, user_seek, user_read, user_tell};

}  // namespace

int mp4fileio_open(mp4fileio* io, const char* path, int mode) {
  std::memset(io, 0, sizeof *io);
  io->known_length = -1;
  io->ops = &kFileOps;
  if (!path) {
    io->counting = 1;
    return 0;
  }
  io->known_length = -1;
  io->read_only = mode != 1;
  io->file = std::fopen(path, mode == 1 ? "w+b" : "rb");
  if (!io->file) {
    io->error = "mp4fileio_open() failed";
    return -1;
  }
  return 0;
}

int mp4fileio_open_user(mp4fileio* io, const mp4fileio_user_functions* functions, void* context) {
  std::memset(io, 0, sizeof *io);
  if (!functions || !functions->length || !functions->seek || !functions->read ||
      !functions->tell) {
    io->error = "mp4fileio_open() failed";
    return -1;
  }
  io->ops = &kUserOps;
  io->user = functions;
  io->user_context = context;
  return 0;
}

void mp4fileio_close(mp4fileio* io) {
  if (io->file) std::fclose(io->file);
  io->file = nullptr;
}

int64_t mp4fileio_length(mp4fileio* io) { return io->ops->length(io); }
void mp4fileio_seek(mp4fileio* io, int64_t position) { io->ops->seek(io, position); }
int64_t mp4fileio_tell(mp4fileio* io) { return io->ops->tell(io); }

size_t mp4fileio_read(mp4fileio* io, void* buffer, size_t count) {
  size_t got = io->ops->read(io, buffer, count);
  if (got > count) got = count;
  if (got < count) {
    // A file that ends early must not look like one full of zero bytes.
    std::memset(static_cast<uint8_t*>(buffer) + got, 0, count - got);
    io->error = "mp4fileio_read() failed";
  }
  return got;
}

void mp4fileio_write(mp4fileio* io, const void* buffer, size_t count) {
  if (io->counting) {
    io->position += static_cast<int64_t>(count);
    if (io->position > io->end) io->end = io->position;
    return;
  }
  if (!io->file || std::fwrite(buffer, 1, count, io->file) != count)
    io->error = "mp4fileio_write() failed";
}

namespace {
uint64_t read_be(mp4fileio* io, int bytes) {
  uint8_t b[8];
  mp4fileio_read(io, b, static_cast<size_t>(bytes));
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | b[i];
  return v;
}
void write_be(mp4fileio* io, uint64_t value, int bytes) {
  uint8_t b[8];
  for (int i = 0; i < bytes; ++i) b[i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
  mp4fileio_write(io, b, static_cast<size_t>(bytes));
}
}  // namespace

uint32_t mp4fileio_read8(mp4fileio* io) { return static_cast<uint32_t>(read_be(io, 1)); }
uint32_t mp4fileio_read16(mp4fileio* io) { return static_cast<uint32_t>(read_be(io, 2)); }
uint32_t mp4fileio_read24(mp4fileio* io) { return static_cast<uint32_t>(read_be(io, 3)); }
uint32_t mp4fileio_read32(mp4fileio* io) { return static_cast<uint32_t>(read_be(io, 4)); }
uint64_t mp4fileio_read64(mp4fileio* io) { return read_be(io, 8); }
void mp4fileio_write8(mp4fileio* io, uint32_t value) { write_be(io, value & 0xFF, 1); }
void mp4fileio_write16(mp4fileio* io, uint32_t value) { write_be(io, value & 0xFFFF, 2); }
void mp4fileio_write24(mp4fileio* io, uint32_t value) { write_be(io, value & 0xFFFFFF, 3); }
void mp4fileio_write32(mp4fileio* io, uint32_t value) { write_be(io, value, 4); }
void mp4fileio_write64(mp4fileio* io, uint64_t value) { write_be(io, value, 8); }
