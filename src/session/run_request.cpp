#include "session/run_request.h"

#include <cstdio>
#include <set>

bool SetInstallDir(AppState& app, const std::string& directory) {
  std::snprintf(app.installDir, sizeof app.installDir, "%s", directory.c_str());
  return directory.size() < sizeof app.installDir;
}

std::string SelectComponents(VEzorazEdo& document, const std::vector<std::string>& only,
                             const std::vector<std::string>& exclude) {
  std::set<std::string> known;
  std::string listed;
  for (const auto& item : document.items) {
    if (known.insert(item->componentName).second) {
      listed += (listed.empty() ? "" : ", ") + item->componentName;
    }
  }
  for (const auto* names : {&only, &exclude}) {
    for (const std::string& name : *names) {
      if (known.count(name) == 0) {
        return "unknown component " + name +
               " (the update file has: " + (listed.empty() ? "none" : listed) + ")";
      }
    }
  }
  std::set<std::string> chosen(only.begin(), only.end());
  std::set<std::string> left(exclude.begin(), exclude.end());
  for (const auto& item : document.items) {
    if (!chosen.empty()) item->selected = chosen.count(item->componentName) != 0;
    if (left.count(item->componentName)) item->selected = false;
  }
  return std::string();
}

void StartRun(AppState& app, bool doUpdate) {
  app.runOk = true;
  app.updateNeeded = false;
  app.document.Run(*app.updateFile, doUpdate, app);
}
