#include "platform/vfw/vfw.h"

// The answers the system gives for driver messages a driver does not handle itself.
LRESULT DefDriverProc(DWORD_PTR, HDRVR, UINT message, LPARAM, LPARAM) {
  switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
      return 1;
    case DRV_INSTALL:
    case DRV_REMOVE:
      return DRVCNF_OK;
    default:
      return 0;
  }
}
