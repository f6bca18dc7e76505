// The scale benchmark's timed runs: the checks measured beside the plain one (with a trust entry,
// matched by bytes), and builds on one thread and on two.
#pragma once

#include <sys/resource.h>

#include <string>
#include <vector>

namespace bench {

// Signs root/scale.upd with a new key and prints "scale trust: check with a trust entry T s,
// without C s" for checks of root/install.
void TrustedCheck(const std::string& updpack, const std::string& cli, const std::string& root);

// Builds the product of `manifestPath` with every entry matched by its bytes and prints
// "scale exact: check by bytes E s, sampled S s, cat R s" for root/install.
void ExactCheck(const std::string& updpack, const std::string& cli, const std::string& root,
                const std::string& manifestPath);

// Builds the product of `manifestPath` on one thread and on two and prints "scale jobs: build
// -j 1 A s, -j 2 B s".
void BuildJobs(const std::string& updpack, const std::string& root,
               const std::string& manifestPath);

}  // namespace bench
