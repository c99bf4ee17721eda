// Process-wide state: the driver settings kept in the registry and the default instance state.
#include <atomic>
#include <memory>
#include <cstring>
#include <mutex>

#include "codec/codec_state.h"
#include "platform/registry/registry.h"

namespace aviqpak {
namespace {

std::atomic<DWORD> g_settings{0};
std::mutex g_defaultLock;
CodecState g_default = kInitialState;

}  // namespace

DWORD Settings() { return g_settings.load(); }
void SetSettings(DWORD bits) { g_settings.store(bits); }

CodecState DefaultState() {
  std::lock_guard<std::mutex> hold(g_defaultLock);
  return g_default;
}

void SetDefaultState(const CodecState& state) {
  std::lock_guard<std::mutex> hold(g_defaultLock);
  g_default = state;
}

void LoadSettings() {
  HKEY key = nullptr;
  DWORD disposition = 0;
  char keyClass[] = "aviqpak";
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, keyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, &disposition) != ERROR_SUCCESS)
    return;
  if (disposition == REG_OPENED_EXISTING_KEY) {
    // Only the first four bytes count, whatever the value's stored length.
    BYTE data[64] = {};
    DWORD type = 0, size = sizeof(data);
    LONG rc = RegQueryValueExA(key, kSettingsValue, nullptr, &type, data, &size);
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
      if (rc == ERROR_MORE_DATA) {
        // Longer than our buffer: read it whole once to get its first bytes.
        std::unique_ptr<BYTE[]> big(new BYTE[size]);
        if (RegQueryValueExA(key, kSettingsValue, nullptr, &type, big.get(), &size) == ERROR_SUCCESS && size >= 4)
          std::memcpy(data, big.get(), 4);
        size = size >= 4 ? 4 : size;
      }
      DWORD bits = 0;
      std::memcpy(&bits, data, size < 4 ? size : 4);
      SetSettings(bits);
    }
  }
  RegCloseKey(key);
}

bool SaveSettings() {
  HKEY key = nullptr;
  DWORD disposition = 0;
  char keyClass[] = "aviqpak";
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, keyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, &disposition) != ERROR_SUCCESS)
    return false;
  const DWORD bits = Settings();
  const bool ok = RegSetValueExA(key, kSettingsValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&bits), sizeof(bits)) ==
                  ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

}  // namespace aviqpak
