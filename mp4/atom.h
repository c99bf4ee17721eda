// Atoms held in memory (read side) and atoms being written (sizes patched afterwards).
#pragma once

#include <cstdint>

#include "mp4/mp4fileio.h"

constexpr uint32_t mp4_fourcc(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
         (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

// An atom, or part of one, inside a buffer. end never lies beyond the buffer that holds it.
struct mp4_mem_atom {
  uint64_t size;
  uint32_t type;
  uint8_t* data;
  uint8_t* payload;
  uint8_t* cursor;
  uint8_t* end;
};

struct mp4_atom_header {
  int64_t offset;
  uint64_t size;
  uint32_t type;
};

struct mp4_atom_writer {
  mp4fileio* io;
  uint32_t type;
  int64_t start;
  int64_t payload;
  uint64_t size;
};

// Finds a top-level atom; 0 when found (the file is positioned at its first byte), 1 when not.
int mp4_find_atom(mp4fileio* io, uint32_t type, mp4_atom_header* header);
// Reads the whole atom at the current position into a new buffer (released with std::free on
// atom->data). Returns 0, or 1 with the error slot set.
int mp4_load_atom(mp4fileio* io, const mp4_atom_header* header, mp4_mem_atom* atom,
                  const char** error);
// Sets up an atom over bytes [data, end): reads size and type. Returns 0 when the header is sane
// (at least its own length and not beyond end), 1 otherwise.
int mp4_mem_readheader(mp4_mem_atom* atom, uint8_t* data, uint8_t* end);

uint32_t mp4_mem_read8(mp4_mem_atom* atom);
uint32_t mp4_mem_read16(mp4_mem_atom* atom);
uint32_t mp4_mem_read24(mp4_mem_atom* atom);
uint32_t mp4_mem_read32(mp4_mem_atom* atom);
uint64_t mp4_mem_read64(mp4_mem_atom* atom);
// Advances the cursor by count bytes, at most to the end.
void mp4_mem_skip(mp4_mem_atom* atom, uint64_t count);
uint64_t mp4_mem_remaining(const mp4_mem_atom* atom);

// Next child at the parent's cursor; returns 1 and fills child when there is one, else 0.
int mp4_mem_next_child(mp4_mem_atom* parent, mp4_mem_atom* child);
void mp4_mem_first_child(mp4_mem_atom* parent);
// Next descriptor (any tag when tag is 0): returns its tag with length set, 0 at the end.
int mp4_mem_next_descriptor(mp4_mem_atom* atom, uint32_t* length, uint32_t tag);

int mp4_atom_begin(mp4fileio* io, mp4_atom_writer* writer, uint32_t type, int large,
                   const char** error);
uint64_t mp4_atom_end(mp4_atom_writer* writer, int large, const char** error);
