// The mp4file container library: files with one MPEG-4 Visual and one MP3 track, read and
// written through free functions over the records below. Failures leave a message text in the
// handle (mp4file_get_error); no function throws.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mp4/atom.h"
#include "mp4/mp4fileio.h"

struct mp4_media_handler;

// Log levels of the messages sent to the handle's callback.
enum { MP4_LOG_INFO = 0, MP4_LOG_WARNING = 1, MP4_LOG_ERROR = 2, MP4_LOG_FATAL = 3 };
using mp4file_log_function = void (*)(void* context, int level, const char* text);

// A growable buffer holding table entries in file byte order (write mode, or a rewritten table).
struct mp4_table_buffer {
  uint8_t* data;
  size_t size;
  size_t capacity;
};

struct mp4_stts {
  uint32_t version_flags;
  uint32_t entry_count;
  uint8_t* entries;  // (sample_count, sample_delta) pairs
  uint32_t cursor_entry;
  uint64_t cursor_first;
  uint64_t cursor_time;
  uint64_t total;  // write mode: sum of all deltas
  mp4_table_buffer buffer;
};

struct mp4_ctts {
  uint32_t version_flags;
  uint32_t entry_count;
  uint8_t* entries;  // (sample_count, sample_offset) pairs
  int present;
  uint32_t cursor_entry;
  uint64_t cursor_first;
  mp4_table_buffer buffer;
};

struct mp4_stsz {
  uint32_t version_flags;
  uint32_t sample_size;
  uint32_t sample_count;
  uint8_t* entries;
  mp4_table_buffer buffer;
};

struct mp4_stss {
  uint32_t version_flags;
  uint32_t entry_count;
  uint8_t* entries;  // 1-based sample numbers
  int present;       // read: the atom exists; write: a table is kept (some sample is not sync)
  int usable;
  uint32_t samples_added;
  mp4_table_buffer buffer;
};

struct mp4_stco {
  int width;  // 4 for stco, 8 for co64
  uint32_t version_flags;
  uint32_t entry_count;
  uint8_t* entries;
  mp4_table_buffer buffer;
};

struct mp4_stsc {
  uint32_t version_flags;
  uint32_t entry_count;
  uint8_t* entries;  // (first_chunk, samples_per_chunk, sample_description_index)
  uint8_t inline_entry[12];
  // Lookup cursor over the runs of equal chunks.
  uint32_t cursor_entry;
  uint64_t cursor_before;  // samples before the cursor's entry
};

struct mp4_sample_entry {
  char format[5];
  uint32_t data_reference_index;
  uint32_t ES_ID;
  int streamDependence;
  uint32_t dependsOn_ES_ID;
  int OCRstream;
  uint32_t OCR_ES_Id;
  uint32_t width;
  uint32_t height;
  uint32_t objectTypeIndication;
  uint32_t streamType;
  uint32_t bufferSizeDB;
  uint32_t maxBitrate;
  uint32_t avgBitrate;
  uint32_t dsi_length;
  uint8_t* dsi;  // owned
};

struct mp4_stsd {
  uint32_t version_flags;
  uint32_t entry_count;
  mp4_sample_entry* entries;  // owned
};

// Where the last located sample lay, so that reading in order costs constant time per sample.
struct mp4_locate_cursor {
  int valid;
  uint64_t index;
  uint64_t chunk_first;   // first sample of the chunk holding index
  uint64_t chunk_end;     // one past its last sample
  uint64_t offset;        // file offset of sample index
  uint64_t chunk_offset;  // file offset of the chunk
};

struct mp4_track {
  // track header
  uint32_t tkhd_version_flags;
  uint64_t tkhd_creation;
  uint64_t tkhd_modification;
  uint32_t track_ID;
  uint64_t tkhd_duration;
  int is_audio;
  int is_visual;
  uint32_t width;
  uint32_t height;
  // media header
  uint32_t mdhd_version_flags;
  uint64_t mdhd_creation;
  uint64_t mdhd_modification;
  uint32_t timescale;
  uint64_t media_duration;
  char language[4];
  // handler
  uint32_t hdlr_version_flags;
  char handler_type[5];
  char handler_name[161];
  // media information
  int vmhd_present;
  uint32_t vmhd;
  int smhd_present;
  uint32_t smhd;
  uint32_t dref_count;
  uint32_t* dref;  // owned
  // sample tables
  mp4_stss stss;
  mp4_stts stts;
  mp4_ctts ctts;
  mp4_stsz stsz;
  mp4_stsd stsd;
  mp4_stsc stsc;
  mp4_stco stco;
  mp4_locate_cursor locate;
  mp4_media_handler* handler;  // write mode
};

