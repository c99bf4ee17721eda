// ModuleHandle: at most one optional library loaded at run time.
#pragma once

#include "platform/sys/module.h"

class ModuleHandle {
 public:
  ModuleHandle() = default;
  ModuleHandle(const ModuleHandle&) = delete;
  ModuleHandle& operator=(const ModuleHandle&) = delete;
  virtual ~ModuleHandle();

  // Frees the current library, then loads `name`: 0 on success, 1 on failure.
  int Load(const char* name);
  // 0 when nothing is loaded any more; -1 when unloading failed (the handle is kept).
  int Free();
  // The address of an exported function, or null (also when nothing is loaded).
  FARPROC GetProc(const char* name) const;
  bool IsLoaded() const { return m_module != nullptr; }

 private:
  HMODULE m_module = nullptr;
};
