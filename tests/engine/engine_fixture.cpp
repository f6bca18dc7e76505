#include "engine/engine_fixture.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#include "archive/integrity_record.h"
#include "lz/szdd.h"
#include "model/entry_actions.h"
#include "model/payload_order.h"
#include "platform/pe_version.h"
#include "session/run_request.h"
#include "support/pe_builder.h"
#include "writer/fingerprint.h"
#include "writer/stored_payload.h"

namespace fs = std::filesystem;

Bytes MakeProgram(uint32_t versionMS, uint32_t versionLS, size_t size, uint32_t seed) {
  PeImagePlan plan;
  plan.versionMS = versionMS;
  plan.versionLS = versionLS;
  Bytes bytes = BuildPeImage(plan).bytes;
  uint32_t state = seed * 2654435761u + 1;
  while (bytes.size() < size) {
    state = state * 1103515245u + 12345u;
    // Runs of a few symbols: compressible, and different for every seed.
    uint8_t symbol = static_cast<uint8_t>("program!"[(state >> 16) % 8] + (seed & 3));
    for (int k = 0; k < 1 + static_cast<int>((state >> 8) % 5) && bytes.size() < size; ++k) {
      bytes.push_back(symbol);
    }
  }
  return bytes;
}

EngineTest::EngineTest() : root_(dir_.path()), env_(dir_.path() + "\\TEMP\\") {
  for (const char* sub : {"APP", "APP\\system", "WIN", "WIN\\SYSTEM", "TEMP"}) {
    fs::create_directories(Native(Win(sub)));
  }
  app_.env = &env_;
  app_.log = &log_;
  std::snprintf(app_.installDir, sizeof app_.installDir, "%s", Win("APP").c_str());
  std::snprintf(app_.windowsDir, sizeof app_.windowsDir, "%s", Win("WIN").c_str());
  std::snprintf(app_.systemDir, sizeof app_.systemDir, "%s", Win("WIN\\SYSTEM").c_str());
}

std::string EngineTest::Native(const std::string& windowsPath) {
#ifdef _WIN32
  return windowsPath;
#else
  std::string native = windowsPath;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
#endif
}

