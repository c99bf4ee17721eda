// The registry store: keys holding DWORD, string and binary values, kept in one file per user.
//
// Location: $HOSTREG_PATH if set, else ${XDG_CONFIG_HOME:-$HOME/.config}/hostreg/registry.reg.
// All four roots (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS) live in
// that one per-user file, so "machine-wide" settings are per user on this platform.
//
// Every change is a transaction: the writer takes an exclusive lock on "<file>.lock", reads the
// current file, applies its change, writes a temporary file beside it and renames it over the
// original. Readers never see a half-written file and concurrent writers of different values lose
// neither. A file that does not parse is reported once on standard error, renamed aside to
// "<file>.damaged-<n>" (never overwritten) and read as empty.
//
// Key and value names compare case-insensitively (ASCII), as on the original platform. The
// interface keeps the original calls' shapes so that product code reads as it always has.
#pragma once

#include <cstdint>
#include <string>

#include "platform/sys/types.h"

struct HostRegKey;
using HKEY = HostRegKey*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000003u)))

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens an existing key below `key` (a root or an open key); `subKey` may be null or "" for the
// key itself. ERROR_FILE_NOT_FOUND when it does not exist.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, PHKEY result);
// Opens or creates the key and every missing key above it.
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                     REGSAM access, void* security, PHKEY result, DWORD* disposition);
LONG RegCloseKey(HKEY key);
// Reads a value (name null or "" is the key's default value). With data null only the type and
// size are returned; with a buffer too small, ERROR_MORE_DATA and the needed size.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueA(HKEY key, const char* valueName);
// Deletes a key that has no subkeys (ERROR_KEY_HAS_CHILDREN otherwise).
LONG RegDeleteKeyA(HKEY key, const char* subKey);

namespace hostreg {
// The file the store lives in, as resolved from the environment at this moment.
std::string StorePath();
}  // namespace hostreg
