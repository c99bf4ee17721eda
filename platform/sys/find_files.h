// Wildcard file listing in the shape of the runtime library's _findfirst/_findnext: a pattern
// whose last component may hold '*' (any run of characters) and '?' (exactly one character).
//
// Differences from a raw directory scan, kept so that callers behave as on the original platform:
// - Results come sorted by name (byte order), so every run lists a folder the same way.
// - Names match case-insensitively (ASCII letters), as the original file system did: "*.srt"
//   finds "Movie.SRT".
// - A pattern ending in ".*" also matches names without a dot ("*.*" lists everything).
// - "." and ".." are never listed. Names longer than kMaxPathLength are skipped.
#pragma once

#include <cstdint>

#include "platform/sys/path.h"
#include "platform/sys/types.h"

constexpr unsigned kFindAttrReadOnly = 0x01;
constexpr unsigned kFindAttrHidden = 0x02;  // the name starts with '.'
constexpr unsigned kFindAttrSubdir = 0x10;
constexpr unsigned kFindAttrArchive = 0x20;  // a regular file

struct FindData {
  unsigned attrib;
  int64_t timeWrite;  // seconds since 1970
  uint64_t size;
  char name[kMaxPathLength + 1];  // the name only, without the folder
};

// -1 when the pattern is null, empty or longer than kMaxPathLength, its folder cannot be read,
// or nothing matches; otherwise a handle for FindNext/FindClose, with the first match in *data.
intptr_t FindFirst(const char* pattern, FindData* data);
// 0 with the next match in *data, -1 when there is none or the handle is not open.
int FindNext(intptr_t handle, FindData* data);
// 0 when the handle was open, -1 otherwise.
int FindClose(intptr_t handle);

// True when `name` matches `pattern` under the rules above ('*', '?', case-insensitive, ".*").
bool MatchesWildcard(const char* pattern, const char* name);
