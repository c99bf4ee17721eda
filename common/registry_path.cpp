#include "common/registry_path.h"

#include <cstring>
#include <vector>

namespace {

struct RootName {
  const char* name;
  HKEY key;
};

const RootName kRoots[] = {{"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                       {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                       {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                       {"HKEY_USERS", HKEY_USERS}};

}  // namespace

int RegistryPath::Parse(const char* path) {
  if (!path || !*path) return -1;
  const char* rest = path;
  for (const RootName& r : kRoots) {
    const size_t n = std::strlen(r.name);
    if (std::strncmp(path, r.name, n) == 0) {
      m_root = r.key;
      rest = path[n] ? path + n + 1 : path + n;  // the name and the one character after it
      if (!*rest) return -1;
      break;
    }
  }
  if (!m_root) return -1;
  SharedString remainder(rest);
  const char* text = remainder.c_str();
  const char* slash = std::strrchr(text, '\\');
  if (slash) {
    m_keyPath = remainder.Left(static_cast<int>(slash - text));
    m_valueName = SharedString(slash + 1);
  } else {
    m_keyPath = remainder;
    m_valueName.Empty();
  }
  return 0;
}

int RegistryPath::Read(const char* path, DWORD type, SharedString* text, void* out, DWORD size) {
  if (Parse(path) != 0) return -1;
  HKEY key = nullptr;
  if (RegOpenKeyExA(m_root, m_keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
  int rc = -1;
  DWORD actualType = 0, bytes = 0;
  if (RegQueryValueExA(key, m_valueName.c_str(), nullptr, &actualType, nullptr, &bytes) ==
          ERROR_SUCCESS &&
      bytes <= kMaxValueBytes) {
    std::vector<BYTE> data(bytes + 1, 0);
    DWORD got = bytes;
    if (RegQueryValueExA(key, m_valueName.c_str(), nullptr, &actualType, data.data(), &got) ==
            ERROR_SUCCESS &&
        got <= bytes && actualType == type) {
      if (text) {
        *text = reinterpret_cast<const char*>(data.data());  // cut at the first zero byte
        rc = 0;
      } else if (got == size) {
        if (size) std::memcpy(out, data.data(), size);
        rc = 0;
      }
    }
  }
  RegCloseKey(key);
  return rc;
}

int RegistryPath::Write(const char* path, DWORD type, const void* data, DWORD size) {
  if (Parse(path) != 0) return -1;
  HKEY key = nullptr;
  if (RegCreateKeyExA(m_root, m_keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return -1;
  const LONG rc = RegSetValueExA(key, m_valueName.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? 0 : -1;
}

int RegistryPath::ReadString(const char* path, SharedString& out) {
  return Read(path, REG_SZ, &out, nullptr, 0);
}

int RegistryPath::ReadDword(const char* path, DWORD& out) {
  return Read(path, REG_DWORD, nullptr, &out, sizeof(DWORD));
}

int RegistryPath::ReadBinary(const char* path, void* out, DWORD size) {
  if (!out && size) return -1;
  return Read(path, REG_BINARY, nullptr, out, size);
}

int RegistryPath::WriteString(const char* path, const char* text) {
  if (!text) text = "";
  const size_t n = std::strlen(text) + 1;
  if (n > kMaxValueBytes) return -1;
  return Write(path, REG_SZ, text, static_cast<DWORD>(n));
}

int RegistryPath::WriteDword(const char* path, DWORD value) {
  return Write(path, REG_DWORD, &value, sizeof(value));
}

int RegistryPath::WriteBinary(const char* path, const void* data, DWORD size) {
  if (!data && size) return -1;
  return Write(path, REG_BINARY, data, size);
}
