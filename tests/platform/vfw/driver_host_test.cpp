// The driver host: the messages a module receives over its life, in order, and refusals passed
// back to the caller.
#include <gtest/gtest.h>

#include <vector>

#include "platform/vfw/driver_host.h"

namespace {

std::vector<UINT> g_log;
bool g_refuseLoad = false;

LRESULT FakeDriver(DWORD_PTR id, HDRVR, UINT message, LPARAM, LPARAM p2) {
  g_log.push_back(message);
  switch (message) {
    case DRV_LOAD:
      return g_refuseLoad ? 0 : 1;
    case DRV_OPEN: {
      ICOPEN* open = reinterpret_cast<ICOPEN*>(p2);
      if (!open || open->fccHandler != MakeFourCC('G', 'O', 'O', 'D')) {
        if (open) open->dwError = ICERR_BADFORMAT;
        return 0;
      }
      open->dwError = ICERR_OK;
      return 77;
    }
    case ICM_GETSTATE:
      return static_cast<LRESULT>(id);
    default:
      return DefDriverProc(id, nullptr, message, 0, 0);
  }
}

TEST(DriverHost, LifeOfAModuleAndItsInstances) {
  g_log.clear();
  g_refuseLoad = false;
  std::string error;
  {
    auto module = vfw::DriverModule::FromProc(FakeDriver, &error);
    ASSERT_TRUE(module) << error;
    LRESULT openError = 0;
    EXPECT_FALSE(module->Open(ICTYPE_VIDEO, MakeFourCC('B', 'A', 'D', ' '), ICMODE_COMPRESS, &openError));
    EXPECT_EQ(openError, ICERR_BADFORMAT);
    auto inst = module->Open(ICTYPE_VIDEO, MakeFourCC('G', 'O', 'O', 'D'), ICMODE_COMPRESS, &openError);
    ASSERT_TRUE(inst);
    EXPECT_EQ(openError, ICERR_OK);
    EXPECT_EQ(inst->Send(ICM_GETSTATE), 77) << "messages carry the instance's id";
  }
  EXPECT_EQ(g_log, std::vector<UINT>({DRV_LOAD, DRV_ENABLE, DRV_OPEN, DRV_OPEN, ICM_GETSTATE, DRV_CLOSE, DRV_DISABLE,
                                      DRV_FREE}));
}

TEST(DriverHost, RefusedLoadAndDefaultAnswers) {
  g_refuseLoad = true;
  std::string error;
  EXPECT_FALSE(vfw::DriverModule::FromProc(FakeDriver, &error));
  EXPECT_NE(error.find("DRV_LOAD"), std::string::npos);
  EXPECT_FALSE(vfw::DriverModule::FromProc(nullptr, &error));
  g_refuseLoad = false;
  struct Case {
    UINT message;
    LRESULT expected;
  };
  const Case cases[] = {{DRV_LOAD, 1}, {DRV_FREE, 1}, {DRV_ENABLE, 1}, {DRV_DISABLE, 1},
                        {DRV_INSTALL, DRVCNF_OK}, {DRV_REMOVE, DRVCNF_OK}, {DRV_CONFIGURE, 0}, {ICM_ABOUT, 0}};
  for (const Case& c : cases) EXPECT_EQ(DefDriverProc(0, nullptr, c.message, 0, 0), c.expected) << c.message;
}

}  // namespace
