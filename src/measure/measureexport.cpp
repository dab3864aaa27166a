#include "measure/measureexport.h"

#include "measure/wholefile.h"

namespace zorvane {

namespace {

void appendField(std::string &line, const std::optional<double> &value, const NumberFormat &format)
{
    if (value)
        line += formatNumber(*value, format.decimalSeparator, kMeasureDigits);
}

std::string tableText(const MeasureTable &table, const NumberFormat &format, char separator, std::string_view lineEnd)
{
    std::string text;
    for (std::string_view column : kMeasureColumns) {
        if (column != kMeasureColumns[0])
            text += separator;
        text += column;
    }
    text += lineEnd;
    for (const MeasureRow &row : table.rows) {
        const std::optional<double> fields[] = {row.t, row.x, row.y, row.vx, row.vy};
        for (const std::optional<double> &field : fields) {
            if (&field != fields)
                text += separator;
            appendField(text, field, format);
        }
        text += lineEnd;
    }
    return text;
}

} // namespace

char csvFieldSeparator(const NumberFormat &format) { return format.decimalSeparator == "." ? ',' : ';'; }

std::string csvText(const MeasureTable &table, const NumberFormat &format)
{
    return tableText(table, format, csvFieldSeparator(format), "\r\n");
}

std::string clipboardText(const MeasureTable &table, const NumberFormat &format)
{
    return tableText(table, format, '\t', "\n");
}

void exportCsv(const std::filesystem::path &path, const MeasureTable &table, const NumberFormat &format)
{
    replaceWholeFile(path, csvText(table, format), "d'exporter les mesures");
}

} // namespace zorvane
