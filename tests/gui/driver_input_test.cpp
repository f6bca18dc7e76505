// Tests of the GUI driver against fixture_app: list boxes, pixels and screenshots, posted
// and real keys, the open dialog; and the registry and path helpers.
#include <cstdio>
#include <vector>

#include "driver_fixture.h"

namespace {

using gui::DriverError;

TEST_F(FixtureApp, ReadsAndClicksListBoxes) {
  HWND list = Item(IDC_LIST);
  EXPECT_EQ(gui::ListBoxCount(list), 3);
  EXPECT_EQ(gui::ListBoxLines(list), (std::vector<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_EQ(gui::ListBoxSelection(list), -1);
  EXPECT_EQ(gui::ListBoxTopIndex(list), 0);
  EXPECT_THROW(gui::ListBoxSelections(list), DriverError);  // single selection
  RECT r0 = gui::ListBoxItemRect(list, 0);
  RECT r1 = gui::ListBoxItemRect(list, 1);
  EXPECT_EQ(r0.bottom, r1.top);
  EXPECT_GT(r0.bottom - r0.top, 8);

  gui::PostClick(list, ItemCentre(list, 1));
  EXPECT_TRUE(gui::WaitUntil([&] { return StatusIs("list 1"); }));
  EXPECT_EQ(gui::ListBoxSelection(list), 1);
  gui::PostKey(list, VK_DOWN);
  EXPECT_TRUE(gui::WaitUntil([&] { return StatusIs("list 2"); }));
  gui::PostDoubleClick(list, ItemCentre(list, 0));
  EXPECT_TRUE(gui::WaitUntil([&] { return StatusIs("double 0"); }));

  // Owner-drawn without strings: item data only, clicks by posted messages or real input.
  HWND drawn = Item(IDC_DRAWN);
  EXPECT_THROW(gui::ListBoxLines(drawn), DriverError);
  EXPECT_EQ(
      gui::ListBoxItemData(drawn),
      (std::vector<ULONG_PTR>{RGB(255, 0, 0), RGB(0, 160, 0), RGB(0, 0, 255), RGB(255, 255, 0)}));
  gui::PostClick(drawn, ItemCentre(drawn, 2));
  EXPECT_TRUE(gui::WaitUntil([&] { return StatusIs("drawn 2"); }));
  gui::InputClick(drawn, ItemCentre(drawn, 3));
  EXPECT_TRUE(gui::WaitUntil([&] { return StatusIs("drawn 3"); }))
      << gui::ControlText(dialog_, IDC_STATUS);
  EXPECT_EQ(gui::ListBoxSelection(drawn), 3);
}

TEST_F(FixtureApp, ReadsPixelsAndSavesScreenshots) {
  HWND swatch = Item(IDC_SWATCH);
  EXPECT_TRUE(gui::WaitUntil([&] {
    return gui::PixelAt(swatch, {5, 5}) == RGB(255, 0, 0);
  })) << std::hex
      << gui::PixelAt(swatch, {5, 5});
  HWND drawn = Item(IDC_DRAWN);
  EXPECT_EQ(gui::PixelAt(drawn, ItemCentre(drawn, 1)), RGB(0, 160, 0));
  EXPECT_EQ(gui::PixelAt(drawn, ItemCentre(drawn, 2)), RGB(0, 0, 255));

  TempFile shot("vareri_gui_driver_shot.bmp");
  gui::SaveScreenshot(dialog_, shot.path());
  RECT r;
  GetWindowRect(dialog_, &r);
  const long width = r.right - r.left;
  const long height = r.bottom - r.top;
  std::FILE* f = std::fopen(shot.path().c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::vector<unsigned char> bytes;
  for (int ch; (ch = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<unsigned char>(ch));
  std::fclose(f);
  const long row = (width * 3 + 3) & ~3L;
  ASSERT_EQ(static_cast<long>(bytes.size()), 54 + row * height);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  // The swatch's centre, found in the file (bottom-up rows, BGR).
  POINT centre = {20, 20};
  ClientToScreen(swatch, &centre);
  const long x = centre.x - r.left;
  const long y = height - 1 - (centre.y - r.top);
  const unsigned char* px = &bytes[54 + y * row + x * 3];
  EXPECT_EQ(px[0], 0);
  EXPECT_EQ(px[1], 0);
  EXPECT_EQ(px[2], 255);

  // In the screenshot's own pixels too.
  gui::Bitmap client = gui::CaptureWindow(dialog_, true);
  RECT cr;
  GetClientRect(dialog_, &cr);
  EXPECT_EQ(client.width, cr.right);
  EXPECT_EQ(client.height, cr.bottom);
}

TEST_F(FixtureApp, TypesWithPostedAndRealKeys) {
  HWND edit = Item(IDC_EDIT);
  // Real input: click into the edit box, type, and Enter presses the default button.
  gui::InputClick(edit, {5, 5});
  EXPECT_TRUE(gui::WaitUntil([&] { return gui::FocusedWindow(dialog_) == edit; }));
  gui::InputText("Key Typed");
  EXPECT_TRUE(gui::WaitUntil([&] { return gui::ControlText(dialog_, IDC_EDIT) == "Key Typed"; }))
      << gui::ControlText(dialog_, IDC_EDIT);
  gui::InputKey(VK_RETURN);
  ASSERT_TRUE(app_.WaitForExit());
  EXPECT_EQ(app_.ExitCode(), 0u);

  // Posted keys reach the dialog's keyboard handling too: Escape cancels.
  Launch();
  gui::PostKey(Item(IDC_EDIT), VK_ESCAPE);
  ASSERT_TRUE(app_.WaitForExit());
  EXPECT_EQ(app_.ExitCode(), 3u);
}

TEST_F(FixtureApp, ChoosesAFileInTheOpenDialog) {
  TempFile file("vareri_gui_driver_pick.upd");
  std::FILE* f = std::fopen(file.path().c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  HWND dialog = gui::ClickForWindow(Item(IDC_OPEN), app_.Id(), gui::IsFileDialog());
  EXPECT_EQ(gui::WindowCaption(dialog), "Open fixture file");
  gui::ChooseFile(dialog, file.path());
  ASSERT_TRUE(gui::WaitUntil([&] { return ListHasLine("open -> " + file.path()); }))
      << gui::DescribeProcessWindows(app_.Id());
  EXPECT_EQ(gui::ControlText(dialog_, IDC_EDIT), file.path());
}

TEST(Registry, WritesReadsAndRemovesKeys) {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    const std::string key = "Software\\VareriGuiDriverTest";
    gui::RemoveRegistryKey(root, key);
    EXPECT_FALSE(gui::RegistryKeyExists(root, key));
    EXPECT_EQ(gui::RegistryString(root, key, "Path"), std::nullopt);

    gui::WriteRegistryString(root, key + "\\Product", "Path", "C:\\Demo");
    gui::WriteRegistryString(root, key + "\\Product", "", "default value");
    gui::WriteRegistryDword(root, key + "\\Product\\Deep", "Count", 42);
    EXPECT_TRUE(gui::RegistryKeyExists(root, key + "\\Product\\Deep"));
    EXPECT_EQ(gui::RegistryString(root, key + "\\Product", "Path"), "C:\\Demo");
    EXPECT_EQ(gui::RegistryString(root, key + "\\Product", ""), "default value");
    EXPECT_EQ(gui::RegistryDword(root, key + "\\Product\\Deep", "Count"), 42u);
    EXPECT_EQ(gui::RegistryDword(root, key + "\\Product", "Missing"), std::nullopt);
    EXPECT_THROW(gui::RegistryDword(root, key + "\\Product", "Path"), DriverError);

    gui::RemoveRegistryKey(root, key);
    EXPECT_FALSE(gui::RegistryKeyExists(root, key));
    gui::RemoveRegistryKey(root, key);  // already gone: no error
  }
  // HKEY_CLASSES_ROOT shows what HKLM\Software\Classes holds.
  const std::string ext = ".vareri-gui-driver-test";
  gui::WriteRegistryString(HKEY_CLASSES_ROOT, ext, "", "VareriGuiDriverTest.File");
  EXPECT_EQ(gui::RegistryString(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + ext, ""),
            "VareriGuiDriverTest.File");
  gui::RemoveRegistryKey(HKEY_CLASSES_ROOT, ext);
  EXPECT_FALSE(gui::RegistryKeyExists(HKEY_CLASSES_ROOT, ext));
}

TEST(Paths, MapsUnixPathsToWineDrivesAndLocatesPrograms) {
  EXPECT_EQ(gui::ToWindowsPath("C:\\x\\y.exe"), "C:\\x\\y.exe");
  std::string mapped = gui::ToWindowsPath("/tmp/some dir/x.exe");
  EXPECT_EQ(mapped.substr(1), ":\\tmp\\some dir\\x.exe");

  SetEnvironmentVariableA("VARERI_GUI_TEST_PROGRAM", nullptr);
  EXPECT_EQ(gui::LocateProgram("VARERI_GUI_TEST_PROGRAM", "x.exe"),
            gui::ExeDirectory() + "\\x.exe");
  SetEnvironmentVariableA("VARERI_GUI_TEST_PROGRAM", "/tmp/some dir/x.exe");
  EXPECT_EQ(gui::LocateProgram("VARERI_GUI_TEST_PROGRAM", "x.exe"), mapped);
  SetEnvironmentVariableA("VARERI_GUI_TEST_PROGRAM", nullptr);
}

}  // namespace
