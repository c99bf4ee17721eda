#include "subtitles/subtitle_readers.h"

#include "subtitles/subtitle_engine.h"

const SubtitleReaderRow kSubtitleReaders[] = {
    {"MicroDVD", &SubtitleEngine::ReadMicroDvd},
    {"AqTitle", &SubtitleEngine::ReadAqTitle},
    {"MicroDVD-INI", &SubtitleEngine::ReadMicroDvdIni},
    {"SubRip", &SubtitleEngine::ReadSubRip},
    {"SubViewer 1.0", &SubtitleEngine::ReadSubViewer1},
    {"SubViewer 2.0", &SubtitleEngine::ReadSubViewer2},
    {"TMPlayer", &SubtitleEngine::ReadTmPlayer},
    {"DVDSubtitle", &SubtitleEngine::ReadDvdSubtitle},
    {"Sub Station Alpha", &SubtitleEngine::ReadSubStationAlpha},
    {"JACOsub", &SubtitleEngine::ReadJacoSub},
    {"RealText", &SubtitleEngine::ReadRealText},
};
const int kSubtitleReaderCount = sizeof kSubtitleReaders / sizeof kSubtitleReaders[0];
