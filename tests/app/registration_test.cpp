// The file-type registration's writes: their order, and where a refusal stops them.
#include "app/registration.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Records the writes; refuses the write to `refused`; holds `existing` values.
class RecordingRegistry : public ClassesRegistry {
 public:
  bool SetValue(const std::string& key, const std::string& text) override {
    if (key == refused) return false;
    writes.push_back(key + "=" + text);
    return true;
  }
  bool HasValue(const std::string& key) override {
    auto it = existing.find(key);
    return it != existing.end() && !it->second.empty();
  }
  std::string refused;
  std::map<std::string, std::string> existing;
  std::vector<std::string> writes;
};

const char kProgram[] = "C:\\Program Files\\vareri.exe";

TEST(Registration, WritesInOrderAndStopsAfterARefusedWrite) {
  const std::string type = "VLR.Update=Velloran Update File";
  const std::string command = "VLR.Update\\shell\\open\\command=C:\\Program Files\\vareri.exe %1";
  const std::string icon = "VLR.Update\\DefaultIcon=C:\\Program Files\\vareri.exe,0";
  const std::string association = ".upd=VLR.Update";
  const struct {
    const char* refused;
    const char* existing;  // the default value of .upd before the start
    std::vector<std::string> want;
  } cases[] = {
      {"", "", {type, command, icon, association}},
      {"", "OtherApp.Document", {type, command, icon}},
      {"VLR.Update", "", {}},
      {"VLR.Update\\shell\\open\\command", "", {type}},
      {"VLR.Update\\DefaultIcon", "", {type, command, association}},
  };
  for (const auto& c : cases) {
    RecordingRegistry registry;
    registry.refused = c.refused;
    registry.existing[".upd"] = c.existing;
    RegisterFileType(kProgram, registry);
    EXPECT_EQ(registry.writes, c.want) << "refused " << c.refused << ", .upd " << c.existing;
  }
  // A path that leaves no room for " %1" in 260 bytes is not registered at all.
  RecordingRegistry registry;
  RegisterFileType(std::string(257, 'p'), registry);
  EXPECT_TRUE(registry.writes.empty());
}

}  // namespace
