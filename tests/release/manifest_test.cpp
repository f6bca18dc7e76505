// Each built program's manifest (resource type 24, id 1) and version resource, read back
// from the file. The system's own manifest reader turns the manifest into an activation
// context, so what is checked is what Windows obeys, not what the text looks like.
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
  bool window;  // declares DPI awareness and Common Controls 6
};

const Program kPrograms[] = {
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

class ScopedActCtx {
 public:
  explicit ScopedActCtx(const std::string& file) {
    ACTCTXA request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = file.c_str();
    request.lpResourceName = MAKEINTRESOURCEA(1);
    handle_ = ::CreateActCtxA(&request);
  }
  ~ScopedActCtx() {
    if (valid()) ::ReleaseActCtx(handle_);
  }
  ScopedActCtx(const ScopedActCtx&) = delete;
  ScopedActCtx& operator=(const ScopedActCtx&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

std::vector<BYTE> Query(HANDLE context, ULONG what) {
  std::vector<BYTE> buffer(4096);
  SIZE_T written = 0;
  if (!::QueryActCtxW(0, context, nullptr, what, buffer.data(), buffer.size(), &written)) {
    ADD_FAILURE() << "QueryActCtxW(" << what << ") failed: " << ::GetLastError();
    return {};
  }
  buffer.resize(written);
  return buffer;
}

// The supported-OS entries. Element layouts differ between SDKs (some add a tested
// version after the type), so each expected GUID is looked for in the whole answer.
void ExpectSupportedOS(HANDLE context) {
  std::vector<BYTE> info = Query(context, CompatibilityInformationInActivationContext);
  ASSERT_GE(info.size(), sizeof(DWORD));
  DWORD count;
  std::memcpy(&count, info.data(), sizeof count);
  EXPECT_EQ(count, std::size(kSupportedOS));
  for (const GUID& os : kSupportedOS) {
    bool found = false;
    for (size_t at = sizeof count; at + sizeof os <= info.size() && !found; ++at) {
      found = std::memcmp(info.data() + at, &os, sizeof os) == 0;
    }
    EXPECT_TRUE(found) << std::hex << os.Data1;
  }
}

std::wstring DpiAware(HANDLE context) {
  WCHAR value[64] = {};
  SIZE_T written = 0;
  if (!::QueryActCtxSettingsW(0, context, nullptr, L"dpiAware", value, 64, &written)) return L"";
  return value;
}

// The identities of the assemblies the context holds after the program's own: the
// dependencies as the system resolved them.
std::vector<std::wstring> Dependencies(HANDLE context) {
  std::vector<BYTE> info = Query(context, ActivationContextDetailedInformation);
  if (info.size() < sizeof(ACTIVATION_CONTEXT_DETAILED_INFORMATION)) return {};
  DWORD count = reinterpret_cast<const ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(info.data())
                    ->ulAssemblyCount;
  std::vector<std::wstring> identities;
  for (DWORD index = 2; index <= count; ++index) {
    std::vector<BYTE> assembly(4096);
    SIZE_T written = 0;
    if (!::QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext,
                        assembly.data(), assembly.size(), &written)) {
      ADD_FAILURE() << "no details of assembly " << index << ": " << ::GetLastError();
      continue;
    }
    const auto* details =
        reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(assembly.data());
    identities.push_back(details->lpAssemblyEncodedAssemblyIdentity
                             ? details->lpAssemblyEncodedAssemblyIdentity
                             : L"");
  }
  return identities;
}

TEST(ProgramResources, ManifestDeclaresWhatEachProgramNeeds) {
  for (const Program& program : kPrograms) {
    std::string file = gui::ToWindowsPath(program.file);
    SCOPED_TRACE(file);
    HMODULE image = ::LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(::FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)), nullptr);
    ::FreeLibrary(image);

    ScopedActCtx context(file);
    ASSERT_TRUE(context.valid()) << ::GetLastError();
    std::vector<BYTE> level = Query(context.get(), RunlevelInformationInActivationContext);
    ASSERT_EQ(level.size(), sizeof(ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION));
    const auto* runLevel =
        reinterpret_cast<const ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION*>(level.data());
    EXPECT_EQ(runLevel->RunLevel, program.level);
    EXPECT_EQ(runLevel->UiAccess, 0u);
    ExpectSupportedOS(context.get());
    if (program.window) {
      EXPECT_EQ(DpiAware(context.get()), L"true");
      std::vector<std::wstring> dependencies = Dependencies(context.get());
      ASSERT_EQ(dependencies.size(), 1u);
      EXPECT_EQ(dependencies[0].rfind(L"Microsoft.Windows.Common-Controls,", 0), 0u);
      EXPECT_NE(dependencies[0].find(L"version=\"6."), std::wstring::npos);
    } else {
      EXPECT_EQ(DpiAware(context.get()), L"");
      EXPECT_TRUE(Dependencies(context.get()).empty());
    }
  }
}

TEST(ProgramResources, VersionResourceIsTheProjectVersion) {
  for (const Program& program : kPrograms) {
    std::string file = gui::ToWindowsPath(program.file);
    SCOPED_TRACE(file);
    DWORD ignored = 0;
    std::vector<BYTE> block(::GetFileVersionInfoSizeA(file.c_str(), &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(::GetFileVersionInfoA(file.c_str(), 0, block.size(), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD(VARERI_VERSION_MAJOR << 16 | VARERI_VERSION_MINOR));
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(VARERI_VERSION_PATCH << 16));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    char* text = nullptr;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\ProductVersion",
                                 reinterpret_cast<void**>(&text), &size));
    EXPECT_STREQ(text, VARERI_VERSION_QUAD);
  }
}

}  // namespace
