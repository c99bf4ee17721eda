#include "platform/sys/find_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

struct FindState {
  std::vector<FindData> entries;
  size_t next = 0;
};

std::mutex g_mutex;
std::set<FindState*>& OpenHandles() {
  static std::set<FindState*>* handles = new std::set<FindState*>;
  return *handles;
}

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Greedy match with one backtrack point: linear in practice, never recursive.
bool Match(const char* p, size_t plen, const char* n) {
  size_t pi = 0, ni = 0, nlen = std::strlen(n);
  size_t starP = SIZE_MAX, starN = 0;
  while (ni < nlen) {
    if (pi < plen && (p[pi] == '?' || (p[pi] != '*' && Fold(p[pi]) == Fold(n[ni])))) {
      ++pi;
      ++ni;
    } else if (pi < plen && p[pi] == '*') {
      starP = pi++;
      starN = ni;
    } else if (starP != SIZE_MAX) {
      pi = starP + 1;
      ni = ++starN;
    } else {
      return false;
    }
  }
  while (pi < plen && p[pi] == '*') ++pi;
  return pi == plen;
}

}  // namespace

bool MatchesWildcard(const char* pattern, const char* name) {
  if (!pattern || !name) return false;
  size_t plen = std::strlen(pattern);
  if (Match(pattern, plen, name)) return true;
  if (plen >= 2 && pattern[plen - 2] == '.' && pattern[plen - 1] == '*' && !std::strchr(name, '.'))
    return Match(pattern, plen - 2, name);
  return false;
}

intptr_t FindFirst(const char* pattern, FindData* data) {
  if (!pattern || !data) return -1;
  size_t len = std::strlen(pattern);
  if (len == 0 || len > static_cast<size_t>(kMaxPathLength)) return -1;
  std::string full(pattern, len);
  size_t slash = full.rfind(kPathSeparator);
  std::string folder, wild;
  if (slash == std::string::npos) {
    folder = ".";
    wild = full;
  } else {
    folder = slash == 0 ? std::string(kPathSeparatorText) : full.substr(0, slash);
    wild = full.substr(slash + 1);
  }
  if (wild.empty()) return -1;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return -1;
  auto* state = new FindState;
  while (dirent* e = readdir(dir)) {
    const char* name = e->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    size_t nlen = std::strlen(name);
    if (nlen > static_cast<size_t>(kMaxPathLength)) continue;
    if (!MatchesWildcard(wild.c_str(), name)) continue;
    FindData fd{};
    std::memcpy(fd.name, name, nlen + 1);
    std::string path = folder + kPathSeparator + name;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
      fd.size = static_cast<uint64_t>(st.st_size);
      fd.timeWrite = static_cast<int64_t>(st.st_mtime);
      if (S_ISDIR(st.st_mode)) {
        fd.attrib |= kFindAttrSubdir;
        fd.size = 0;
      } else {
        fd.attrib |= kFindAttrArchive;
      }
      if (access(path.c_str(), W_OK) != 0) fd.attrib |= kFindAttrReadOnly;
    }
    if (name[0] == '.') fd.attrib |= kFindAttrHidden;
    state->entries.push_back(fd);
  }
  closedir(dir);
  if (state->entries.empty()) {
    delete state;
    return -1;
  }
  std::sort(state->entries.begin(), state->entries.end(),
            [](const FindData& a, const FindData& b) { return std::strcmp(a.name, b.name) < 0; });
  *data = state->entries[0];
  state->next = 1;
  std::lock_guard<std::mutex> lock(g_mutex);
  OpenHandles().insert(state);
  return reinterpret_cast<intptr_t>(state);
}

int FindNext(intptr_t handle, FindData* data) {
  if (!data) return -1;
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = OpenHandles().find(reinterpret_cast<FindState*>(handle));
  if (it == OpenHandles().end()) return -1;
  FindState* state = *it;
  if (state->next >= state->entries.size()) return -1;
  *data = state->entries[state->next++];
  return 0;
}

int FindClose(intptr_t handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = OpenHandles().find(reinterpret_cast<FindState*>(handle));
  if (it == OpenHandles().end()) return -1;
  delete *it;
  OpenHandles().erase(it);
  return 0;
}
