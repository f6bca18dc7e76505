// The local time with its offset from UTC, as vareri-cli writes it: in the --log lines and
// in the JSON summary, so that runs on machines in different time zones compare.
#pragma once

#include <chrono>
#include <ctime>
#include <string>

// When vareri-cli started, for the JSON summary's "started" and "durationMs".
struct StartTime {
  std::time_t wall = std::time(nullptr);
  std::chrono::steady_clock::time_point steady = std::chrono::steady_clock::now();

  // Milliseconds since then, by the steady clock.
  long ElapsedMs() const;
};

// "2024-05-01 12:00:00 +02:00": the stamp that begins each --log line.
std::string LogTimestamp(std::time_t when);

// "2024-05-01T12:00:00+02:00": ISO 8601, for JSON.
std::string IsoTimestamp(std::time_t when);
