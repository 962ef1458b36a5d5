// What kl_tdf does with one result file, without its command line: read it
// whole or say why not, describe it, and turn it into CSV. Texts are Russian.
#pragma once

#include "csv_rows.h"

#include <kcmb.h>

#include <string>

namespace tools {

// Reads the file at `path` into `series`. Empty when the whole file was read;
// otherwise why it cannot serve: it cannot be opened or is refused by the
// library, holds fewer records than its count says, or its begin time is no
// calendar date. The library's message boxes are kept from the terminal.
std::string readWholeFile(const std::string& path, TermDataFile& series, TdfReadReport& report);

// The description of a series read from a file of `version`: format
// version, device, serial number, begin time, count, time span, lowest and
// highest temperature, one "name: value" line each.
std::string describe(TermDataFile& series, int version);

// The CSV form of the whole series, header first. False, with `error` set and
// `out` left as it was, when a reading's clock time falls outside the
// calendar.
bool toCsv(TermDataFile& series, std::string& out, std::string& error, CsvForm form = CsvForm::Standard);

}  // namespace tools
