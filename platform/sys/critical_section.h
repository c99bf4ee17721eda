// Critical sections with the original platform's semantics: recursive (the owning thread may
// enter again and must leave as often as it entered), not shared between processes.
#pragma once

#include <pthread.h>

#include "platform/sys/types.h"

struct CRITICAL_SECTION {
  pthread_mutex_t mutex;
  bool initialised;
};

void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
// Non-zero when the section was entered (or re-entered by its owner).
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
