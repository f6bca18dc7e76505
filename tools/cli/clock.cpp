#include "clock.h"

#include <cstdio>

namespace {

struct LocalTime {
  std::tm fields = {};
  long offsetMinutes = 0;  // east of UTC
};

// strftime's %z is the zone's name, not its offset, in the Windows C library: the offset
// is the difference of the local and the UTC calendar fields of the same moment.
LocalTime LocalAt(std::time_t when) {
  LocalTime local;
  std::tm utc = {};
#ifdef _WIN32
  localtime_s(&local.fields, &when);
  gmtime_s(&utc, &when);
#else
  localtime_r(&when, &local.fields);
  gmtime_r(&when, &utc);
#endif
  long days = local.fields.tm_year != utc.tm_year ? (local.fields.tm_year > utc.tm_year ? 1 : -1)
                                                  : local.fields.tm_yday - utc.tm_yday;
  local.offsetMinutes =
      days * 1440 + (local.fields.tm_hour - utc.tm_hour) * 60 + (local.fields.tm_min - utc.tm_min);
  return local;
}

std::string Format(std::time_t when, const char* between, const char* beforeOffset) {
  LocalTime local = LocalAt(when);
  const std::tm& t = local.fields;
  long offset = local.offsetMinutes < 0 ? -local.offsetMinutes : local.offsetMinutes;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d%s%02d:%02d:%02d%s%c%02ld:%02ld",
                t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, between, t.tm_hour, t.tm_min, t.tm_sec,
                beforeOffset, local.offsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

}  // namespace

std::string LogTimestamp(std::time_t when) { return Format(when, " ", " "); }

std::string IsoTimestamp(std::time_t when) { return Format(when, "T", ""); }

long StartTime::ElapsedMs() const {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - steady)
                               .count());
}
