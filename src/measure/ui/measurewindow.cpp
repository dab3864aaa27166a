#include "measure/ui/measurewindow.h"

#include "measure/ui/plotpanel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace zorvane {
namespace {

QString fromUtf8(const std::string &text) { return QString::fromStdString(text); }

} // namespace

// A window of its own, which goes with the main window.
MeasureWindow::MeasureWindow(NumberFormat format, QWidget *parent)
        : QWidget(parent, Qt::Window), m_format(std::move(format))
{
    setObjectName(QStringLiteral("measureWindow"));
    setWindowTitle(tr("Mesures"));
    m_header = new QLabel(this);
    m_header->setObjectName(QStringLiteral("header"));
    m_header->setWordWrap(true);

    m_table = new QTableWidget(0, 0, this);
    m_table->setObjectName(QStringLiteral("table"));
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row, int) { chooseRow(row); });

    auto *plots = new QWidget(this);
    // Below their smallest size the plots scroll rather than overlap.
    auto *scroll = new QScrollArea(plots);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *grid = new QGridLayout(new QWidget);
    scroll->setWidget(grid->parentWidget());
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);
    const std::array<std::pair<Quantity, Quantity>, 4> shown = {
        std::pair{Quantity::T, Quantity::X}, std::pair{Quantity::T, Quantity::Y}, std::pair{Quantity::T, Quantity::Vx},
        std::pair{Quantity::T, Quantity::Vy}};
    for (std::size_t i = 0; i < m_plots.size(); ++i) {
        m_plots[i] = new PlotPanel(m_format, shown[i].first, shown[i].second, grid->parentWidget());
        m_plots[i]->setObjectName(QStringLiteral("plot%1").arg(i + 1));
        grid->addWidget(m_plots[i], static_cast<int>(i / 2), static_cast<int>(i % 2));
        connect(m_plots[i], &PlotPanel::frameChosen, this, &MeasureWindow::selectFrame);
        connect(m_plots[i], &PlotPanel::problem, this, &MeasureWindow::problem);
    }
    m_plotCount = new QComboBox(plots);
    m_plotCount->setObjectName(QStringLiteral("plotCount"));
    for (int count : {1, 2, 4})
        m_plotCount->addItem(QString::number(count), count);
    m_plotCount->setCurrentIndex(2);
    connect(m_plotCount, &QComboBox::currentIndexChanged, this,
            [this] { setPlotCount(m_plotCount->currentData().toInt()); });
    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Graphiques :"), plots));
    top->addWidget(m_plotCount);
    top->addStretch(1);
    auto *plotsLayout = new QVBoxLayout(plots);
    plotsLayout->setContentsMargins(0, 0, 0, 0);
    plotsLayout->addLayout(top);
    plotsLayout->addWidget(scroll, 1);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(m_table);
    splitter->addWidget(plots);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({380, 620});

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_header);
    layout->addWidget(splitter, 1);
    resize(1000, 600);
}

void MeasureWindow::setPlotCount(int count)
{
    for (std::size_t i = 0; i < m_plots.size(); ++i)
        m_plots[i]->setVisible(static_cast<int>(i) < count);
    m_plotCount->setCurrentIndex(m_plotCount->findData(count));
}

std::vector<Quantity> MeasureWindow::columns() const
{
    std::vector<Quantity> shown;
    for (Quantity quantity : kAllQuantities)
        if (quantityAvailable(quantity, m_shown))
            shown.push_back(quantity);
    return shown;
}

void MeasureWindow::showTable(const MeasureTable &table, const QString &header)
{
    m_shown = table;
    m_header->setText(header);
    fillTable();
    for (PlotPanel *plot : m_plots)
        plot->showTable(table);
}

// Each quantity to the precision the measurement gives it.
void MeasureWindow::fillTable()
{
    const std::vector<Quantity> quantities = columns();
    QStringList titles{tr("Image")};
    std::vector<int> decimals;
    for (Quantity quantity : quantities) {
        titles << fromUtf8(columnTitle(quantity, m_shown.inPixels));
        decimals.push_back(quantityDecimals(quantity, m_shown));
    }
    m_table->setColumnCount(static_cast<int>(titles.size()));
    m_table->setHorizontalHeaderLabels(titles);
    m_table->setRowCount(static_cast<int>(m_shown.rows.size()));
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const MeasureRow &measure = m_shown.rows[static_cast<std::size_t>(row)];
        QStringList cells{QString::number(measure.frame)};
        for (std::size_t column = 0; column < quantities.size(); ++column) {
            const std::optional<double> value = quantityValue(measure, quantities[column]);
            cells << (value ? fromUtf8(fixedText(*value, decimals[column], m_format.decimalSeparator)) : QString());
        }
        for (int column = 0; column < cells.size(); ++column) {
            auto *item = new QTableWidgetItem(cells[column]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(row, column, item);
        }
    }
}

void MeasureWindow::chooseRow(int row)
{
    if (row >= 0 && row < static_cast<int>(m_shown.rows.size()))
        emit frameChosen(m_shown.rows[static_cast<std::size_t>(row)].frame);
}

void MeasureWindow::selectFrame(int frame)
{
    for (std::size_t row = 0; row < m_shown.rows.size(); ++row)
        if (m_shown.rows[row].frame == frame)
            m_table->selectRow(static_cast<int>(row));
    emit frameChosen(frame);
}

} // namespace zorvane
