// Operations shared between the library's source files; not part of its public face.
#pragma once

#include <cstdint>

#include "mp4/mp4file.h"

constexpr uint64_t kMp4TimeBase = 2082844800;  // seconds from 1904-01-01 to 1970-01-01
extern const char kMp4Banner[];                 // hdlr name written

uint64_t mp4_now();
uint32_t mp4_be32(const uint8_t* p);
uint64_t mp4_be64(const uint8_t* p);
void mp4_put_be32(uint8_t* p, uint32_t v);
void mp4_put_be64(uint8_t* p, uint64_t v);

const char* mp4_object_type_name(uint32_t objectTypeIndication);
const char* mp4_stream_type_name(uint32_t streamType);
int mp4_is_visual_type(uint32_t objectTypeIndication);
int mp4_is_audio_type(uint32_t objectTypeIndication);

// Growable table buffers (geometric growth: appends cost amortised constant time).
int mp4_table_append(mp4_table_buffer* b, const void* data, size_t count);
void mp4_table_free(mp4_table_buffer* b);

// Tables.
int mp4file_stbl_add_sample(mp4_track* t, uint64_t offset, uint32_t size, int sync,
                            uint32_t duration, int32_t composition_offset);
int mp4_track_decode_time(mp4_track* t, uint64_t index, uint64_t* time);
int32_t mp4_track_composition_offset(mp4_track* t, uint64_t index);
int mp4_track_sample_delta(mp4_track* t, uint64_t index, uint32_t* delta);
uint32_t mp4_track_sample_size(const mp4_track* t, uint64_t index);
uint64_t mp4_track_chunk_offset(const mp4_track* t, uint64_t chunk_index);
int mp4_track_locate(mp4_track* t, uint64_t index, uint64_t* offset);
int32_t mp4_ctts_normalise(mp4_ctts* c);
void mp4_track_compute_rates(mp4_track* t);
int mp4file_moov_compute_duration(mp4_movie* movie, const char** error);
void mp4_track_release(mp4_track* t);
// Checks a read track's tables against each other and the file length.
int mp4_track_validate(mp4_track* t, int64_t file_length, const char** error);

// Tree.
int mp4file_moov_read(mp4_mem_atom* moov, mp4_movie* movie, const char** error);
uint64_t mp4file_moov_write(mp4_movie* movie, mp4fileio* io, const char** error);

// Media handlers.
mp4_media_handler* mp4_media_handler_create(uint32_t objectTypeIndication, mp4_track* track,
                                            int checking);
int media_specific_handle_data(mp4_media_handler* handler, mp4file* h, const uint8_t* data,
                               int64_t length, int whole);
void mp4_media_handler_release(mp4_media_handler* handler);
void mp4_log(mp4file* h, int level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
