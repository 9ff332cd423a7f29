#include "tablestore/Value.h"

#include <ctime>

#include <cmath>
#include <cstdio>

namespace kimport {

namespace {
// Days from 1970-01-01 (H. Hinnant's civil calendar algorithms).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}
}  // namespace

DayNumber todayNumber() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return dayNumberFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

DayNumber dayNumberFromCivil(int year, int month, int day) {
    return static_cast<DayNumber>(daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                                  kUnixEpochDay);
}

CivilDate civilFromDayNumber(DayNumber dayNumber) {
    std::int64_t z = static_cast<std::int64_t>(dayNumber) - kUnixEpochDay + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

bool isValidCivil(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string isoDate(DayNumber day) {
    CivilDate c = civilFromDayNumber(day);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c.year, c.month, c.day);
    return buf;
}

std::string isoTime(std::int64_t ms) {
    char buf[32];
    int h = static_cast<int>(ms / 3600000), m = static_cast<int>(ms / 60000 % 60), s = static_cast<int>(ms / 1000 % 60);
    int milli = static_cast<int>(ms % 1000);
    if (milli)
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", h, m, s, milli);
    else
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, m, s);
    return buf;
}

std::string isoDateTime(double msSinceDayZero) {
    if (!std::isfinite(msSinceDayZero) || msSinceDayZero < 0 || msSinceDayZero > 1e18) return {};
    double rounded = std::floor(msSinceDayZero + 0.5);
    auto total = static_cast<std::int64_t>(rounded);
    auto day = static_cast<DayNumber>(total / kMsPerDay);
    std::int64_t ms = total % kMsPerDay;
    return isoDate(day) + "T" + isoTime(ms);
}

}  // namespace kimport
