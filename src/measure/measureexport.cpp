#include "measure/measureexport.h"

#include "measure/quantity.h"
#include "measure/wholefile.h"

namespace zorvane {

namespace {

void appendField(std::string &line, const std::optional<double> &value, const NumberFormat &format)
{
    if (value)
        line += formatNumber(*value, format.decimalSeparator, kMeasureDigits);
}

std::vector<Quantity> exportedColumns(const MeasureTable &table)
{
    std::vector<Quantity> columns{Quantity::T, Quantity::X, Quantity::Y, Quantity::Vx, Quantity::Vy};
    if (table.hasEnergies)
        columns.insert(columns.end(), {Quantity::Ec, Quantity::Epp, Quantity::Em});
    return columns;
}

std::string tableText(const MeasureTable &table, const NumberFormat &format, char separator, std::string_view lineEnd)
{
    const std::vector<Quantity> columns = exportedColumns(table);
    std::string text;
    for (Quantity column : columns) {
        if (column != columns.front())
            text += separator;
        text += columnTitle(column, table.inPixels);
    }
    text += lineEnd;
    for (const MeasureRow &row : table.rows) {
        for (Quantity column : columns) {
            if (column != columns.front())
                text += separator;
            appendField(text, quantityValue(row, column), format);
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
