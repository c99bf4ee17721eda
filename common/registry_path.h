// RegistryPath: registry values addressed by one textual path such as
// "HKEY_LOCAL_MACHINE\Software\Brenn\Orvanta\FPSConv": a root name, the key path, and after the
// last backslash the value name (none: the key's default value). Every call returns 0 on
// success and -1 on failure (bad path, missing key or value, wrong type or size), in which case
// the output is left untouched.
#pragma once

#include "common/shared_string.h"
#include "platform/registry/registry.h"

class RegistryPath {
 public:
  // Longest value accepted when reading; larger values read as failures.
  static constexpr DWORD kMaxValueBytes = 1 << 20;

  RegistryPath() = default;
  RegistryPath(const RegistryPath&) = delete;
  RegistryPath& operator=(const RegistryPath&) = delete;
  virtual ~RegistryPath() = default;

  int ReadString(const char* path, SharedString& out);  // REG_SZ
  int ReadDword(const char* path, DWORD& out);          // REG_DWORD, 4 bytes
  int ReadBinary(const char* path, void* out, DWORD size);  // REG_BINARY of exactly size bytes
  int WriteString(const char* path, const char* text);  // REG_SZ, terminator included
  int WriteDword(const char* path, DWORD value);
  int WriteBinary(const char* path, const void* data, DWORD size);

  // The parts of the last parsed path (for tests and diagnostics).
  HKEY Root() const { return m_root; }
  const SharedString& KeyPath() const { return m_keyPath; }
  const SharedString& ValueName() const { return m_valueName; }
  // Splits a path into root, key path and value name. 0, or -1 for an empty path or one that is
  // only a root name. A path without a root name keeps the root of the previous call (none at
  // first, which fails).
  int Parse(const char* path);

 private:
  int Read(const char* path, DWORD type, SharedString* text, void* out, DWORD size);
  int Write(const char* path, DWORD type, const void* data, DWORD size);
  HKEY m_root = nullptr;
  SharedString m_keyPath;
  SharedString m_valueName;
};
