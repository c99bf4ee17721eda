// Opening a file through the handler registered for its extension.
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/registry/registry.h"
#include "platform/sys/codepage.h"
#include "platform/sys/module.h"
#include "platform/vfw/avifile.h"

namespace {

using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);

std::string KeyOfExtension(const char* extension) {
  std::string key = "AVIFile\\Extensions\\";
  for (const char* p = extension; *p; ++p) key += static_cast<char>(*p >= 'a' && *p <= 'z' ? *p - 32 : *p);
  return key;
}

std::string KeyOfClass(REFCLSID clsid) {
  char text[39];
  GuidToString(clsid, text);
  return std::string("CLSID\\") + text;
}

bool ReadDefault(const std::string& key, char* out, DWORD size) {
  HKEY k;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  DWORD type = 0, n = size;
  LONG r = RegQueryValueExA(k, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(out), &n);
  RegCloseKey(k);
  if (r != ERROR_SUCCESS || type != REG_SZ || n == 0 || n > size) return false;
  out[n - 1] = 0;
  return true;
}

LONG WriteDefault(const std::string& key, const char* value) {
  HKEY k;
  LONG r = RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                           &k, nullptr);
  if (r != ERROR_SUCCESS) return r;
  r = RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), DWORD(std::strlen(value) + 1));
  RegCloseKey(k);
  return r;
}

// Modules stay loaded for the life of the process: objects they made may outlive any caller.
GetClassObjectFunction LoadHandlerModule(const std::string& path) {
  static std::mutex mutex;
  static std::map<std::string, GetClassObjectFunction> loaded;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = loaded.find(path);
  if (it != loaded.end()) return it->second;
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) return nullptr;
  auto function = reinterpret_cast<GetClassObjectFunction>(GetProcAddress(module, "DllGetClassObject"));
  if (!function) {
    FreeLibrary(module);
    return nullptr;
  }
  loaded[path] = function;
  return function;
}

HRESULT CreateHandler(REFCLSID clsid, PAVIFILE* out) {
  *out = nullptr;
  if (clsid == CLSID_AVIFile) {
    *out = AVIFileCreatePlainHandler();
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  char path[4096];
  if (!AVIFileGetHandlerModule(clsid, path, sizeof path)) return REGDB_E_CLASSNOTREG;
  GetClassObjectFunction get = LoadHandlerModule(path);
  if (!get) return REGDB_E_CLASSNOTREG;
  IClassFactory* factory = nullptr;
  HRESULT hr = get(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr) || !factory) return FAILED(hr) ? hr : E_FAIL;
  void* object = nullptr;
  hr = factory->CreateInstance(nullptr, IID_IAVIFile, &object);
  factory->Release();
  if (FAILED(hr) || !object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
  *out = static_cast<PAVIFILE>(object);
  return S_OK;
}

}  // namespace

LONG AVIFileRegisterHandler(const char* extension, REFCLSID clsid, const char* module_path,
                            const char* description) {
  if (!extension || !module_path) return ERROR_INVALID_PARAMETER;
  char text[39];
  GuidToString(clsid, text);
  LONG r = WriteDefault(KeyOfExtension(extension), text);
  if (r == ERROR_SUCCESS) r = WriteDefault(KeyOfClass(clsid), description ? description : "");
  if (r == ERROR_SUCCESS) r = WriteDefault(KeyOfClass(clsid) + "\\InprocServer32", module_path);
  return r;
}

bool AVIFileGetHandler(const char* extension, CLSID* clsid) {
  char text[64];
  return extension && ReadDefault(KeyOfExtension(extension), text, sizeof text) && GuidFromString(text, clsid);
}

bool AVIFileGetHandlerModule(REFCLSID clsid, char* path, DWORD size) {
  return ReadDefault(KeyOfClass(clsid) + "\\InprocServer32", path, size);
}

HRESULT AVIFileOpenA(PAVIFILE* ppfile, const char* path, UINT mode, const CLSID* handler) {
  if (!ppfile) return AVIERR_BADPARAM;
  *ppfile = nullptr;
  if (!path) return AVIERR_BADPARAM;
  CLSID clsid = CLSID_AVIFile;
  if (handler) {
    clsid = *handler;
  } else {
    const char* slash = std::strrchr(path, '/');
    const char* dot = std::strrchr(slash ? slash : path, '.');
    CLSID registered;
    if (dot && dot[1] && AVIFileGetHandler(dot + 1, &registered)) clsid = registered;
  }
  PAVIFILE file = nullptr;
  HRESULT hr = CreateHandler(clsid, &file);
  if (FAILED(hr)) return hr;
  IPersistFile* persist = nullptr;
  hr = file->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
  if (FAILED(hr) || !persist) {
    file->Release();
    return AVIERR_BADFORMAT;
  }
  int n = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  std::u16string wide(static_cast<size_t>(n > 0 ? n : 1), u'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), n);
  hr = persist->Load(wide.c_str(), mode);
  persist->Release();
  if (FAILED(hr)) {
    file->Release();
    return AVIERR_FILEOPEN;
  }
  *ppfile = file;
  return S_OK;
}

HRESULT AVIFileOpenW(PAVIFILE* ppfile, const char16_t* path, UINT mode, const CLSID* handler) {
  if (!path) return AVIERR_BADPARAM;
  int n = WideCharToMultiByte(CP_ACP, 0, path, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return AVIERR_BADPARAM;
  std::string narrow(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, path, -1, narrow.data(), n, nullptr, nullptr);
  return AVIFileOpenA(ppfile, narrow.c_str(), mode, handler);
}
