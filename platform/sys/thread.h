// Threads in the shape the product code uses: a start routine returning an exit code, an
// optional suspended start, a handle to wait on and read the exit code from, and a numeric
// thread id. A handle must be closed once; the thread's resources go when it has ended and its
// handle is closed (closing a running thread's handle lets it run on to completion).
#pragma once

#include "platform/sys/types.h"

struct HostThread;
using ThreadHandle = HostThread*;
using ThreadStart = unsigned (*)(void* parameter);

constexpr DWORD CREATE_SUSPENDED = 0x00000004;
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD STILL_ACTIVE = 259;

// Starts `start(parameter)` on a new thread (held before its first instruction when `flags`
// has CREATE_SUSPENDED). Stores the new thread's id in *threadId when given. Null on failure.
ThreadHandle BeginThread(ThreadStart start, void* parameter, DWORD flags, DWORD* threadId);
// Lets a suspended thread run. Returns the previous suspend count (1 or 0), WAIT_FAILED for null.
DWORD ResumeThread(ThreadHandle thread);
// WAIT_OBJECT_0 once the thread has ended, WAIT_TIMEOUT when `milliseconds` passed first.
DWORD WaitForThread(ThreadHandle thread, DWORD milliseconds);
// The exit code, or STILL_ACTIVE while the thread runs.
BOOL GetExitCodeThread(ThreadHandle thread, DWORD* exitCode);
BOOL CloseThreadHandle(ThreadHandle thread);

// The calling thread's id: the kernel's id of the thread, unique among running threads.
DWORD GetCurrentThreadId();
void Sleep(DWORD milliseconds);
