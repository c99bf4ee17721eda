// Discovery of the subtitle files that belong to a movie, and the language names of the
// multi-stream formats.
#pragma once

#include "common/shared_string.h"
#include "common/string_list.h"

struct LanguageRow {
  const char* name;
  const char* code;
};
extern const LanguageRow LanguageTable[19];
constexpr int kLanguageCount = 19;

// Extensions discovery looks for, in order.
extern const char* const kSubtitleExtensions[10];

// The name of the language with this two-letter code (any case), else the code itself.
SharedString LanguageNameFromCode(const char* code);

// Folder (ending in the separator) of a search path element relative to the movie's folder;
// empty when the element leads nowhere (no movie folder, or above the root).
SharedString CombinePath(const char* base, const char* element);

// Appends the candidate subtitle files for the movie, in discovery order and without
// duplicates. searchPath is ';'-separated. Returns 0.
int FindSubtitleFiles(StringList& list, const char* searchPath, const char* moviePath);