void EngineTest::Install(const std::string& windowsPath, const Bytes& bytes) {
  std::string native = Native(windowsPath);
  fs::create_directories(fs::path(native).parent_path());
  std::ofstream out(native, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << native;
}

Bytes EngineTest::Installed(const std::string& windowsPath) const {
  std::ifstream in(Native(windowsPath), std::ios::binary | std::ios::ate);
  Bytes bytes(in ? static_cast<size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

bool EngineTest::Exists(const std::string& windowsPath) const {
  return fs::exists(Native(windowsPath));
}

static CFileStamp StampOf(const Bytes& bytes) {
  CFileStamp stamp;
  stamp.size = static_cast<uint32_t>(bytes.size());
  stamp.modified = 1700000000;
  MemoryFile file(bytes);
  ReadPeFileVersion(file, &stamp.versionMS, &stamp.versionLS);
  return stamp;
}

void EngineTest::Build(const std::vector<EntryPlan>& entries,
                       const std::function<void(DocumentPlan&)>& tweak) {
  DocumentPlan plan;
  plan.formatVersion = 6;
  plan.productName = "Demo";
  plan.defaultDirectory = "C:\\DEMO";
  plan.sampleCount = sampleCount_;
  plan.sampleLength = sampleLength_;
  bool actions = false;
  std::vector<EntryExtension> extensions;
  for (const EntryPlan& entry : entries) {
    actions = actions || entry.action != EntryAction::replace || entry.exact;
    EntryExtension extension;
    extension.action = entry.action;
    extension.exact = entry.exact;
    extension.selected = entry.selected != 0;
    extension.newVersion = {static_cast<uint32_t>(entry.newBytes.size()),
                            Sha256Of(entry.newBytes.data(), entry.newBytes.size())};
    for (const Bytes& previous : entry.previous) {
      extension.previous.push_back(
          {static_cast<uint32_t>(previous.size()), Sha256Of(previous.data(), previous.size())});
    }
    extensions.push_back(extension);
    ItemPlan item;
    item.componentName = entry.name;
    item.fileName = entry.name;
    item.directoryKind = entry.kind;
    item.directory = entry.directory;
    // A reader that follows the document alone leaves what adds or removes alone.
    item.defaultSelected = entry.action == EntryAction::replace ? entry.selected : 0;
    item.expectedStamp = StampOf(entry.newBytes);
    if (entry.versionMS || entry.versionLS) {
      item.expectedStamp.versionMS = entry.versionMS;
      item.expectedStamp.versionLS = entry.versionLS;
    }
    if (!entry.newBytes.empty()) {
      item.payload = StoreContents(entry.newBytes, entry.name.back());
    }
    for (const Bytes& previous : entry.previous) {
      OrderPlan order;
      order.stamp = StampOf(previous);
      uint16_t n = plan.sampleCount ? plan.sampleCount : 1;
      uint16_t m = plan.sampleLength <= 1024 ? plan.sampleLength : 1024;
      order.fingerprint = ComputeFingerprint(previous, n, m);
      item.previousVersions.push_back(order);
    }
    plan.items.push_back(item);
  }
  if (tweak) tweak(plan);
  updatePath_ = Win("demo.upd");
  Bytes bytes = WriteDocument(plan);
  if (actions) {
    std::vector<IntegrityEntry> contents;
    for (const EntryExtension& extension : extensions) {
      contents.push_back({extension.newVersion.size, extension.newVersion.digest});
    }
    Bytes record = EncodeIntegrityRecord(
        EncodeSignedPart(static_cast<uint32_t>(bytes.size()), Sha256Of(bytes.data(), bytes.size()),
                         contents, {{kEntryActionsField, EncodeEntryActions(extensions)}}),
        nullptr);
    bytes.insert(bytes.end(), record.begin(), record.end());
  }
  Install(updatePath_, bytes);
  app_.updateFile = OpenForReading(Native(updatePath_));
}

const char* const kDemoNames[kDemoFiles] = {"A.DLL", "B.DLL", "E.DLL"};

namespace {

const char* const kDemoComponents[kDemoFiles] = {"Program", "Help", "Engine"};

// Demo's files in release 1.`minor`: build, size and seed of each. vareri-cli's tests show
// the 1.0 and 1.1 sizes in their lines.
DemoRelease MakeDemoRelease(int minor, size_t bigger) {
  static const struct {
    uint32_t build;
    size_t size;
    uint32_t seed;
  } kFiles[3][kDemoFiles] = {
      {{5, 30000, 1}, {0, 6000, 3}, {0, 8000, 6}},
      {{0, 34000, 2}, {0, 6500, 4}, {0, 9000, 5}},
      {{0, 36000, 7}, {0, 6600, 8}, {0, 9200, 9}},
  };
  DemoRelease release;
  for (size_t i = 0; i < kDemoFiles; ++i) {
    const auto& file = kFiles[minor][i];
    release[i] =
        MakeProgram(kV10 + minor, file.build, file.size + (i == 0 ? bigger : 0), file.seed);
  }
  return release;
}

}  // namespace

std::string EngineTest::DemoPath(size_t i, const DemoOptions& options) const {
  bool system = i == 2 && options.allOlder;
  return Win(std::string(system ? "APP\\system\\" : "APP\\") + kDemoNames[i]);
}

void EngineTest::BuildDemo(const DemoOptions& options) {
  BuildDemoUpdate(options);
  for (size_t i = 0; i < kDemoFiles; ++i) {
    bool current = i == 2 && !options.allOlder;
    Install(DemoPath(i, options), demo_[current ? options.brings : 0][i]);
  }
}

void EngineTest::BuildDemoUpdate(const DemoOptions& options) {
  for (int minor = 0; minor <= options.brings; ++minor) {
    demo_[minor] = MakeDemoRelease(minor, options.bigger);
  }
  std::vector<EntryPlan> entries;
  for (size_t i = 0; i < kDemoFiles; ++i) {
    EntryPlan e(kDemoNames[i], i == 2 && options.allOlder ? kindSystem : kindInstallation);
    e.selected = i == 1 && !options.allOlder ? 0 : i == 2 ? 2 : 1;  // 2: any non-zero selects
    e.newBytes = demo_[options.brings][i];
    if (i == 0 && options.earlierBuild) e.previous.push_back(MakeProgram(kV10, 4, 29000, 10));
    for (int minor = 0; minor < options.brings; ++minor) e.previous.push_back(demo_[minor][i]);
    entries.push_back(e);
  }
  // Closed first: the update file is written again, and opened with no sharing.
  app_.updateFile.reset();
  app_.document = VEzorazEdo();
  Build(entries, [&](DocumentPlan& plan) {
    plan.formatVersion = options.format;
    plan.failureMessage = "Demo could not be updated.";
    for (size_t i = 0; i < kDemoFiles; ++i) plan.items[i].componentName = kDemoComponents[i];
    if (options.tweak) options.tweak(plan);
  });
}

void EngineTest::SetRenaming(bool renamePrevious) {
  app_.document.EnsureLoaded(*app_.updateFile);
  app_.document.renamePrevious = renamePrevious;
}

void EngineTest::Run(bool doUpdate) { StartRun(app_, doUpdate); }

uint64_t EngineTest::RoomFor(const std::vector<size_t>& sizes) const {
  DiskSpace space;
  EXPECT_TRUE(Env::Default().ReadDiskSpace(Win("APP\\"), &space));
  uint64_t clusters = 0;
  for (size_t size : sizes) clusters += (size + space.clusterBytes - 1) / space.clusterBytes;
  return clusters * space.clusterBytes;
}

std::vector<std::string> EngineTest::Leftovers() const {
  std::vector<std::string> found;
  auto endsWith = [](const std::string& name, const char* end) {
    size_t n = std::strlen(end);
    return name.size() > n && name.compare(name.size() - n, n, end) == 0;
  };
  for (const auto& entry : fs::recursive_directory_iterator(root_)) {
    std::string name = entry.path().filename().string();
    bool payloadCopy =
        name.rfind("UPD", 0) == 0 && (endsWith(name, ".TMP") || endsWith(name, ".tmp"));
    if (payloadCopy || endsWith(name, "~UPD")) found.push_back(entry.path().string());
  }
  return found;
}
