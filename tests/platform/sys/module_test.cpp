#include "platform/sys/module.h"

#include <gtest/gtest.h>

namespace {

TEST(Module, LoadFindAndFree) {
  HMODULE m = LoadLibraryA("libm.so.6");
  ASSERT_NE(m, nullptr);
  auto cosine = reinterpret_cast<double (*)(double)>(GetProcAddress(m, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(GetProcAddress(m, "no_such_symbol_here"), nullptr);
  EXPECT_TRUE(FreeLibrary(m));
}

TEST(Module, FailuresAreNullOrFalse) {
  EXPECT_EQ(LoadLibraryA("/nonexistent/pdtools.dll"), nullptr);
  EXPECT_EQ(LoadLibraryA(""), nullptr);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "cos"), nullptr);
  EXPECT_FALSE(FreeLibrary(nullptr));
}

}  // namespace
