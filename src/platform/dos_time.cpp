#include "platform/dos_time.h"

namespace koru::platform {
namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValid(const CivilTime& t) {
  if (t.year < 1980 || t.year > 2107 || t.month < 1 || t.month > 12) return false;
  if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return false;
  return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
         t.second < 60;
}

}  // namespace

std::optional<uint32_t> PackDosTime(const CivilTime& t) {
  if (!IsValid(t)) return std::nullopt;
  const uint32_t date = static_cast<uint32_t>(((t.year - 1980) << 9) | (t.month << 5) | t.day);
  const uint32_t time = static_cast<uint32_t>((t.hour << 11) | (t.minute << 5) | (t.second / 2));
  return (date << 16) | time;
}

std::optional<CivilTime> UnpackDosTime(uint32_t dos_time) {
  const uint32_t date = dos_time >> 16;
  const uint32_t time = dos_time & 0xFFFF;
  CivilTime t;
  t.year = static_cast<int>(date >> 9) + 1980;
  t.month = static_cast<int>((date >> 5) & 0x0F);
  t.day = static_cast<int>(date & 0x1F);
  t.hour = static_cast<int>(time >> 11);
  t.minute = static_cast<int>((time >> 5) & 0x3F);
  t.second = static_cast<int>(time & 0x1F) * 2;
  if (!IsValid(t)) return std::nullopt;
  return t;
}

}  // namespace koru::platform
