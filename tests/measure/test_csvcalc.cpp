// LibreOffice Calc, run headless, reads the exported CSV of either locale
// as the header and five numeric columns with the values written.
#include "measure/measureexport.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>

using namespace zorvane;
using zorvane::testing::mediaSubdir;
using zorvane::testing::readFileBytes;
using zorvane::testing::runProgram;
namespace fs = std::filesystem;

namespace {

MeasureRow measureRow(std::int32_t frame, double t, double x, double y, std::optional<double> vx,
                      std::optional<double> vy)
{
    MeasureRow row;
    row.frame = frame;
    row.t = t;
    row.x = x;
    row.y = y;
    row.vx = vx;
    row.vy = vy;
    return row;
}

struct Cell {
    std::string type; // office:value-type, empty for an empty cell
    std::string value;
    std::string text;
};
using Row = std::vector<Cell>;

std::string attribute(std::string_view tag, const std::string &name)
{
    const std::size_t at = tag.find(" " + name + "=\"");
    if (at == std::string_view::npos)
        return {};
    const std::size_t start = at + name.size() + 3;
    return std::string(tag.substr(start, tag.find('"', start) - start));
}

// The cells of every row of the first sheet of a flat OpenDocument file,
// with repeated cells spelled out.
std::vector<Row> sheetRows(const std::string &xml)
{
    std::vector<Row> rows;
    std::size_t pos = 0;
    while ((pos = xml.find("<table:table-row", pos)) != std::string::npos) {
        const std::size_t rowEnd = xml.find("</table:table-row>", pos);
        Row row;
        std::size_t cell = pos;
        while ((cell = xml.find("<table:table-cell", cell)) < rowEnd) {
            const std::size_t tagEnd = xml.find('>', cell);
            const std::string_view tag(xml.data() + cell, tagEnd - cell);
            Cell content{attribute(tag, "office:value-type"), attribute(tag, "office:value"), {}};
            if (!tag.ends_with('/')) {
                const std::size_t text = xml.find("<text:p>", tagEnd);
                const std::size_t close = xml.find("</table:table-cell>", tagEnd);
                if (text < close)
                    content.text = xml.substr(text + 8, xml.find("</text:p>", text) - text - 8);
            }
            const std::string repeated = attribute(tag, "table:number-columns-repeated");
            row.insert(row.end(), repeated.empty() ? 1 : std::stoul(repeated), content);
            cell = tagEnd;
        }
        rows.push_back(row);
        pos = rowEnd;
    }
    return rows;
}

MeasureTable variedTable()
{
    MeasureTable table;
    table.rows.push_back(measureRow(0, 0.0, -0.125, 1.5, std::nullopt, std::nullopt));
    table.rows.push_back(measureRow(1, 1.0 / 60, 1234567.891, -2.5e-7, 0.3333333333333333, -9.80665));
    table.rows.push_back(measureRow(3, 0.05, 0.0, 12.0, -1e-12, 250000.0));
    table.rows.push_back(measureRow(4, 1.0 / 15, 3.0, -4.0, std::nullopt, std::nullopt));
    return table;
}

// Converts the CSV with Calc, reading it as a user of that locale would.
std::vector<Row> openedByCalc(const fs::path &csv, const std::string &importOptions)
{
    const fs::path folder = csv.parent_path();
    const fs::path profile = folder / "profile";
    const int status = runProgram({"soffice", "--headless", "--norestore",
                                   "-env:UserInstallation=file://" + profile.string(), "--infilter=" + importOptions,
                                   "--convert-to", "fods", "--outdir", (folder / "calc").string(), csv.string()});
    EXPECT_EQ(status, 0) << "soffice (Debian libreoffice-calc-nogui) must be installed: scripts/deps.sh";
    return sheetRows(readFileBytes(folder / "calc" / (csv.stem().string() + ".fods")));
}

void expectFiveNumericColumns(const std::vector<Row> &rows, const MeasureTable &table)
{
    ASSERT_EQ(rows.size(), table.rows.size() + 1);
    ASSERT_EQ(rows[0].size(), 5u);
    for (std::size_t column = 0; column < 5; ++column) {
        EXPECT_EQ(rows[0][column].type, "string");
        EXPECT_EQ(rows[0][column].text, kMeasureColumns[column]);
    }
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        const MeasureRow &expected = table.rows[i];
        const std::optional<double> values[] = {expected.t, expected.x, expected.y, expected.vx, expected.vy};
        Row row = rows[i + 1];
        ASSERT_LE(row.size(), 5u) << "row " << i;
        row.resize(5);
        for (std::size_t column = 0; column < 5; ++column) {
            const Cell &cell = row[column];
            if (!values[column]) {
                EXPECT_EQ(cell.type, "") << "row " << i << " column " << column;
                continue;
            }
            ASSERT_EQ(cell.type, "float") << "row " << i << " column " << column << ": " << cell.text;
            const double read = std::stod(cell.value);
            EXPECT_NEAR(read, *values[column], 1e-9 * std::max(1.0, std::abs(*values[column])))
                << "row " << i << " column " << column;
        }
    }
}

class CalcOpensCsv : public ::testing::Test {
protected:
    void SetUp() override { m_folder = mediaSubdir("calc-" + std::to_string(::getpid())); }
    void TearDown() override { fs::remove_all(m_folder); }

    fs::path m_folder;
};

TEST_F(CalcOpensCsv, WithADecimalPointAndCommas)
{
    const fs::path csv = m_folder / "points.csv";
    exportCsv(csv, variedTable(), NumberFormat{"."});
    // Comma-separated, UTF-8, English (United States).
    expectFiveNumericColumns(openedByCalc(csv, "CSV:44,34,76,1,,1033"), variedTable());
}

TEST_F(CalcOpensCsv, WithADecimalCommaAndSemicolons)
{
    const fs::path csv = m_folder / "virgules.csv";
    exportCsv(csv, variedTable(), NumberFormat{","});
    // Semicolon-separated, UTF-8, French (France).
    expectFiveNumericColumns(openedByCalc(csv, "CSV:59,34,76,1,,1036"), variedTable());
}

} // namespace
