#include "subtitles/subtitle_readers.h"

#include "subtitles/subtitle_engine.h"

// No format reader is part of the build yet; each one adds { "name", &SubtitleEngine::Read... }.
const SubtitleReaderRow kSubtitleReaders[] = {
    {"", nullptr},
};
const int kSubtitleReaderCount = 0;
