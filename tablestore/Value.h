// A field value independent of the file format: what a cursor reads from a
// field and what it writes into one.
#pragma once

#include <cstdint>
#include <string>

namespace kimport {

// Day number of a date: 1 = 0001-01-01 (proleptic Gregorian), as Paradox stores it.
using DayNumber = std::int32_t;
constexpr DayNumber kUnixEpochDay = 719163;  // 1970-01-01
// Day 0 of dates read as numbers: 30.12.1899, as the users of these tables count (24.12.1998 is 36153).
// Every conversion between a date and a number, and every comparison, counts from it.
constexpr DayNumber kDayZero = 693594;
constexpr std::int64_t kMsPerDay = 86400000;

struct CivilDate {
    int year = 1, month = 1, day = 1;
};

DayNumber dayNumberFromCivil(int year, int month, int day);
// The local calendar day of now.
DayNumber todayNumber();
CivilDate civilFromDayNumber(DayNumber day);
bool isValidCivil(int year, int month, int day);

struct Value {
    enum class Kind { Null, Text, Integer, Float, Decimal, Boolean, Date, Time, DateTime, Bytes };

    Kind kind = Kind::Null;
    std::string text;         // Text (UTF-8), Decimal ("-12.50"), Bytes (raw)
    std::int64_t integer = 0; // Integer; Date: day number; Time: ms of day
    double number = 0;        // Float; DateTime: ms since day 0 (day number × 86 400 000 + ms)
    bool boolean = false;

    static Value null() { return {}; }
    static Value ofText(std::string t) { Value v; v.kind = Kind::Text; v.text = std::move(t); return v; }
    static Value ofInteger(std::int64_t i) { Value v; v.kind = Kind::Integer; v.integer = i; return v; }
    static Value ofFloat(double d) { Value v; v.kind = Kind::Float; v.number = d; return v; }
    static Value ofDecimal(std::string d) { Value v; v.kind = Kind::Decimal; v.text = std::move(d); return v; }
    static Value ofBoolean(bool b) { Value v; v.kind = Kind::Boolean; v.boolean = b; return v; }
    static Value ofDate(DayNumber d) { Value v; v.kind = Kind::Date; v.integer = d; return v; }
    static Value ofTime(std::int64_t ms) { Value v; v.kind = Kind::Time; v.integer = ms; return v; }
    static Value ofDateTime(double ms) { Value v; v.kind = Kind::DateTime; v.number = ms; return v; }
    static Value ofBytes(std::string b) { Value v; v.kind = Kind::Bytes; v.text = std::move(b); return v; }

    bool isNull() const { return kind == Kind::Null; }
    bool operator==(const Value&) const = default;
};

// ISO forms used by the dump and by messages: "YYYY-MM-DD", "HH:MM:SS[.mmm]".
std::string isoDate(DayNumber day);
std::string isoTime(std::int64_t msOfDay);
std::string isoDateTime(double msSinceDayZero);

}  // namespace kimport
