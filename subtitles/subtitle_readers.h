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
