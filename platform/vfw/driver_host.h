// A small host for codec drivers: loads a driver module (or takes a driver procedure linked into
// the program), opens instances and sends them messages, the way a video application reaches a
// codec through the compression manager.
#pragma once

#include <memory>
#include <string>

#include "platform/vfw/vfw.h"

namespace vfw {

class DriverInstance;

class DriverModule {
 public:
  // dlopen()s the module, finds its "DriverProc" and sends DRV_LOAD and DRV_ENABLE. Null with a
  // message in *error when any step fails.
  static std::unique_ptr<DriverModule> Load(const std::string& path, std::string* error);
  // The same for a driver procedure that is part of this program.
  static std::unique_ptr<DriverModule> FromProc(DRIVERPROC proc, std::string* error);
  // Sends DRV_DISABLE and DRV_FREE and unloads the module. Close every instance first.
  ~DriverModule();
  DriverModule(const DriverModule&) = delete;
  DriverModule& operator=(const DriverModule&) = delete;

  // DRV_OPEN with an ICOPEN record. Null when the driver refuses; *error gets ICOPEN's dwError.
  std::unique_ptr<DriverInstance> Open(FOURCC type, FOURCC handler, DWORD mode, LRESULT* error = nullptr);
  // A message to the driver itself (driver id 0), e.g. DRV_CONFIGURE.
  LRESULT SendDriverMessage(UINT message, LPARAM p1 = 0, LPARAM p2 = 0);
  DRIVERPROC proc() const { return proc_; }

 private:
  DriverModule() = default;
  bool Start(std::string* error);
  void* handle_ = nullptr;
  DRIVERPROC proc_ = nullptr;
  bool loaded_ = false;
};

class DriverInstance {
 public:
  ~DriverInstance();  // DRV_CLOSE
  DriverInstance(const DriverInstance&) = delete;
  DriverInstance& operator=(const DriverInstance&) = delete;

  LRESULT Send(UINT message, LPARAM p1 = 0, LPARAM p2 = 0);
  DWORD_PTR id() const { return id_; }

  // Typed forms of the common messages.
  LRESULT GetInfo(ICINFO* info) { return Send(ICM_GETINFO, reinterpret_cast<LPARAM>(info), sizeof(ICINFO)); }
  LRESULT GetState(void* data, DWORD size) { return Send(ICM_GETSTATE, reinterpret_cast<LPARAM>(data), size); }
  LRESULT SetState(const void* data, DWORD size) { return Send(ICM_SETSTATE, reinterpret_cast<LPARAM>(data), size); }
  LRESULT CompressQuery(const void* in, const void* out) { return Send2(ICM_COMPRESS_QUERY, in, out); }
  LRESULT CompressGetFormat(const void* in, void* out) { return Send2(ICM_COMPRESS_GET_FORMAT, in, out); }
  LRESULT CompressGetSize(const void* in, const void* out) { return Send2(ICM_COMPRESS_GET_SIZE, in, out); }
  LRESULT CompressBegin(const void* in, const void* out) { return Send2(ICM_COMPRESS_BEGIN, in, out); }
  LRESULT CompressEnd() { return Send(ICM_COMPRESS_END); }
  LRESULT Compress(ICCOMPRESS* c) { return Send(ICM_COMPRESS, reinterpret_cast<LPARAM>(c), sizeof(*c)); }
  LRESULT DecompressQuery(const void* in, const void* out) { return Send2(ICM_DECOMPRESS_QUERY, in, out); }
  LRESULT DecompressGetFormat(const void* in, void* out) { return Send2(ICM_DECOMPRESS_GET_FORMAT, in, out); }
  LRESULT DecompressBegin(const void* in, const void* out) { return Send2(ICM_DECOMPRESS_BEGIN, in, out); }
  LRESULT DecompressEnd() { return Send(ICM_DECOMPRESS_END); }
  LRESULT Decompress(ICDECOMPRESS* d) { return Send(ICM_DECOMPRESS, reinterpret_cast<LPARAM>(d), sizeof(*d)); }
  LRESULT DecompressEx(ICDECOMPRESSEX* d) { return Send(ICM_DECOMPRESSEX, reinterpret_cast<LPARAM>(d), sizeof(*d)); }

 private:
  friend class DriverModule;
  DriverInstance(DriverModule* module, DWORD_PTR id) : module_(module), id_(id) {}
  LRESULT Send2(UINT message, const void* a, const void* b) {
    return Send(message, reinterpret_cast<LPARAM>(a), reinterpret_cast<LPARAM>(b));
  }
  DriverModule* module_;
  DWORD_PTR id_;
};

}  // namespace vfw
