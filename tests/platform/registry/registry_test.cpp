#include "platform/registry/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Each test gets a store file of its own in a fresh folder.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("hostreg-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    path_ = (dir_ / "sub" / "registry.reg").string();  // the folder does not exist yet
    ::setenv("HOSTREG_PATH", path_.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static HKEY Create(HKEY root, const char* sub) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    return key;
  }
  static LONG SetDword(HKEY key, const char* name, DWORD v) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
  }
  static LONG GetDword(HKEY root, const char* sub, const char* name, DWORD& v) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(root, sub, 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS) return rc;
    DWORD type = 0, size = 4;
    rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size);
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS && (type != REG_DWORD || size != 4)) return ERROR_BADDB;
    return rc;
  }
  std::string ReadStoreFile() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(RegistryTest, ValuesOfEveryTypeRoundTrip) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Mirabe\\aviqpak");
  ASSERT_NE(nullptr, key);
  const char text[] = "C:\\Orvanta;.";
  const BYTE blob[] = {0, 1, 0xFE, 0x0A, 0x25, 0x22};
  ASSERT_EQ(ERROR_SUCCESS, SetDword(key, "ICM_SETING", 0x8000000Fu));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, sizeof blob));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1));
  RegCloseKey(key);

  DWORD d = 0;
  ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, "software\\MIRABE\\AviQpak", "icm_seting", d));
  EXPECT_EQ(0x8000000Fu, d);

  HKEY open = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Mirabe\\aviqpak", 0, KEY_READ, &open));
  DWORD type = 0, size = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(open, "Path", nullptr, &type, nullptr, &size));
  EXPECT_EQ(REG_SZ, type);
  EXPECT_EQ(sizeof text, size);
  std::vector<BYTE> buf(size);
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(open, "Path", nullptr, &type, buf.data(), &size));
  EXPECT_STREQ(text, reinterpret_cast<char*>(buf.data()));

  BYTE small[3];
  size = sizeof small;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(open, "Blob", nullptr, &type, small, &size));
  EXPECT_EQ(sizeof blob, size);
  BYTE back[sizeof blob];
  size = sizeof back;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(open, "Blob", nullptr, &type, back, &size));
  EXPECT_EQ(REG_BINARY, type);
  EXPECT_EQ(0, std::memcmp(blob, back, sizeof blob));

  size = 8;
  char def[8] = "x";
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(open, "", nullptr, &type, reinterpret_cast<BYTE*>(def), &size));
  EXPECT_EQ(1u, size);
  EXPECT_STREQ("", def);
  RegCloseKey(open);
}

TEST_F(RegistryTest, MissingKeysAndValuesAreReportedAndNothingIsWritten) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brenn\\Orvanta", 0, KEY_READ, &key));
  EXPECT_EQ(nullptr, key);
  EXPECT_FALSE(fs::exists(path_));  // reading never creates the store

  key = Create(HKEY_LOCAL_MACHINE, "Software\\Brenn\\Orvanta");
  DWORD v = 7;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetDword(HKEY_LOCAL_MACHINE, "Software\\Brenn\\Orvanta", "FPSConv", v));
  EXPECT_EQ(7u, v);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "FPSConv"));
  RegCloseKey(key);

  // Roots are distinct: the same path under another root is another key.
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Brenn\\Orvanta", 0, KEY_READ, &key));
  // Malformed sub-key paths are refused rather than guessed at.
  EXPECT_NE(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "a\\\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  EXPECT_NE(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "\\a", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCreateKeyExA(nullptr, "a", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
}

