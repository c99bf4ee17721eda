#include "platform/vfw/driver_host.h"

#include <dlfcn.h>

namespace vfw {

std::unique_ptr<DriverModule> DriverModule::Load(const std::string& path, std::string* error) {
  std::unique_ptr<DriverModule> module(new DriverModule());
  module->handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module->handle_) {
    if (error) *error = std::string("cannot load driver module: ") + dlerror();
    return nullptr;
  }
  module->proc_ = reinterpret_cast<DRIVERPROC>(dlsym(module->handle_, "DriverProc"));
  if (!module->proc_) {
    if (error) *error = "module " + path + " has no DriverProc";
    return nullptr;
  }
  if (!module->Start(error)) return nullptr;
  return module;
}

std::unique_ptr<DriverModule> DriverModule::FromProc(DRIVERPROC proc, std::string* error) {
  std::unique_ptr<DriverModule> module(new DriverModule());
  module->proc_ = proc;
  if (!proc) {
    if (error) *error = "no driver procedure";
    return nullptr;
  }
  if (!module->Start(error)) return nullptr;
  return module;
}

bool DriverModule::Start(std::string* error) {
  if (proc_(0, nullptr, DRV_LOAD, 0, 0) == 0) {
    if (error) *error = "the driver refused DRV_LOAD";
    return false;
  }
  loaded_ = true;
  proc_(0, nullptr, DRV_ENABLE, 0, 0);
  return true;
}

DriverModule::~DriverModule() {
  if (loaded_) {
    proc_(0, nullptr, DRV_DISABLE, 0, 0);
    proc_(0, nullptr, DRV_FREE, 0, 0);
  }
  if (handle_) dlclose(handle_);
}

std::unique_ptr<DriverInstance> DriverModule::Open(FOURCC type, FOURCC handler, DWORD mode, LRESULT* error) {
  ICOPEN open{};
  open.dwSize = sizeof(open);
  open.fccType = type;
  open.fccHandler = handler;
  open.dwVersion = 0x104;
  open.dwFlags = mode;
  open.dwError = ICERR_OK;
  LRESULT id = proc_(0, nullptr, DRV_OPEN, 0, reinterpret_cast<LPARAM>(&open));
  if (error) *error = open.dwError;
  if (id == 0) return nullptr;
  return std::unique_ptr<DriverInstance>(new DriverInstance(this, static_cast<DWORD_PTR>(id)));
}

LRESULT DriverModule::SendDriverMessage(UINT message, LPARAM p1, LPARAM p2) {
  return proc_(0, nullptr, message, p1, p2);
}

DriverInstance::~DriverInstance() { module_->proc()(id_, nullptr, DRV_CLOSE, 0, 0); }

LRESULT DriverInstance::Send(UINT message, LPARAM p1, LPARAM p2) {
  return module_->proc()(id_, nullptr, message, p1, p2);
}

}  // namespace vfw
