// Rows of the CSV form of a measurement series, as RFC 4180 has them (fields
// separated by commas, lines ended by CR LF, a header row): per reading the
// local clock time in ISO 8601 with milliseconds, the milliseconds since the
// series began, the temperature in °C, the emissivity (or for a ratio device
// the emissivity ratio) and the quantum count. No field needs quoting. The
// Russian form is the one a spreadsheet set up for Russian reads as numbers:
// fields separated by semicolons, a decimal comma.
#pragma once

#include <kcmb.h>

#include "platform/clock.h"

#include <cstdint>
#include <string>

namespace tools {

enum class CsvForm {
    Standard,  // ',' between fields, '.' in decimals
    Russian,   // ';' between fields, ',' in decimals
};

// The header row, CR LF included. A ratio device's column is named as the
// program names it.
std::string csvHeader(bool ratio, CsvForm form = CsvForm::Standard);

// Formats the rows of one series begun at `begin`: the clock time of a
// reading is the begin time plus its milliseconds, on the begin time's clock
// (local time, no zone conversion), as the program's text export has it.
class CsvRows {
public:
    CsvRows(const platform::SystemTime& begin, bool ratio, CsvForm form = CsvForm::Standard);

    // False when the begin time is no calendar date; no row can be made then.
    bool valid() const { return valid_; }

    // Appends the row of one reading, CR LF included; false, with nothing
    // appended, when its clock time falls outside the calendar.
    bool append(std::string& out, const v4TermData& record)
    {
        return append(out, record.time, record.temperature, record.emissivity, record.quantum);
    }
    // The same for a reading `ms` after the begin, which may lie further off
    // than a record's time can.
    bool append(std::string& out, std::int64_t ms, std::int32_t temperature, unsigned short emissivity,
                std::int32_t quantum);

private:
    std::uint64_t begin_ = 0;
    bool valid_ = false;
    bool ratio_;
    char separator_;
    char decimalPoint_;
    // The date part of the last row, kept while readings stay on one day.
    std::int64_t day_ = -1;
    char date_[16] = {};
    std::size_t dateLength_ = 0;
};

}  // namespace tools
