#include "common/module_handle.h"

ModuleHandle::~ModuleHandle() { Free(); }

int ModuleHandle::Load(const char* name) {
  Free();
  m_module = LoadLibraryA(name);
  return m_module ? 0 : 1;
}

int ModuleHandle::Free() {
  if (!m_module) return 0;
  if (!FreeLibrary(m_module)) return -1;
  m_module = nullptr;
  return 0;
}

FARPROC ModuleHandle::GetProc(const char* name) const {
  return m_module ? GetProcAddress(m_module, name) : nullptr;
}
