// The AVI to MP4 converter: a command line packaged as a module entry point.
#pragma once

#include "platform/sys/export.h"

// argv is a command line: program name, options, input AVI, output MP4. log_path is null
// (nothing logged), "*stdout*" or a file path. `cancel`, when given and non-zero after a chunk,
// stops the run; `progress`, when given, receives 0..50 in the first pass and 50..100 in the
// second. Returns 0 on success, 1 on failure.
MC_EXPORT int Avi2Mp4(int argc, char** argv, const char* log_path, volatile int* cancel,
                      volatile int* progress);

// The VOP coding type of one AVI video chunk ('I', 'P', 'B', 'S', or 'e' when it cannot be
// parsed). A B-VOP anywhere in the chunk gives 'B'. The layer header seen in a chunk is kept for
// the chunks after it; avi2mp4_reset_layer forgets it.
char avi2mp4_vop_coding_type(const unsigned char* chunk, unsigned size);
void avi2mp4_reset_layer();
// Offset of the first VOP start code (00 00 01 B6) at or after `from`, or -1.
long long avi2mp4_find_vop(const unsigned char* data, unsigned size, unsigned from);
