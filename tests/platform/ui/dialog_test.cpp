// The headless dialog model: templates become controls, clicks follow the control kinds, and a
// dialog nobody closes is cancelled.
#include <gtest/gtest.h>

#include "platform/ui/dialog.h"
#include "platform/ui/message_box.h"

namespace {

using ui::ControlKind;

const ui::DialogTemplate kTemplate = {
    "Test",
    "Caption",
    100,
    50,
    "Font",
    8,
    {
        {ControlKind::kDefPushButton, IDOK, "OK", 0, 0, 1, 1, true},
        {ControlKind::kPushButton, IDCANCEL, "Cancel", 0, 0, 1, 1, true},
        {ControlKind::kRadioButton, 10, "A", 0, 0, 1, 1, true},
        {ControlKind::kRadioButton, 11, "B"},
        {ControlKind::kRadioButton, 12, "C", 0, 0, 1, 1, true},  // its own group
        {ControlKind::kCheckBox, 20, "Check", 0, 0, 1, 1, true},
        {ControlKind::kLabel, 30, "Label"},
    },
};
const ui::ResourceModule kModule{{&kTemplate}};

std::vector<int> g_commands;

INT_PTR Proc(HWND d, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(d, DWLP_USER, lParam);
    CheckRadioButton(d, 10, 11, 11);
    CheckDlgButton(d, 12, BST_CHECKED);
    return TRUE;
  }
  if (message == WM_COMMAND) {
    const int id = static_cast<int>(wParam & 0xFFFF);
    g_commands.push_back(id);
    if (id == IDOK) EndDialog(d, 100 + GetWindowLongPtrA(d, DWLP_USER));
    if (id == IDCANCEL) EndDialog(d, 7);
    return TRUE;
  }
  return FALSE;
}

TEST(Dialog, ControlsFollowClicksWithinGroups) {
  std::map<int, UINT> seen;
  std::string label;
  ui::SetDialogDriver([&](HWND d) {
    EXPECT_TRUE(ui::IsOpen(d));
    EXPECT_EQ(ui::TemplateOf(d)->caption, "Caption");
    ui::Click(d, 10);
    ui::Click(d, 20);
    ui::Click(d, 20);
    ui::Click(d, 20);
    EnableWindow(GetDlgItem(d, 12), FALSE);
    ui::Click(d, 12);  // disabled: nothing happens
    SetDlgItemTextA(d, 30, "changed");
    char text[4];
    GetDlgItemTextA(d, 30, text, sizeof(text));
    label = text;
    for (int id : {10, 11, 12, 20}) seen[id] = IsDlgButtonChecked(d, id);
    ui::Click(d, IDOK);
    EXPECT_FALSE(ui::IsOpen(d));
  });
  g_commands.clear();
  EXPECT_EQ(DialogBoxParamA(&kModule, "Test", nullptr, Proc, 5), 105);
  EXPECT_EQ(seen[10], BST_CHECKED);
  EXPECT_EQ(seen[11], BST_UNCHECKED) << "same group";
  EXPECT_EQ(seen[12], BST_CHECKED) << "other group";
  EXPECT_EQ(seen[20], BST_CHECKED);
  EXPECT_EQ(label, "cha") << "text is cut to the buffer";
  EXPECT_EQ(g_commands, std::vector<int>({10, 20, 20, 20, IDOK}));
  ui::SetDialogDriver(nullptr);
}

TEST(Dialog, UnattendedDialogsAreCancelledAndUnknownTemplatesFail) {
  ui::SetDialogDriver(nullptr);
  g_commands.clear();
  EXPECT_EQ(DialogBoxParamA(&kModule, "Test", nullptr, Proc, 0), 7);
  EXPECT_EQ(g_commands, std::vector<int>({IDCANCEL}));
  EXPECT_EQ(DialogBoxParamA(&kModule, "Missing", nullptr, Proc, 0), -1);
  EXPECT_EQ(DialogBoxParamA(nullptr, "Test", nullptr, Proc, 0), -1);
}

TEST(MessageBox, DefaultSinkKeepsBoxesAndCustomSinkAnswers) {
  ui::TakeMessageBoxes();
  EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK | MB_ICONERROR), IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, "question", "caption", MB_YESNO), IDYES);
  auto kept = ui::TakeMessageBoxes();
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].text, "text");
  EXPECT_EQ(kept[0].type, MB_OK | MB_ICONERROR);
  EXPECT_TRUE(ui::TakeMessageBoxes().empty());
  ui::SetMessageBoxSink([](const ui::MessageBoxRecord& r) { return r.caption == "ask" ? IDNO : IDOK; });
  EXPECT_EQ(MessageBoxA(nullptr, "q", "ask", MB_YESNO), IDNO);
  ui::SetMessageBoxSink(nullptr);
  EXPECT_TRUE(ui::TakeMessageBoxes().empty());
}

}  // namespace
