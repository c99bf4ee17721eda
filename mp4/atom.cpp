#include "mp4/atom.h"

#include <cstdlib>

namespace {
// A moov is bounded by its file, but a file handed to us is never read into memory in one piece
// beyond this, so a hostile size cannot ask for an absurd allocation.
constexpr uint64_t kMaxLoadedAtom = uint64_t(1) << 31;

uint64_t mem_read(mp4_mem_atom* atom, int bytes) {
  if (atom->cursor > atom->end || atom->end - atom->cursor < bytes) return 0;
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | atom->cursor[i];
  atom->cursor += bytes;
  return v;
}
}  // namespace

uint32_t mp4_mem_read8(mp4_mem_atom* a) { return static_cast<uint32_t>(mem_read(a, 1)); }
uint32_t mp4_mem_read16(mp4_mem_atom* a) { return static_cast<uint32_t>(mem_read(a, 2)); }
uint32_t mp4_mem_read24(mp4_mem_atom* a) { return static_cast<uint32_t>(mem_read(a, 3)); }
uint32_t mp4_mem_read32(mp4_mem_atom* a) { return static_cast<uint32_t>(mem_read(a, 4)); }
uint64_t mp4_mem_read64(mp4_mem_atom* a) { return mem_read(a, 8); }

uint64_t mp4_mem_remaining(const mp4_mem_atom* atom) {
  return atom->cursor < atom->end ? static_cast<uint64_t>(atom->end - atom->cursor) : 0;
}

void mp4_mem_skip(mp4_mem_atom* atom, uint64_t count) {
  uint64_t left = mp4_mem_remaining(atom);
  atom->cursor += count < left ? count : left;
}

int mp4_mem_readheader(mp4_mem_atom* atom, uint8_t* data, uint8_t* end) {
  atom->data = atom->cursor = data;
  atom->end = end;
  atom->size = mp4_mem_read32(atom);
  atom->type = mp4_mem_read32(atom);
  uint64_t header = 8;
  if (atom->size == 1) {
    atom->size = mp4_mem_read64(atom);
    header = 16;
  }
  if (atom->type == mp4_fourcc("uuid")) {
    mp4_mem_skip(atom, 16);
    header += 16;
  }
  atom->payload = atom->cursor;
  uint64_t avail = static_cast<uint64_t>(end - data);
  if (avail < header || atom->size < header || atom->size > avail) {
    atom->end = atom->cursor;
    return 1;
  }
  atom->end = data + atom->size;
  return 0;
}

int mp4_mem_next_child(mp4_mem_atom* parent, mp4_mem_atom* child) {
  if (parent->cursor >= parent->end) return 0;
  // A child that claims more than its parent holds, or less than its own header, ends the list.
  if (mp4_mem_readheader(child, parent->cursor, parent->end) != 0) {
    parent->cursor = parent->end;
    return 0;
  }
  parent->cursor = child->end;
  child->cursor = child->data;
  return 1;
}

void mp4_mem_first_child(mp4_mem_atom* parent) { parent->cursor = parent->payload; }

int mp4_mem_next_descriptor(mp4_mem_atom* atom, uint32_t* length, uint32_t tag) {
  *length = 0;
  while (atom->cursor < atom->end) {
    mp4_mem_skip(atom, *length);
    if (atom->cursor >= atom->end) break;
    uint32_t t = mp4_mem_read8(atom);
    uint32_t size = 0;
    for (int i = 0; i < 4; ++i) {  // more than 28 bits of length is not a descriptor we can hold
      if (atom->cursor >= atom->end) break;
      uint32_t b = mp4_mem_read8(atom);
      size = (size << 7) | (b & 0x7F);
      if (!(b & 0x80)) break;
    }
    *length = size;
    if (tag == 0 || tag == t) return static_cast<int>(t);
  }
  return 0;
}

int mp4_find_atom(mp4fileio* io, uint32_t type, mp4_atom_header* header) {
  const int64_t length = mp4fileio_length(io);
  int64_t position = 0;
  while (position < length && length - position >= 8) {
    mp4fileio_seek(io, position);
    header->offset = position;
    uint64_t size = mp4fileio_read32(io);
    if (io->error || size == 0) return 1;
    uint32_t t = mp4fileio_read32(io);
    uint64_t minimum = 8;
    if (size == 1) {
      size = mp4fileio_read64(io);
      minimum = 16;
    }
    if (io->error || size < minimum) return 1;  // an atom that cannot hold its own header
    header->size = size;
    header->type = t;
    if (t == type) {
      mp4fileio_seek(io, position);
      return 0;
    }
    if (size > static_cast<uint64_t>(length - position)) return 1;
    position += static_cast<int64_t>(size);
  }
  return 1;
}

int mp4_load_atom(mp4fileio* io, const mp4_atom_header* header, mp4_mem_atom* atom,
                  const char** error) {
  atom->data = atom->payload = atom->cursor = atom->end = nullptr;
  const int64_t length = mp4fileio_length(io);
  if (header->size > kMaxLoadedAtom || header->offset < 0 || header->offset > length ||
      header->size > static_cast<uint64_t>(length - header->offset)) {
    *error = "mp4_load_atom():  atom is larger than the file";
    return 1;
  }
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(header->size ? header->size : 1));
  if (!buffer) {
    *error = "mp4_load_atom():  malloc() failed";
    return 1;
  }
  mp4fileio_read(io, buffer, header->size);
  if (io->error) {
    *error = io->error;
    std::free(buffer);
    return 1;
  }
  if (mp4_mem_readheader(atom, buffer, buffer + header->size) != 0) {
    *error = "mp4_load_atom():  atom is larger than the file";
    std::free(buffer);
    atom->data = nullptr;
    return 1;
  }
  atom->cursor = atom->payload;
  return 0;
}

int mp4_atom_begin(mp4fileio* io, mp4_atom_writer* writer, uint32_t type, int large,
                   const char** error) {
  writer->io = io;
  writer->type = type;
  writer->size = 0;
  writer->start = mp4fileio_tell(io);
  mp4fileio_write32(io, large ? 1 : 0);
  mp4fileio_write32(io, type);
  if (large) mp4fileio_write64(io, 0);
  writer->payload = mp4fileio_tell(io);
  if (io->error) {
    *error = io->error;
    return 1;
  }
  return 0;
}

uint64_t mp4_atom_end(mp4_atom_writer* writer, int large, const char** error) {
  mp4fileio* io = writer->io;
  int64_t end = mp4fileio_tell(io);
  uint64_t size = static_cast<uint64_t>(end - writer->start);
  if (!large && size > 0xFFFFFFFFull) {
    // Never wrap: a 32-bit size field cannot describe this atom.
    *error = "mp4_atom_end():  atom size needs 64 bits";
    return 0;
  }
  mp4fileio_seek(io, writer->start);
  if (large) {
    mp4fileio_write32(io, 1);
    mp4fileio_write32(io, writer->type);
    mp4fileio_write64(io, size);
  } else {
    mp4fileio_write32(io, static_cast<uint32_t>(size));
    mp4fileio_write32(io, writer->type);
  }
  mp4fileio_seek(io, end);
  writer->size = size;
  if (io->error) *error = io->error;
  return size;
}
