#include "measure/ui/measurewindow.h"

#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QScatterSeries>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace zorvane {
namespace {

constexpr int kTableDigits = 6;

std::optional<double> valueOf(const MeasureRow &row, int quantity)
{
    switch (quantity) {
    case 0: return row.x;
    case 1: return row.y;
    case 2: return row.vx;
    default: return row.vy;
    }
}

// A range with a little room around the values, never empty.
std::pair<double, double> paddedRange(double low, double high)
{
    if (!(low <= high))
        return {0, 1};
    const double margin = high > low ? (high - low) * 0.05 : std::max(std::abs(low) * 0.05, 0.5);
    return {low - margin, high + margin};
}

} // namespace

// A window of its own, which goes with the main window.
MeasureWindow::MeasureWindow(NumberFormat format, QWidget *parent)
        : QWidget(parent, Qt::Window), m_format(std::move(format))
{
    setObjectName(QStringLiteral("measureWindow"));
    setWindowTitle(QStringLiteral("Mesures"));
    m_header = new QLabel(this);
    m_header->setObjectName(QStringLiteral("header"));
    m_header->setWordWrap(true);

    m_table = new QTableWidget(0, 6, this);
    m_table->setObjectName(QStringLiteral("table"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Image"), QStringLiteral("t (s)"), QStringLiteral("x (m)"),
                                        QStringLiteral("y (m)"), QStringLiteral("vx (m/s)"),
                                        QStringLiteral("vy (m/s)")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row, int) { chooseRow(row); });

    auto *plots = new QWidget(this);
    auto *grid = new QGridLayout(plots);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(createPlot(X, QStringLiteral("x(t)"), QStringLiteral("x (m)")), 0, 0);
    grid->addWidget(createPlot(Y, QStringLiteral("y(t)"), QStringLiteral("y (m)")), 0, 1);
    grid->addWidget(createPlot(Vx, QStringLiteral("vx(t)"), QStringLiteral("vx (m/s)")), 1, 0);
    grid->addWidget(createPlot(Vy, QStringLiteral("vy(t)"), QStringLiteral("vy (m/s)")), 1, 1);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(m_table);
    splitter->addWidget(plots);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({440, 560});

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_header);
    layout->addWidget(splitter, 1);
    resize(1000, 600);
}

QWidget *MeasureWindow::createPlot(Quantity quantity, const QString &title, const QString &unit)
{
    Plot &plot = m_plots[quantity];
    plot.chart = new QChart;
    plot.chart->setTitle(title);
    plot.chart->legend()->hide();
    plot.line = new QLineSeries(plot.chart);
    plot.points = new QScatterSeries(plot.chart);
    plot.points->setMarkerSize(7);
    plot.chart->addSeries(plot.line);
    plot.chart->addSeries(plot.points);
    plot.timeAxis = new QValueAxis(plot.chart);
    plot.timeAxis->setTitleText(QStringLiteral("t (s)"));
    plot.valueAxis = new QValueAxis(plot.chart);
    plot.valueAxis->setTitleText(unit);
    plot.chart->addAxis(plot.timeAxis, Qt::AlignBottom);
    plot.chart->addAxis(plot.valueAxis, Qt::AlignLeft);
    for (QXYSeries *series : {static_cast<QXYSeries *>(plot.line), static_cast<QXYSeries *>(plot.points)}) {
        series->attachAxis(plot.timeAxis);
        series->attachAxis(plot.valueAxis);
        connect(series, &QXYSeries::clicked, this, [this](const QPointF &point) { choosePlottedTime(point.x()); });
    }
    auto *view = new QChartView(plot.chart, this);
    view->setObjectName(QStringLiteral("plot") + title);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(220, 160);
    return view;
}

void MeasureWindow::showTable(const MeasureTable &table, const QString &header)
{
    m_shown = table;
    m_header->setText(header);
    fillTable(table);
    for (int quantity = X; quantity <= Vy; ++quantity)
        fillPlot(m_plots[quantity], static_cast<Quantity>(quantity), table);
}

void MeasureWindow::fillTable(const MeasureTable &table)
{
    m_table->setRowCount(static_cast<int>(table.rows.size()));
    const auto text = [this](std::optional<double> value) {
        return value ? QString::fromStdString(formatNumber(*value, m_format.decimalSeparator, kTableDigits))
                     : QString();
    };
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const MeasureRow &measure = table.rows[static_cast<std::size_t>(row)];
        const QString cells[] = {QString::number(measure.frame),
                                 text(measure.t),
                                 text(measure.x),
                                 text(measure.y),
                                 text(measure.vx),
                                 text(measure.vy)};
        for (int column = 0; column < 6; ++column) {
            auto *item = new QTableWidgetItem(cells[column]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(row, column, item);
        }
    }
}

// Missing velocities leave the point out rather than plot a zero.
void MeasureWindow::fillPlot(Plot &plot, Quantity quantity, const MeasureTable &table)
{
    QList<QPointF> points;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const MeasureRow &row : table.rows) {
        const std::optional<double> value = valueOf(row, quantity);
        if (!value)
            continue;
        points.append(QPointF(row.t, *value));
        low = std::min(low, *value);
        high = std::max(high, *value);
    }
    plot.line->replace(points);
    plot.points->replace(points);
    const auto [valueLow, valueHigh] = paddedRange(low, high);
    plot.valueAxis->setRange(valueLow, valueHigh);
    plot.valueAxis->applyNiceNumbers();
    if (table.rows.empty()) {
        plot.timeAxis->setRange(0, 1);
    } else {
        const auto [timeLow, timeHigh] = paddedRange(table.rows.front().t, table.rows.back().t);
        plot.timeAxis->setRange(timeLow, timeHigh);
    }
    plot.timeAxis->applyNiceNumbers();
}

void MeasureWindow::chooseRow(int row)
{
    if (row >= 0 && row < static_cast<int>(m_shown.rows.size()))
        emit frameChosen(m_shown.rows[static_cast<std::size_t>(row)].frame);
}

// The row whose time is nearest the point clicked.
void MeasureWindow::choosePlottedTime(double t)
{
    if (m_shown.rows.empty())
        return;
    const auto nearest =
        std::min_element(m_shown.rows.begin(), m_shown.rows.end(), [t](const MeasureRow &a, const MeasureRow &b) {
            return std::abs(a.t - t) < std::abs(b.t - t);
        });
    const int row = static_cast<int>(nearest - m_shown.rows.begin());
    m_table->selectRow(row);
    emit frameChosen(nearest->frame);
}

} // namespace zorvane
