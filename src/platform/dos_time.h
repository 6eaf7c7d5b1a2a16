#pragma once

// DOS date-times: the 32-bit stamps that the archive format and the file routines
// compare (date in the high word, time in the low word, two-second steps).

#include <cstdint>
#include <optional>

namespace koru::platform {

struct CivilTime {
  int year = 1980;  // full year
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;  // 0..59; odd seconds are rounded down when packed
};

// The DOS date-time of t, or nullopt when t lies outside 1980..2107 or is not a valid
// calendar date.
std::optional<uint32_t> PackDosTime(const CivilTime& t);
// The calendar time of a DOS date-time, or nullopt when a field is out of range
// (month 0, day 0, hour 24, ...).
std::optional<CivilTime> UnpackDosTime(uint32_t dos_time);

}  // namespace koru::platform
