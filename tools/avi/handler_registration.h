// First-use registration of the MP4 file handler: when the registry store has no usable handler
// for ".mp4", the tools register liblantrel.so, taken from $LANTREL_MODULE or from the lib folder
// beside the program (build/<tree>/bin -> build/<tree>/lib).
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "avifile/guids.h"
#include "platform/vfw/avifile.h"

inline std::string DefaultLantrelModule() {
  if (const char* env = std::getenv("LANTREL_MODULE"); env && *env) return env;
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (n <= 0) return "liblantrel.so";
  std::string path(self, static_cast<size_t>(n));
  path = path.substr(0, path.find_last_of('/'));
  return path + "/../lib/liblantrel.so";
}

// True when ".mp4" names a handler whose module exists (registering it first if needed). A module
// named by $LANTREL_MODULE replaces whatever is registered.
inline bool EnsureMp4Handler(std::string* error) {
  std::string path = DefaultLantrelModule();
  char resolved[4096];
  if (realpath(path.c_str(), resolved)) path = resolved;
  const bool explicit_module = std::getenv("LANTREL_MODULE") && *std::getenv("LANTREL_MODULE");
  CLSID clsid;
  char module[4096];
  if (AVIFileGetHandler("mp4", &clsid) && AVIFileGetHandlerModule(clsid, module, sizeof module) &&
      access(module, R_OK) == 0 && (!explicit_module || path == module))
    return true;
  if (access(path.c_str(), R_OK) != 0) {
    *error = "the MP4 handler module " + path + " is missing (set LANTREL_MODULE)";
    return false;
  }
  if (AVIFileRegisterHandler("mp4", CLSID_MP4File, path.c_str(), "MP4 file handler") != 0) {
    *error = "cannot register the MP4 handler in the registry store";
    return false;
  }
  return true;
}
