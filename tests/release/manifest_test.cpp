// Each built program's manifest (resource type 24, id 1) and version, read back from the
// file. The system's own manifest reader makes an activation context of the manifest, so
// what is checked is what Windows obeys.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "vareri_version.h"

namespace {

struct Program {
  const char* file;
  ACTCTX_REQUESTED_RUN_LEVEL level;
  bool window;  // declares DPI awareness and depends on Common Controls 6
} const kPrograms[] = {
    {VARERI_EXE, ACTCTX_RUN_LEVEL_HIGHEST_AVAILABLE, true},
    {VARERI_CLI_EXE, ACTCTX_RUN_LEVEL_AS_INVOKER, false},
    {UPDPACK_EXE, ACTCTX_RUN_LEVEL_AS_INVOKER, false},
};

// Vista, 7, 8, 8.1, and 10 and 11.
const GUID kSupportedOS[] = {
    {0xe2011457, 0x1546, 0x43c5, {0xa5, 0xfe, 0x00, 0x8d, 0xee, 0xe3, 0xd3, 0xf0}},
    {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}},
    {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}},
    {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}},
    {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}},
};

// One answer of the context; `index` picks an assembly (1 is the program's own).
std::vector<BYTE> Query(HANDLE context, ULONG what, DWORD index = 0) {
  std::vector<BYTE> answer(4096);
  SIZE_T size = 0;
  if (!::QueryActCtxW(0, context, index ? &index : nullptr, what, answer.data(), answer.size(),
                      &size)) {
    size = 0;
  }
  answer.resize(size);
  return answer;
}

template <typename T>
T At(const std::vector<BYTE>& answer) {
  T value{};
  if (answer.size() >= sizeof value) std::memcpy(&value, answer.data(), sizeof value);
  return value;
}

TEST(ProgramResources, ManifestAndVersionOfEachProgram) {
  for (const Program& program : kPrograms) {
    std::string file = gui::ToWindowsPath(program.file);
    SCOPED_TRACE(file);
    ACTCTXA request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = file.c_str();
    request.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE context = ::CreateActCtxA(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << ::GetLastError();

    auto level = At<ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION>(
        Query(context, RunlevelInformationInActivationContext));
    EXPECT_EQ(level.RunLevel, program.level);
    EXPECT_EQ(level.UiAccess, 0u);
    // Element layouts differ between SDKs: each GUID is looked for in the whole answer.
    std::vector<BYTE> compatibility = Query(context, CompatibilityInformationInActivationContext);
    EXPECT_EQ(At<DWORD>(compatibility), std::size(kSupportedOS));
    std::string answer(compatibility.begin(), compatibility.end());
    for (const GUID& os : kSupportedOS) {
      EXPECT_NE(answer.find(std::string(reinterpret_cast<const char*>(&os), sizeof os)),
                std::string::npos)
          << std::hex << os.Data1;
    }

    WCHAR dpiAware[16] = {};
    SIZE_T size = 0;
    ::QueryActCtxSettingsW(0, context, nullptr, L"dpiAware", dpiAware, 16, &size);
    EXPECT_EQ(std::wstring(dpiAware), program.window ? L"true" : L"");
    auto details = At<ACTIVATION_CONTEXT_DETAILED_INFORMATION>(
        Query(context, ActivationContextDetailedInformation));
    EXPECT_EQ(details.ulAssemblyCount, program.window ? 2u : 1u);
    if (program.window) {
      // The dependency as the system resolved it.
      std::vector<BYTE> controls =
          Query(context, AssemblyDetailedInformationInActivationContext, 2);
      const wchar_t* identity = At<ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION>(controls)
                                    .lpAssemblyEncodedAssemblyIdentity;
      ASSERT_NE(identity, nullptr);
      EXPECT_EQ(std::wstring(identity).rfind(L"Microsoft.Windows.Common-Controls,", 0), 0u);
      EXPECT_NE(std::wstring(identity).find(L"version=\"6."), std::wstring::npos);
    }
    ::ReleaseActCtx(context);

    // The version resource carries the project version.
    std::vector<BYTE> block(::GetFileVersionInfoSizeA(file.c_str(), nullptr));
    ASSERT_TRUE(::GetFileVersionInfoA(file.c_str(), 0, block.size(), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    char* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD(VARERI_VERSION_MAJOR << 16 | VARERI_VERSION_MINOR));
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(VARERI_VERSION_PATCH << 16));
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\ProductVersion",
                                 reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, VARERI_VERSION_QUAD);
  }
}

}  // namespace
