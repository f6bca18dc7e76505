#include "platform/canonical_path.h"
#include "platform/name_case.h"

bool PathContains(const std::string& outer, const std::string& inner) {
  std::string a = FoldedName(outer);
  std::string b = FoldedName(inner);
  while (!a.empty() && a.back() == '\\') a.pop_back();
  if (b.size() < a.size() || b.compare(0, a.size(), a) != 0) return false;
  return b.size() == a.size() || b[a.size()] == '\\';
}
