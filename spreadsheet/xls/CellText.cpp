#include "spreadsheet/xls/CellText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace xls {

DateKind ClassifyBuiltinFormat(std::uint16_t id) {
  if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 54)) return DateKind::Date;
  if ((id >= 18 && id <= 21) || (id >= 32 && id <= 35) || (id >= 45 && id <= 47) || (id >= 55 && id <= 58))
    return DateKind::Time;
  if (id == 22) return DateKind::DateTime;
  return DateKind::None;
}

DateKind ClassifyFormatText(std::u16string_view f) {
  bool date = false, time = false, month = false;
  for (std::size_t i = 0; i < f.size(); ++i) {
    char16_t c = f[i];
    if (c == u'"') {
      std::size_t close = f.find(u'"', i + 1);
      if (close == std::u16string_view::npos) break;
      i = close;
    } else if (c == u'\\' || c == u'_' || c == u'*') {
      ++i;
    } else if (c == u'[') {
      std::size_t close = f.find(u']', i + 1);
      if (close == std::u16string_view::npos) break;
      std::u16string_view inner = f.substr(i + 1, close - i - 1);
      // [h], [mm], [ss]: elapsed time; anything else ([Red], [$-804], [DBNum1]) is not a date part.
      if (!inner.empty() && (inner[0] == u'h' || inner[0] == u'H' || inner[0] == u'm' || inner[0] == u'M' ||
                             inner[0] == u's' || inner[0] == u'S'))
        time = true;
      i = close;
    } else if (c == u';') {
      break;  // the first section decides
    } else {
      switch (c) {
        case u'y':
        case u'Y':
        case u'd':
        case u'D':
          date = true;
          break;
        case u'h':
        case u'H':
        case u's':
        case u'S':
          time = true;
          break;
        case u'm':
        case u'M':
          month = true;
          break;
        default:
          break;
      }
    }
  }
  if (month && !time) date = true;
  if (date && time) return DateKind::DateTime;
  if (date) return DateKind::Date;
  if (time) return DateKind::Time;
  return DateKind::None;
}

std::u16string NumberText(double v) {
  if (std::isnan(v)) return u"#NUM!";
  if (std::isinf(v)) return v > 0 ? u"#NUM!" : u"-#NUM!";
  char buf[64];
  int n;
  if (v == std::floor(v) && std::fabs(v) < 1e15) {
    n = std::snprintf(buf, sizeof buf, "%.0f", v);
    if (v == 0) n = std::snprintf(buf, sizeof buf, "0");  // no "-0"
  } else {
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    n = static_cast<int>(res.ptr - buf);
  }
  return std::u16string(buf, buf + n);
}

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(long long z, int& y, unsigned& m, unsigned& d) {
  z += 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  unsigned doe = static_cast<unsigned>(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long yy = static_cast<long long>(yoe) + era * 400;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int>(yy + (m <= 2));
}

}  // namespace

std::u16string DateText(double serial, bool date1904, DateKind kind) {
  if (!(serial >= 0) || serial > 2958466.0) return NumberText(serial);
  long long totalSeconds = std::llround(serial * 86400.0);
  long long days = totalSeconds / 86400;
  long long secs = totalSeconds % 86400;
  int y;
  unsigned m, d;
  if (date1904) {
    CivilFromDays(days - 24107, y, m, d);  // 1904-01-01 is day 0
  } else if (days == 60) {
    y = 1900, m = 2, d = 29;  // the 1900 system's fictitious leap day
  } else if (days == 0) {
    y = 1900, m = 1, d = 0;
  } else {
    CivilFromDays(days - (days < 60 ? 25568 : 25569), y, m, d);
  }
  char buf[64];
  int n = 0;
  int hh = static_cast<int>(secs / 3600), mm = static_cast<int>(secs / 60 % 60), ss = static_cast<int>(secs % 60);
  switch (kind) {
    case DateKind::Time:
      n = std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", hh, mm, ss);
      break;
    case DateKind::DateTime:
      n = std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02d:%02d:%02d", y, m, d, hh, mm, ss);
      break;
    default:
      n = std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", y, m, d);
      break;
  }
  return std::u16string(buf, buf + n);
}

}  // namespace xls
