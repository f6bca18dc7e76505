// The window and a product that recorded its vendor's key: the signature is checked before
// anything runs, a refusal is a message box saying why, and a good signature is silent.
#include "support/trust_data.h"
#include "vareri_fixture.h"

namespace {

class TrustGuiTest : public VareriGuiTest {
 protected:
  bool InstalledAre(const std::string& version) {
    for (const char* name : {"TRUST.EXE", "TRUSTLIB.DLL"}) {
      if (Installed(Win(std::string("APP\\") + name)) != TrustData(version + "/" + name)) {
        return false;
      }
    }
    return true;
  }
};

TEST_F(TrustGuiTest, TheRecordedKeyDecidesBeforeAnythingRuns) {
  // Where tests/data/trust/trust.json says the product records its directory and key.
  const std::string key = "Software\\VareriTrustTest\\Product\\1.0";
  for (const char* name : {"TRUST.EXE", "TRUSTLIB.DLL"}) {
    Install(Win(std::string("APP\\") + name), TrustData(std::string("1.0/") + name));
  }
  updatePath_ = Win("trust.upd");
  Install(updatePath_, TrustData("signed.upd"));
  gui::WriteRegistryString(HKEY_LOCAL_MACHINE, key, "PathName", Win("APP"));
  const struct {
    std::string updateKey;
    const char* says;
  } refusals[] = {
      {TrustText("other.pub"), "The update file is signed by another key ("},
      {"vendor", "is not a valid key: it does not begin with"},
  };
  for (const auto& refusal : refusals) {
    gui::WriteRegistryString(HKEY_LOCAL_MACHINE, key, "UpdateKey", refusal.updateKey);
    Start(updatePath_);
    HWND main = WaitForMain();
    gui::MessageBoxInfo box = ClickForBox(main, IDC_UPDATE);
    EXPECT_EQ(box.caption, "vareri");
    EXPECT_EQ(box.icon, gui::BoxIcon::hand);
    EXPECT_TRUE(Contains(box.text, refusal.says));
    gui::AnswerMessageBox(box.window, IDOK);
    EXPECT_TRUE(gui::ListBoxLines(gui::Control(main, IDC_LOG)).empty());
    EXPECT_TRUE(InstalledAre("1.0"));
    Close(main);
  }
  gui::WriteRegistryString(HKEY_LOCAL_MACHINE, key, "UpdateKey", TrustText("vendor.txt"));
  Start(updatePath_);
  HWND main = WaitForMain();
  gui::MessageBoxInfo box = ClickForBox(main, IDC_UPDATE);
  EXPECT_EQ(box.text, "Trust Test was sucessfully updated");
  gui::AnswerMessageBox(box.window, IDOK);
  EXPECT_TRUE(InstalledAre("1.1"));
  Close(main);
  gui::RemoveRegistryKey(HKEY_LOCAL_MACHINE, "Software\\VareriTrustTest");
}

TEST_F(TrustGuiTest, APathBoxThatReachesATrustedDirectoryByAnotherNameIsRefused) {
  // The trust store's entry for APP, and a file signed by another key: whatever way the Path
  // box spells APP, the run is refused before anything is opened.
  const std::string entry = "SOFTWARE\\vareri\\Trust\\GuiTest";
  gui::WriteRegistryString(HKEY_LOCAL_MACHINE, entry, "Directory", Win("APP"));
  gui::WriteRegistryString(HKEY_LOCAL_MACHINE, entry, "Key", TrustText("vendor.txt").substr(0, 99));
  for (const char* name : {"TRUST.EXE", "TRUSTLIB.DLL"}) {
    Install(Win(std::string("APP\\") + name), TrustData(std::string("1.0/") + name));
  }
  updatePath_ = Win("trust.upd");
  Install(updatePath_, TrustData("signed-other.upd"));
  Start(updatePath_);
  HWND main = WaitForMain();
  gui::SetEditText(main, IDC_PATH, Win("APP\\..\\APP\\"));
  gui::MessageBoxInfo box = ClickForBox(main, IDC_UPDATE);
  EXPECT_EQ(box.icon, gui::BoxIcon::hand);
  EXPECT_TRUE(Contains(box.text, "signed by another key")) << box.text;
  EXPECT_TRUE(Contains(box.text, "the trust entry for " + Win("APP"))) << box.text;
  gui::AnswerMessageBox(box.window, IDOK);
  EXPECT_TRUE(InstalledAre("1.0"));
  Close(main);
  gui::RemoveRegistryKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\vareri");
}

TEST_F(TrustGuiTest, ADamagedFileIsSaidToBeDamagedAsTheWindowOpens) {
  Bytes bytes = TrustData("signed.upd");
  bytes[bytes.size() / 2] ^= 0x20;
  updatePath_ = Win("trust.upd");
  Install(updatePath_, bytes);
  Start(updatePath_);
  gui::MessageBoxInfo opening = NextBox();
  EXPECT_EQ(opening.icon, gui::BoxIcon::hand);
  EXPECT_TRUE(Contains(opening.text, "differ from the checksum")) << opening.text;
  gui::AnswerMessageBox(opening.window, IDOK);
  // The window then opens, and its first run shows the same box.
  HWND main = WaitForMain();
  gui::MessageBoxInfo run = ClickForBox(main, IDC_CHECK);
  EXPECT_EQ(run.text, opening.text);
  EXPECT_EQ(run.caption, opening.caption);
  gui::AnswerMessageBox(run.window, IDOK);
  Close(main);
}

}  // namespace
