#include "common/registry_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// Every test works on its own store file.
class RegistryPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() /
            ("registry_path_" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".reg");
    std::filesystem::remove(path_);
    setenv("HOSTREG_PATH", path_.c_str(), 1);
  }
  void TearDown() override {
    std::filesystem::remove(path_);
    std::filesystem::remove(path_.string() + ".lock");
  }
  std::filesystem::path path_;
};

TEST_F(RegistryPathTest, Parsing) {
  RegistryPath r;
  struct Case {
    const char* path;
    int rc;
    HKEY root;
    const char* key;
    const char* value;
  } cases[] = {
      {"HKEY_LOCAL_MACHINE\\Software\\Brenn\\Orvanta\\FPSConv", 0, HKEY_LOCAL_MACHINE,
       "Software\\Brenn\\Orvanta", "FPSConv"},
      {"HKEY_CURRENT_USER\\Software", 0, HKEY_CURRENT_USER, "Software", ""},
      {"HKEY_CLASSES_ROOT\\CLSID\\", 0, HKEY_CLASSES_ROOT, "CLSID", ""},
      {"HKEY_USERS\\\\Name", 0, HKEY_USERS, "", "Name"},
      {"Software\\Other\\Value", 0, HKEY_USERS, "Software\\Other", "Value"},  // keeps the last root
      {"HKEY_CURRENT_USER", -1, HKEY_CURRENT_USER, "Software\\Other", "Value"},  // nothing after it
      {"HKEY_CURRENT_USER\\", -1, HKEY_CURRENT_USER, "Software\\Other", "Value"},
      {"", -1, HKEY_CURRENT_USER, "Software\\Other", "Value"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(r.Parse(c.path), c.rc) << c.path;
    EXPECT_EQ(r.Root(), c.root) << c.path;
    EXPECT_STREQ(r.KeyPath().c_str(), c.key) << c.path;
    EXPECT_STREQ(r.ValueName().c_str(), c.value) << c.path;
  }
  RegistryPath fresh;
  EXPECT_EQ(fresh.Parse("Software\\X"), -1);  // no root given yet
  EXPECT_EQ(fresh.Parse(nullptr), -1);
}

TEST_F(RegistryPathTest, WriteAndReadBack) {
  RegistryPath r;
  const char* base = "HKEY_LOCAL_MACHINE\\Software\\Brenn\\Orvanta\\";
  auto at = [&](const char* name) { return std::string(base) + name; };
  ASSERT_EQ(r.WriteDword(at("FPSConv").c_str(), 3), 0);
  ASSERT_EQ(r.WriteString(at("SubFont").c_str(), "Arial"), 0);
  ASSERT_EQ(r.WriteString(at("Empty").c_str(), ""), 0);
  const BYTE blob[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(r.WriteBinary(at("Blob").c_str(), blob, 5), 0);
  ASSERT_EQ(r.WriteString("HKEY_CURRENT_USER\\Software\\Mirabe\\aviqpak", "default"), 0);

  DWORD d = 0;
  EXPECT_EQ(r.ReadDword(at("FPSConv").c_str(), d), 0);
  EXPECT_EQ(d, 3u);
  SharedString s("unchanged");
  EXPECT_EQ(r.ReadString(at("SubFont").c_str(), s), 0);
  EXPECT_STREQ(s.c_str(), "Arial");
  EXPECT_EQ(r.ReadString(at("Empty").c_str(), s), 0);
  EXPECT_TRUE(s.IsEmpty());
  BYTE back[5] = {};
  EXPECT_EQ(r.ReadBinary(at("Blob").c_str(), back, 5), 0);
  EXPECT_EQ(std::memcmp(back, blob, 5), 0);
  EXPECT_EQ(r.ReadString("HKEY_CURRENT_USER\\Software\\Mirabe\\aviqpak", s), 0);
  EXPECT_STREQ(s.c_str(), "default");

  // Wrong type, wrong size, missing value or key: -1 and the output untouched.
  d = 99;
  s = "unchanged";
  BYTE four[4] = {9, 9, 9, 9};
  EXPECT_EQ(r.ReadDword(at("SubFont").c_str(), d), -1);
  EXPECT_EQ(r.ReadString(at("FPSConv").c_str(), s), -1);
  EXPECT_EQ(r.ReadBinary(at("Blob").c_str(), four, 4), -1);
  EXPECT_EQ(r.ReadBinary(at("FPSConv").c_str(), four, 4), -1);
  EXPECT_EQ(r.ReadDword(at("Missing").c_str(), d), -1);
  EXPECT_EQ(r.ReadDword("HKEY_LOCAL_MACHINE\\Software\\Nobody\\X", d), -1);
  EXPECT_EQ(d, 99u);
  EXPECT_STREQ(s.c_str(), "unchanged");
  EXPECT_EQ(four[0], 9);
  EXPECT_EQ(r.WriteDword("HKEY_LOCAL_MACHINE", 1), -1);
}

}  // namespace
