// The subtitle file readers of this build, by the format name each records. Every reader opens
// the file itself, starts with Clear, and returns 0 (entries stored), 1 (read, no entries) or -1
// (not this format or unreadable). A format joins the probing by adding its row here.
#pragma once

class SubtitleEngine;
using SubtitleReader = int (SubtitleEngine::*)(const char* path);

struct SubtitleReaderRow {
  const char* format;
  SubtitleReader read;
};

extern const SubtitleReaderRow kSubtitleReaders[];
extern const int kSubtitleReaderCount;

// The formats Load tries for path's extension, in order, ending with a null entry; the count,
// or -1 for an extension no format claims. For tools that explain why a file did not load.
int SubtitleProbeFormats(const char* path, const char* formats[7]);
