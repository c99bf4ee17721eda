// The "Configure" and "Seting" dialogs and the about box, driven as a user would.
#include <gtest/gtest.h>

#include "codec/colour.h"
#include "codec/resources.h"
#include "platform/registry/registry.h"
#include "platform/ui/message_box.h"
#include "tests/codec/driver_fixture.h"

using namespace codec_test;
using namespace aviqpak;

namespace {

class DialogTest : public DriverTest {
 protected:
  void TearDown() override {
    ui::SetDialogDriver(nullptr);
    DriverTest::TearDown();
  }
  // Runs the next dialog with `actions` and records what it showed.
  void Drive(std::function<void(HWND)> actions) {
    ui::SetDialogDriver([this, actions](HWND d) {
      caption_ = ui::TemplateOf(d)->caption;
      for (int id : {kIdRgb24, kIdYuv111, kIdYuv422, kIdYuv411, kIdYuv211, kIdYuv420, kIdNoCompress, kIdNullFrame,
                     kIdMultiThread, kIdRgb32Disable, kIdMultiThreadEnable, kIdYuvEnable, kIdInvertHeightYuv})
        shown_[id] = IsDlgButtonChecked(d, id);
      actions(d);
    });
  }
  CodecState State() {
    CodecState s;
    inst_->GetState(&s, sizeof(s));
    return s;
  }
  std::string caption_;
  std::map<int, UINT> shown_;
};

TEST_F(DialogTest, ConfigureShowsAndStoresTheInstanceState) {
  SetState(colour::kYuv411, kOptionNullFrames, 0, 0);
  Drive([](HWND d) {
    ui::Click(d, kIdYuv420);
    ui::Click(d, kIdNoCompress);
    ui::Click(d, kIdMultiThread);
    ui::Click(d, kIdNullFrame);
    ui::Click(d, IDOK);
  });
  EXPECT_EQ(inst_->Send(ICM_CONFIGURE, 0), 1);
  EXPECT_EQ(caption_, "AVIqpak Option Menu");
  EXPECT_EQ(shown_[kIdYuv411], BST_CHECKED);
  EXPECT_EQ(shown_[kIdRgb24], BST_UNCHECKED);
  EXPECT_EQ(shown_[kIdNullFrame], BST_CHECKED);
  EXPECT_EQ(shown_[kIdMultiThread], BST_UNCHECKED);
  const CodecState s = State();
  EXPECT_EQ(s.colourMode, colour::kYuv420);
  EXPECT_EQ(s.noCompress, 1);
  EXPECT_EQ(s.optionFlags, kOptionSplit);
  EXPECT_EQ(s.converterFamily, 0) << "the family is not the dialog's";
  // OK also sets the default for new instances.
  auto other = module_->Open(ICTYPE_VIDEO, kFourCC, ICMODE_COMPRESS);
  CodecState fresh;
  other->GetState(&fresh, sizeof(fresh));
  EXPECT_EQ(std::memcmp(&fresh, &s, sizeof(s)), 0);
}

TEST_F(DialogTest, ConfigureCancelAndUnknownMode) {
  SetState(9, 0);  // a mode no button stands for
  Drive([](HWND d) {
    ui::Click(d, kIdYuv111);
    ui::Click(d, IDCANCEL);
  });
  EXPECT_EQ(inst_->Send(ICM_CONFIGURE, 0), 0);
  for (int id : {kIdRgb24, kIdYuv111, kIdYuv422, kIdYuv411, kIdYuv211, kIdYuv420})
    EXPECT_EQ(shown_[id], BST_UNCHECKED) << id;
  EXPECT_EQ(State().colourMode, 9);
  // Closed without a button (nobody there): cancelled.
  ui::SetDialogDriver(nullptr);
  EXPECT_EQ(inst_->Send(ICM_CONFIGURE, 0), 0);
  // OK with no mode chosen keeps the mode.
  Drive([](HWND d) { ui::Click(d, IDOK); });
  EXPECT_EQ(inst_->Send(ICM_CONFIGURE, 0), 1);
  EXPECT_EQ(State().colourMode, 9);
}

DWORD StoredSettings(bool* present) {
  HKEY key = nullptr;
  *present = false;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Mirabe\\aviqpak", 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD value = 0, size = sizeof(value), type = 0;
  *present = RegQueryValueExA(key, "ICM_SETING", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
             type == REG_DWORD;
  RegCloseKey(key);
  return value;
}

TEST_F(DialogTest, SetingEditsAndSavesTheDriverSettings) {
  SetSettings(kMultiThreadEnable);
  Drive([](HWND d) {
    ui::Click(d, kIdYuvEnable);
    ui::Click(d, kIdRgb32Disable);
    ui::Click(d, kIdMultiThreadEnable);
    ui::Click(d, IDOK);
  });
  EXPECT_EQ(module_->SendDriverMessage(DRV_CONFIGURE), 1);
  EXPECT_EQ(caption_, "AVIqpak Seting Menu");
  EXPECT_EQ(shown_[kIdMultiThreadEnable], BST_CHECKED);
  EXPECT_EQ(shown_[kIdYuvEnable], BST_UNCHECKED);
  EXPECT_EQ(Settings(), DWORD{kYuvEnable | kRgb32Disable});
  bool present = false;
  EXPECT_EQ(StoredSettings(&present), DWORD{kYuvEnable | kRgb32Disable});
  EXPECT_TRUE(present);

  Drive([](HWND d) {
    ui::Click(d, kIdInvertHeightYuv);
    ui::Click(d, IDCANCEL);
  });
  EXPECT_EQ(module_->SendDriverMessage(DRV_CONFIGURE), 0);
  EXPECT_EQ(Settings(), DWORD{kYuvEnable | kRgb32Disable});

  // A driver loaded later reads the saved bits.
  SetSettings(0);
  std::string error;
  auto again = vfw::DriverModule::FromProc(DriverProc, &error);
  EXPECT_EQ(Settings(), DWORD{kYuvEnable | kRgb32Disable});
}

TEST_F(DialogTest, DriverLoadReadsTheFirstFourBytesOfTheStoredValue) {
  struct Case {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
    DWORD expected;
  };
  const Case cases[] = {
      {"dword", REG_DWORD, {0x05, 0, 0, 0}, 0x5},
      {"longer binary", REG_BINARY, {0x0A, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0xA},
      {"two bytes", REG_BINARY, {0x03, 0x00}, 0x3},
  };
  for (const Case& c : cases) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Mirabe\\aviqpak", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "ICM_SETING", 0, c.type, c.data.data(), static_cast<DWORD>(c.data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
    SetSettings(0xFFFF);
    EXPECT_EQ(DriverProc(0, nullptr, DRV_LOAD, 0, 0), 1);
    EXPECT_EQ(Settings(), c.expected) << c.name;
  }
}

TEST_F(DialogTest, AboutBox) {
  ui::TakeMessageBoxes();
  EXPECT_EQ(inst_->Send(ICM_ABOUT, 0), 0);
  auto boxes = ui::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Version Information");
  EXPECT_NE(boxes[0].text.find("AVIqpak"), std::string::npos);
  EXPECT_NE(boxes[0].text.find("2.2.3"), std::string::npos);
  EXPECT_EQ(boxes[0].type & 0xF0, MB_ICONINFORMATION);
}

}  // namespace