TEST_F(RegistryTest, CreateReportsDispositionAndKeysNestBelowOpenKeys) {
  DWORD disposition = 0;
  HKEY soft = nullptr, sub = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &soft, &disposition));
  EXPECT_EQ(REG_CREATED_NEW_KEY, disposition);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, "clsid", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, &disposition));
  EXPECT_EQ(REG_OPENED_EXISTING_KEY, disposition);
  RegCloseKey(sub);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(soft, "{1234}\\InprocServer32", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr));
  const char lib[] = "liblantrel.so";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(sub, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(lib), sizeof lib));
  RegCloseKey(sub);

  HKEY mid = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{1234}", 0, KEY_READ, &mid));  // parents exist
  RegCloseKey(mid);
  EXPECT_EQ(ERROR_KEY_HAS_CHILDREN, RegDeleteKeyA(soft, "{1234}"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(soft, "{1234}\\InprocServer32"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(soft, "{1234}"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{1234}", 0, KEY_READ, &mid));
  RegCloseKey(soft);
}

TEST_F(RegistryTest, DamagedFileIsKeptAsideReportedOnceAndReadAsEmpty) {
  fs::create_directories(fs::path(path_).parent_path());
  const std::string junk = "hostreg 1\n[HKEY_CURRENT_USER\\Software]\n\"x\"=dword:12\n";  // short dword
  std::ofstream(path_, std::ios::binary) << junk;

  ::testing::internal::CaptureStderr();
  DWORD v = 0;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetDword(HKEY_CURRENT_USER, "Software", "x", v));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetDword(HKEY_CURRENT_USER, "Software", "x", v));
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, err.find("damaged (line 3)")) << err;
  EXPECT_EQ(err.find("is damaged"), err.rfind("is damaged")) << "reported more than once: " << err;

  // The damaged bytes are kept, untouched, beside the store.
  std::ifstream aside(path_ + ".damaged-1", std::ios::binary);
  std::stringstream kept;
  kept << aside.rdbuf();
  EXPECT_EQ(junk, kept.str());

  // A later write starts a fresh store and does not touch the kept file.
  HKEY key = Create(HKEY_CURRENT_USER, "Software");
  ASSERT_EQ(ERROR_SUCCESS, SetDword(key, "x", 5));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, "Software", "x", v));
  EXPECT_EQ(5u, v);
  EXPECT_TRUE(fs::exists(path_ + ".damaged-1"));
}

TEST_F(RegistryTest, StoreFileIsReadableTextThatSurvivesOddNames) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\100%\"quoted\"]");
  const char text[] = "line one\r\nline\ttwo %41";
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "a\"b", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text));
  RegCloseKey(key);
  std::string file = ReadStoreFile();
  EXPECT_EQ(0u, file.find("hostreg 1\n"));
  EXPECT_NE(std::string::npos, file.find("[HKEY_CURRENT_USER\\Software\\100%25%22quoted%22%5D]")) << file;

  HKEY open = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\100%\"QUOTED\"]", 0, KEY_READ, &open));
  char back[64] = {};
  DWORD size = sizeof back, type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(open, "A\"B", nullptr, &type, reinterpret_cast<BYTE*>(back), &size));
  EXPECT_EQ(sizeof text, size);
  EXPECT_STREQ(text, back);
  RegCloseKey(open);
}

// Several processes and threads write different values at the same time; none may be lost, and a
// reader running meanwhile never meets a half-written file.
TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
  HKEY key = Create(HKEY_CURRENT_USER, "Software\\Race");
  RegCloseKey(key);
  constexpr int kProcesses = 3, kThreads = 2, kWrites = 15;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::vector<std::thread> threads;
      bool ok = true;
      for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([p, t, &ok] {
          HKEY k = nullptr;
          if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Race", 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) ok = false;
          for (int i = 0; i < kWrites; ++i) {
            std::string name = "p" + std::to_string(p) + "t" + std::to_string(t) + "i" + std::to_string(i);
            if (SetDword(k, name.c_str(), static_cast<DWORD>(i)) != ERROR_SUCCESS) ok = false;
          }
          RegCloseKey(k);
        });
      }
      for (auto& th : threads) th.join();
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  // Read while they write: every read must parse (a damaged read would move the file aside).
  ::testing::internal::CaptureStderr();
  for (int i = 0; i < 200; ++i) {
    DWORD v;
    GetDword(HKEY_CURRENT_USER, "Software\\Race", "p0t0i0", v);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(pid, ::waitpid(pid, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
  EXPECT_FALSE(fs::exists(path_ + ".damaged-1"));
  for (int p = 0; p < kProcesses; ++p)
    for (int t = 0; t < kThreads; ++t)
      for (int i = 0; i < kWrites; ++i) {
        std::string name = "p" + std::to_string(p) + "t" + std::to_string(t) + "i" + std::to_string(i);
        DWORD v = 999;
        ASSERT_EQ(ERROR_SUCCESS, GetDword(HKEY_CURRENT_USER, "Software\\Race", name.c_str(), v)) << name;
        EXPECT_EQ(static_cast<DWORD>(i), v);
      }
}

TEST_F(RegistryTest, StoreLocationFollowsTheEnvironment) {
  EXPECT_EQ(path_, hostreg::StorePath());
  ::unsetenv("HOSTREG_PATH");
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ("/cfg/hostreg/registry.reg", hostreg::StorePath());
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored, as the XDG rules say
  ::setenv("HOME", "/home/u", 1);
  EXPECT_EQ("/home/u/.config/hostreg/registry.reg", hostreg::StorePath());
  ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
