#include "common/worker_thread.h"

WorkerThread::~WorkerThread() {
  if (m_handle) CloseThreadHandle(m_handle);
}

unsigned WorkerThread::Entry(void* self) { return static_cast<WorkerThread*>(self)->Run(); }

bool WorkerThread::Start(void* parameter, DWORD flags) {
  if (m_handle) return true;
  m_parameter = parameter;
  m_handle = BeginThread(&WorkerThread::Entry, this, flags, &m_threadId);
  return m_handle == nullptr;
}

DWORD WorkerThread::Wait(DWORD milliseconds) {
  return m_handle ? WaitForThread(m_handle, milliseconds) : WAIT_FAILED;
}