struct mp4_movie {
  uint32_t version_flags;
  uint64_t creation;
  uint64_t modification;
  uint32_t timescale;
  uint64_t duration;
  uint32_t next_track_ID;
  uint32_t iods_version_flags;
  uint32_t audio_profile;
  uint32_t visual_profile;
  uint32_t track_count;
  uint32_t track_capacity;
  mp4_track* tracks;
};

constexpr uint32_t MP4FILE_FAILED = 0x21524111;

struct mp4file {
  mp4fileio io;
  const char* error;
  mp4_mem_atom moov;  // read mode: owns the loaded buffer (moov.data)
  mp4_movie movie;
  mp4_atom_writer mdat;
  int read_mode;
  uint32_t reference_count;
  int64_t reserve;
  mp4file_log_function log;
  void* log_context;
};

// Handles.
mp4file* mp4file_open(const char* path);
mp4file* mp4file_open_user(const mp4fileio_user_functions* functions, void* context);
// A null path creates nothing and only counts what would be written.
mp4file* mp4file_create(const char* path, uint32_t movie_timescale, int64_t reserve);
uint64_t mp4file_finish(mp4file* h, int faststart);
void mp4file_close(mp4file* h);
void mp4file_add_ref(mp4file* h);
void mp4file_release(mp4file* h);
const char* mp4file_get_error(const mp4file* h);
void mp4file_clear_error(mp4file* h);
void mp4file_set_log_callback(mp4file* h, mp4file_log_function function, void* context);
const char* mp4file_get_version();
uint64_t mp4file_get_duration(mp4file* h);
uint32_t mp4file_get_timescale(mp4file* h);

// Tracks.
int mp4file_add_track(mp4file* h, uint32_t objectTypeIndication, uint32_t timescale,
                      const char* language);
int mp4file_open_track(mp4file* h, const char* codec, const char* language,
                       const char* handler_type, uint32_t* timescale);
int mp4file_set_DecoderSpecificInfo(mp4file* h, int track, const uint8_t* bytes, uint32_t length);
int mp4file_get_DecoderSpecificInfo(mp4file* h, int track, const uint8_t** bytes,
                                    uint32_t* length);
int mp4file_set_video_size(mp4file* h, int track, uint32_t width, uint32_t height);
int mp4file_get_objectTypeIndication(mp4file* h, int track);
mp4_track* mp4file_find_track(mp4file* h, int track_ID);

// Samples. Indexes are 0-based; sync sample numbers are 1-based.
int mp4_file_add_sample(mp4file* h, int track, const uint8_t* data, int64_t length, int whole);
int mp4file_add_raw_sample(mp4file* h, int track, const uint8_t* data, uint32_t length, int sync,
                           uint32_t duration, int32_t composition_offset);
uint32_t mp4file_read_sample(mp4file* h, int track, uint32_t index, uint8_t* buffer,
                             uint32_t buffer_size);
uint32_t mp4file_get_sample_count(mp4file* h, int track);
int64_t mp4file_get_sample_size(mp4file* h, int track, uint32_t index);
int mp4file_get_sample_time(mp4file* h, int track, uint32_t index, uint64_t* time,
                            uint32_t* timescale);
int mp4file_get_sample_decode_time(mp4file* h, int track, uint32_t index, uint64_t* time);
int mp4file_get_sample_offset(mp4file* h, int track, uint32_t index, uint64_t* offset);
uint32_t mp4file_get_sample_at_time(mp4file* h, int track, uint64_t time);
int mp4file_get_vop_type(mp4file* h, int track, uint32_t index);
int mp4file_is_sync_sample(mp4file* h, int track, uint32_t number);
uint32_t mp4file_prev_sync_sample(mp4file* h, int track, uint32_t number);
uint32_t mp4file_next_sync_sample(mp4file* h, int track, uint32_t number);

// Whole files.
const char* mp4file_make_faststart(const char* input, const char* output);
void mp4file_dump(mp4file* h);
int mp4file_check(mp4file* h);
