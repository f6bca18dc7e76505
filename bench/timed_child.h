// Child processes the native benchmarks time, with their resource usage. Every failure ends
// the benchmark with a message (Fail, bench_product.h).
#pragma once

#include <sys/resource.h>

#include <functional>
#include <string>
#include <vector>

namespace bench {

// Runs `body` in a child process and waits for it. Returns the child's exit status (-1 when
// it did not exit normally) and stores its resource usage.
int RunChild(const std::function<int()>& body, struct rusage* usage);

// Runs the program `argv` with its standard output to `output` (standard error stays), and
// waits. Returns its exit status (-1 when it did not exit normally), its time and, unless
// `usage` is null, its usage; the peak memory there is the program's own (bench/own_peak.cpp).
int RunProgram(const std::vector<std::string>& argv, const std::string& output, double* seconds,
               struct rusage* usage);

// Runs `argv` after a sync, so that no run pays for the writeback of what came before it;
// ends the benchmark unless it exits with `expected`. Its seconds.
double Timed(const std::vector<std::string>& argv, int expected, struct rusage* usage = nullptr);

// This process's memory now, in MB.
long ResidentMegabytes();

// Peak memory of a child, in MB.
long PeakMegabytes(const struct rusage& usage);

}  // namespace bench
