#include "platform/registry/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "platform/registry/store.h"

struct HostRegKey {
  std::string path;  // full path, root name first
};

namespace hostreg {

namespace {

const char* RootName(HKEY key) {
  switch (reinterpret_cast<uintptr_t>(key)) {
    case 0x80000000u: return "HKEY_CLASSES_ROOT";
    case 0x80000001u: return "HKEY_CURRENT_USER";
    case 0x80000002u: return "HKEY_LOCAL_MACHINE";
    case 0x80000003u: return "HKEY_USERS";
    default: return nullptr;
  }
}

// The full path of `key` joined with `subKey`, or false for an unusable handle or sub-key.
bool FullPath(HKEY key, const char* subKey, std::string& out) {
  if (key == nullptr) return false;
  const char* root = RootName(key);
  out = root ? root : key->path;
  if (subKey == nullptr || *subKey == 0) return true;
  std::string sub(subKey);
  while (!sub.empty() && sub.back() == '\\') sub.pop_back();  // "Software\" names "Software"
  if (sub.empty() || sub.front() == '\\' || sub.find("\\\\") != std::string::npos) return false;
  out += '\\';
  out += sub;
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& text, struct stat& st, bool& exists) {
  text.clear();
  exists = false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  exists = true;
  bool ok = ::fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) <= kMaxFileBytes;
  if (ok) {
    text.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < text.size()) {
      ssize_t n = ::read(fd, text.data() + got, text.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    text.resize(got);
  }
  ::close(fd);
  return ok;
}

class FileLock {
 public:
  explicit FileLock(const std::string& storePath) {
    std::string dir = storePath.substr(0, storePath.rfind('/'));
    MakeDirs(dir);
    fd_ = ::open((storePath + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  bool ok() const { return fd_ >= 0; }

  static void MakeDirs(const std::string& dir) {
    if (dir.empty()) return;
    for (size_t pos = 1; pos != std::string::npos;) {
      pos = dir.find('/', pos);
      std::string part = dir.substr(0, pos);
      ::mkdir(part.c_str(), 0700);
      if (pos != std::string::npos) ++pos;
    }
  }

 private:
  int fd_ = -1;
};

// The last parsed file, reused while the file on disk is the same one (a rename makes a new
// inode, and every write is a rename).
struct Cache {
  std::mutex mutex;
  std::string path;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  struct timespec mtime = {};
  Store store;
  std::set<std::string> reported;  // damaged files already reported by this process
};

Cache& TheCache() {
  // An ordinary static: a module that links the store and is unloaded frees it with itself.
  static Cache cache;
  return cache;
}

bool SameFile(const Cache& c, const std::string& path, const struct stat& st) {
  return c.path == path && c.dev == st.st_dev && c.ino == st.st_ino && c.size == st.st_size &&
         c.mtime.tv_sec == st.st_mtim.tv_sec && c.mtime.tv_nsec == st.st_mtim.tv_nsec;
}

void Remember(Cache& c, const std::string& path, const struct stat& st, const Store& store) {
  c.path = path;
  c.dev = st.st_dev;
  c.ino = st.st_ino;
  c.size = st.st_size;
  c.mtime = st.st_mtim;
  c.store = store;
}

// Moves a damaged file aside under a name that is not taken yet, and says so once.
void SetAside(Cache& c, const std::string& path, size_t badLine) {
  std::string aside;
  for (int n = 1; n < 1000; ++n) {
    aside = path + ".damaged-" + std::to_string(n);
    if (::access(aside.c_str(), F_OK) != 0) break;
  }
  bool moved = ::rename(path.c_str(), aside.c_str()) == 0;
  if (c.reported.insert(path).second) {
    if (moved)
      std::fprintf(stderr, "registry: %s is damaged (line %zu); kept as %s, starting empty\n", path.c_str(),
                   badLine, aside.c_str());
    else
      std::fprintf(stderr, "registry: %s is damaged (line %zu) and could not be moved aside: %s\n",
                   path.c_str(), badLine, std::strerror(errno));
  }
}

// Loads the store. Without the lock a damaged file is only read as empty; the locked path (used
// by every writer and by a reader that meets damage) moves it aside first, so that exactly one
// process moves it and a file that was being replaced is not mistaken for a damaged one.
Store Load(const std::string& path, bool locked) {
  Cache& c = TheCache();
  std::string text;
  struct stat st {};
  bool exists;
  bool readOk = ReadWholeFile(path, text, st, exists);
  {
    std::lock_guard<std::mutex> guard(c.mutex);
    if (readOk && !exists) return Store{};
    if (readOk && SameFile(c, path, st)) return c.store;
    Store store;
    size_t badLine = 0;
    if (readOk && Parse(text, store, badLine)) {
      Remember(c, path, st, store);
      return store;
    }
    if (locked) {
      SetAside(c, path, readOk ? badLine : 0);
      return Store{};
    }
  }
  FileLock lock(path);
  if (!lock.ok()) return Store{};
  return Load(path, true);
}

bool WriteAtomically(const std::string& path, const std::string& text) {
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, ".tmp-%d-%zu", static_cast<int>(::getpid()),
                std::hash<std::thread::id>{}(std::this_thread::get_id()));
  std::string tmp = path + suffix;
  int fd = ::open(tmp.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (ok && done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}

// Runs `change` on the current store under the file lock and writes the result when the change
// reports that it modified something. Returns the change's result code, or an error of its own.
LONG Transact(const std::function<LONG(Store&, bool&)>& change) {
  std::string path = StorePath();
  FileLock lock(path);
  if (!lock.ok()) return ERROR_ACCESS_DENIED;
  Store store = Load(path, true);
  bool modified = false;
  LONG rc = change(store, modified);
  if (rc != ERROR_SUCCESS || !modified) return rc;
  std::string text = Serialise(store);
  if (text.size() > kMaxFileBytes) return ERROR_OUTOFMEMORY;
  if (!WriteAtomically(path, text)) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

}  // namespace

std::string StorePath() {
  if (const char* p = std::getenv("HOSTREG_PATH"); p && *p) return p;
  std::string base;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') {
    base = x;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      struct passwd* pw = ::getpwuid(::getuid());
      home = pw ? pw->pw_dir : "/tmp";
    }
    base = std::string(home) + "/.config";
  }
  return base + "/hostreg/registry.reg";
}

}  // namespace hostreg

using hostreg::FullPath;

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::string path;
  if (!FullPath(key, subKey, path)) return key == nullptr ? ERROR_INVALID_HANDLE : ERROR_FILE_NOT_FOUND;
  if (path.find('\\') != std::string::npos) {
    hostreg::Store store = hostreg::Load(hostreg::StorePath(), false);
    if (store.find(path) == store.end()) return ERROR_FILE_NOT_FOUND;
  }
  *result = new HostRegKey{path};
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM, void*, PHKEY result,
                     DWORD* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::string path;
  if (!FullPath(key, subKey, path)) return key == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER;
  bool created = false;
  LONG rc = ERROR_SUCCESS;
  if (path.find('\\') != std::string::npos) {
    rc = hostreg::Transact([&](hostreg::Store& store, bool& modified) {
      for (size_t pos = path.find('\\'); pos != std::string::npos; pos = path.find('\\', pos + 1))
        store[path.substr(0, pos)];
      created = store.find(path) == store.end();
      if (created) store[path];
      modified = created;
      return ERROR_SUCCESS;
    });
  }
  if (rc != ERROR_SUCCESS) return rc;
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = new HostRegKey{path};
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (key == nullptr) return ERROR_INVALID_HANDLE;
  if (hostreg::RootName(key) == nullptr) delete key;
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data, DWORD* dataSize) {
  std::string path;
  if (!FullPath(key, nullptr, path)) return ERROR_INVALID_HANDLE;
  if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  hostreg::Store store = hostreg::Load(hostreg::StorePath(), false);
  auto k = store.find(path);
  if (k == store.end()) return ERROR_FILE_NOT_FOUND;
  auto v = k->second.values.find(valueName ? valueName : "");
  if (v == k->second.values.end()) return ERROR_FILE_NOT_FOUND;
  DWORD size = static_cast<DWORD>(v->second.data.size());
  if (type) *type = v->second.type;
  if (data != nullptr) {
    if (*dataSize < size) {
      *dataSize = size;
      return ERROR_MORE_DATA;
    }
    if (size) std::memcpy(data, v->second.data.data(), size);
  }
  if (dataSize) *dataSize = size;
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
  std::string path;
  if (!FullPath(key, nullptr, path)) return ERROR_INVALID_HANDLE;
  if (data == nullptr && dataSize != 0) return ERROR_INVALID_PARAMETER;
  if (dataSize > hostreg::kMaxFileBytes / 4) return ERROR_INVALID_PARAMETER;
  if (path.find('\\') == std::string::npos) return ERROR_ACCESS_DENIED;  // roots hold no values here
  hostreg::Value value;
  value.type = type;
  if (dataSize) value.data.assign(data, data + dataSize);
  return hostreg::Transact([&](hostreg::Store& store, bool& modified) {
    auto k = store.find(path);
    if (k == store.end()) return ERROR_FILE_NOT_FOUND;  // the key was deleted meanwhile
    k->second.values[valueName ? valueName : ""] = value;
    modified = true;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
  std::string path;
  if (!FullPath(key, nullptr, path)) return ERROR_INVALID_HANDLE;
  return hostreg::Transact([&](hostreg::Store& store, bool& modified) {
    auto k = store.find(path);
    if (k == store.end()) return ERROR_FILE_NOT_FOUND;
    modified = k->second.values.erase(valueName ? valueName : "") == 1;
    return modified ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG RegDeleteKeyA(HKEY key, const char* subKey) {
  std::string path;
  if (subKey == nullptr || *subKey == 0) return ERROR_INVALID_PARAMETER;  // never a key itself
  if (!FullPath(key, subKey, path)) return key == nullptr ? ERROR_INVALID_HANDLE : ERROR_FILE_NOT_FOUND;
  return hostreg::Transact([&](hostreg::Store& store, bool& modified) {
    auto k = store.find(path);
    if (k == store.end()) return ERROR_FILE_NOT_FOUND;
    // Children sort directly after "path\" (the map compares without case).
    std::string prefix = path + '\\';
    auto child = store.lower_bound(prefix);
    if (child != store.end() && child->first.size() > prefix.size() &&
        hostreg::SameName(child->first.substr(0, prefix.size()), prefix))
      return ERROR_KEY_HAS_CHILDREN;
    store.erase(k);
    modified = true;
    return ERROR_SUCCESS;
  });
}
