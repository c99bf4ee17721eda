// The in-memory form of the registry file and its text encoding. Kept apart from the file
// handling so that the parser can be tested and fuzzed on bytes alone.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "platform/sys/types.h"

namespace hostreg {

// ASCII case-insensitive ordering, as key and value names compare on the original platform.
struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

inline bool SameName(const std::string& a, const std::string& b) {
  return !NoCaseLess{}(a, b) && !NoCaseLess{}(b, a);
}

struct Value {
  DWORD type = 0;
  std::vector<BYTE> data;
};

struct Key {
  std::map<std::string, Value, NoCaseLess> values;  // "" is the key's default value
};

// Every key by its full path, root name included ("HKEY_CURRENT_USER\Software\Mirabe").
// Parent keys are always present as entries of their own.
using Store = std::map<std::string, Key, NoCaseLess>;

// The file never grows past this; a larger one is treated as damaged rather than loaded.
constexpr size_t kMaxFileBytes = 64u << 20;

// Parses the text of a registry file. Returns false (and the 1-based line of the fault) when the
// text is not a well-formed store; `out` is then unspecified.
bool Parse(const std::string& text, Store& out, size_t& badLine);
std::string Serialise(const Store& store);

}  // namespace hostreg
