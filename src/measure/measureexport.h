#pragma once

#include "measure/measuretable.h"
#include "track/numbertext.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace zorvane {

// The header row of a calibrated table, in column order; a table with
// energies adds "Ec (J)", "Epp (J)" and "Em (J)", one in pixels says "px".
inline constexpr std::string_view kMeasureColumns[] = {"t (s)", "x (m)", "y (m)", "vx (m/s)", "vy (m/s)"};

// Numbers keep 10 significant digits: a click resolves one part in a few
// thousand, so rounding to 10 digits loses nothing the measure holds.
inline constexpr int kMeasureDigits = 10;

// ',' between fields when the decimal separator is '.', ';' otherwise, as
// spreadsheets of that locale expect.
char csvFieldSeparator(const NumberFormat &format);

// The header row and one line per row: t, x, y, vx, vy (Ec, Epp, Em) with the locale's
// decimal separator, no digit grouping; an empty field for a missing
// velocity. CSV lines end with CR LF; the clipboard text is tab-separated
// with LF.
std::string csvText(const MeasureTable &table, const NumberFormat &format);
std::string clipboardText(const MeasureTable &table, const NumberFormat &format);

// Writes csvText as UTF-8, or nothing: the previous file survives any
// failure. Throws MeasureError (WriteFailed).
void exportCsv(const std::filesystem::path &path, const MeasureTable &table, const NumberFormat &format);

} // namespace zorvane
