// The update of a product whose files all sit in one directory, at two sizes: what the time
// per file becomes when one directory holds ten times as many files.
#pragma once

#include <string>
#include <vector>

namespace bench {

// Makes, of the files `names` (relative to root/old and root/new, their names unique without
// their folders), products of `files` / 10 and of `files` files that all install into one
// directory, builds each with updpack and times vareri-cli's update of an installation of the
// old versions. Prints "one directory: N1 files T1 s, N2 files T2 s".
void OneDirectory(const std::string& updpack, const std::string& cli, const std::string& root,
                  const std::vector<std::string>& names, int files);

}  // namespace bench
