#include "measure/ui/plotpanel.h"

#include "measure/ui/plotview.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSaveFile>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <cmath>

namespace zorvane {
namespace {

constexpr QSize kExportSize(1000, 650);
#ifdef ZORVANE_PLOTS_WITHOUT_SVG
// A build without Qt SVG (the Windows one may be) saves plots as PNG only.
constexpr bool kWritesSvg = false;
#else
constexpr bool kWritesSvg = true;
#endif

QString fromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

PlotPanel::PlotPanel(NumberFormat format, Quantity x, Quantity y, QWidget *parent)
        : QWidget(parent), m_format(std::move(format))
{
    m_yChoice = new QComboBox(this);
    m_yChoice->setObjectName(QStringLiteral("vertical"));
    m_xChoice = new QComboBox(this);
    m_xChoice->setObjectName(QStringLiteral("horizontal"));
    m_modelChoice = new QComboBox(this);
    m_modelChoice->setObjectName(QStringLiteral("model"));
    m_modelChoice->addItem(tr("Sans modèle"));
    for (const auto &[model, name] :
         {std::pair{FitModel::Linear, tr("Linéaire")}, std::pair{FitModel::Quadratic, tr("Parabole")},
          std::pair{FitModel::Sine, tr("Sinusoïde")}, std::pair{FitModel::Exponential, tr("Exponentielle")},
          std::pair{FitModel::Poly3, tr("Polynôme de degré 3")}})
        m_modelChoice->addItem(name, static_cast<int>(model));
    for (Quantity quantity : kAllQuantities) {
        m_yChoice->addItem(fromUtf8(quantityName(quantity)), static_cast<int>(quantity));
        m_xChoice->addItem(fromUtf8(quantityName(quantity)), static_cast<int>(quantity));
    }

    m_view = new PlotView(this);
    m_view->setObjectName(QStringLiteral("plot"));
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("fitResult"));
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_result->setWordWrap(true);
    m_result->hide();

    QMenu *menu = m_view->menu();
    menu->addAction(tr("Copier le graphique"), this, &PlotPanel::copyPlot)
        ->setObjectName(QStringLiteral("copierGraphique"));
    menu->addAction(tr("Exporter le graphique..."), this, &PlotPanel::exportPlot)
        ->setObjectName(QStringLiteral("exporterGraphique"));
    menu->addAction(tr("Copier l'ajustement"), this, [this] { QApplication::clipboard()->setText(fitText()); })
        ->setObjectName(QStringLiteral("copierAjustement"));

    // "y = f(t)" above the plot, the model below it with its result.
    auto *choices = new QHBoxLayout;
    choices->setContentsMargins(0, 0, 0, 0);
    choices->addWidget(m_yChoice);
    choices->addWidget(new QLabel(tr("= f("), this));
    choices->addWidget(m_xChoice);
    choices->addWidget(new QLabel(QStringLiteral(")"), this));
    choices->addStretch(1);
    auto *model = new QHBoxLayout;
    model->setContentsMargins(0, 0, 0, 0);
    model->addWidget(new QLabel(tr("Ajustement :"), this));
    model->addWidget(m_modelChoice);
    model->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addLayout(choices);
    layout->addWidget(m_view, 1);
    layout->addLayout(model);
    layout->addWidget(m_result);

    setQuantities(x, y);
    for (QComboBox *box : {m_yChoice, m_xChoice, m_modelChoice})
        connect(box, &QComboBox::currentIndexChanged, this, &PlotPanel::refresh);
    connect(m_view, &PlotView::frameChosen, this, &PlotPanel::frameChosen);
    connect(m_view, &PlotView::selectionChanged, this, &PlotPanel::refit);
}

void PlotPanel::setQuantities(Quantity x, Quantity y)
{
    m_xChoice->setCurrentIndex(m_xChoice->findData(static_cast<int>(x)));
    m_yChoice->setCurrentIndex(m_yChoice->findData(static_cast<int>(y)));
}

void PlotPanel::setModel(std::optional<FitModel> model)
{
    m_modelChoice->setCurrentIndex(model ? m_modelChoice->findData(static_cast<int>(*model)) : 0);
}

Quantity PlotPanel::chosen(const QComboBox *box) const { return static_cast<Quantity>(box->currentData().toInt()); }

std::optional<FitModel> PlotPanel::chosenModel() const
{
    if (m_modelChoice->currentIndex() <= 0)
        return std::nullopt;
    return static_cast<FitModel>(m_modelChoice->currentData().toInt());
}

void PlotPanel::showTable(const MeasureTable &table)
{
    m_table = table;
    refresh();
}

// Energies are offered only when there is a mass.
void PlotPanel::fillChoices()
{
    for (QComboBox *box : {m_yChoice, m_xChoice}) {
        for (int i = 0; i < box->count(); ++i) {
            const Quantity quantity = static_cast<Quantity>(box->itemData(i).toInt());
            box->setItemText(i, fromUtf8(quantityName(quantity)));
            const bool available = quantityAvailable(quantity, m_table);
            if (auto *model = qobject_cast<QStandardItemModel *>(box->model()))
                model->item(i)->setEnabled(available);
        }
    }
}

void PlotPanel::refresh()
{
    fillChoices();
    const Quantity x = chosen(m_xChoice);
    const Quantity y = chosen(m_yChoice);
    std::vector<PlotView::Point> points;
    std::vector<double> xs;
    std::vector<double> ys;
    for (const MeasureRow &row : m_table.rows) {
        const std::optional<double> xValue = quantityValue(row, x);
        const std::optional<double> yValue = quantityValue(row, y);
        if (!xValue || !yValue)
            continue;
        points.push_back({*xValue, *yValue, row.frame});
        xs.push_back(*xValue);
        ys.push_back(*yValue);
    }
    const auto axis = [&](Quantity quantity, const std::vector<double> &values) {
        PlotView::Axis axis;
        axis.title = fromUtf8(columnTitle(quantity, m_table.inPixels));
        axis.name = fromUtf8(quantityName(quantity));
        axis.unit = fromUtf8(unitText(quantityUnit(quantity, m_table.inPixels)));
        axis.scale = quantityScale(quantity, m_table, values);
        axis.decimals = quantityDecimals(quantity, m_table);
        return axis;
    };
    m_view->setData(std::move(points), axis(x, xs), axis(y, ys), fromUtf8(m_format.decimalSeparator));
    refit();
}

void PlotPanel::refit()
{
    m_fit.reset();
    m_fitText.clear();
    const std::optional<FitModel> model = chosenModel();
    if (!model) {
        m_view->setCurve({}, {});
        m_result->hide();
        return;
    }
    const Quantity x = chosen(m_xChoice);
    const Quantity y = chosen(m_yChoice);
    std::optional<FitRange> range;
    if (const auto selection = m_view->selection())
        range = FitRange{x, selection->first, selection->second};
    try {
        const FitResult fit = fitQuantities(m_table, *model, x, y, range);
        m_fit = fit;
        m_view->setCurve([fit](double at) { return fit.valueAt(at); }, equationWithValues(fit));
        const std::string separator = m_format.decimalSeparator;
        const std::vector<std::string> units =
            coefficientUnitTexts(*model, quantityUnit(x, m_table.inPixels), quantityUnit(y, m_table.inPixels));
        QStringList lines;
        QString heading = fromUtf8(modelEquation(*model, quantityName(x), quantityName(y)));
        heading += tr(" : %n point(s)", nullptr, static_cast<int>(fit.points));
        if (range) {
            const auto [from, to] = std::minmax(range->from, range->to);
            const int decimals = quantityDecimals(x, m_table);
            heading += tr(" de %1 = %2 à %3 %4")
                           .arg(fromUtf8(quantityName(x)), fromUtf8(fixedText(from, decimals, separator)),
                                fromUtf8(fixedText(to, decimals, separator)),
                                fromUtf8(unitText(quantityUnit(x, m_table.inPixels))));
        }
        lines << heading;
        for (std::size_t j = 0; j < fit.coefficients.size(); ++j) {
            const FitCoefficient &c = fit.coefficients[j];
            lines << QStringLiteral("%1 = %2 %3")
                         .arg(fromUtf8(c.name), fromUtf8(valueWithUncertainty(c.value, c.uncertainty, separator)),
                              fromUtf8(units[j]));
        }
        lines << QStringLiteral("R² = %1").arg(fromUtf8(fixedText(fit.r2, 5, separator)));
        if (*model == FitModel::Quadratic && x == Quantity::T && (y == Quantity::X || y == Quantity::Y)) {
            const FitCoefficient &a = fit.coefficients.front();
            lines << tr("2a = %1 %2 : l'accélération selon %3 (−g pour un lancer, y vers le haut)")
                         .arg(fromUtf8(valueWithUncertainty(2 * a.value, 2 * a.uncertainty, separator)),
                              fromUtf8(units.front()), fromUtf8(quantityName(y)));
        }
        m_fitText = lines.join(QLatin1Char('\n'));
    } catch (const FitError &error) {
        m_view->setCurve({}, {});
        m_fitText = fitProblemText(error.problem());
    }
    m_result->setText(m_fitText);
    m_result->show();
}

QString PlotPanel::fitText() const { return m_fitText; }

QString PlotPanel::fitProblemText(FitProblem problem) const
{
    switch (problem) {
    case FitProblem::TooFewPoints: return tr("Pas assez de points pour ce modèle.");
    case FitProblem::SameAbscissa: return tr("Tous les points ont la même abscisse : aucune courbe ne les ajuste.");
    case FitProblem::NoSolution: return tr("Ce modèle ne s'ajuste pas à ces points.");
    }
    return {};
}

QString PlotPanel::number(double value, int digits) const
{
    return fromUtf8(formatNumber(value, m_format.decimalSeparator, digits));
}

// The curve's equation with its rounded coefficients, for the plot.
QString PlotPanel::equationWithValues(const FitResult &fit) const
{
    const QString x = fromUtf8(quantityName(chosen(m_xChoice)));
    const QString y = fromUtf8(quantityName(chosen(m_yChoice)));
    std::vector<double> v;
    for (const FitCoefficient &c : fit.coefficients)
        v.push_back(c.value);
    const auto term = [&](double value, const QString &factor, bool first) {
        const QString magnitude = number(first ? value : std::abs(value)) + factor;
        if (first)
            return magnitude;
        return (value < 0 ? QStringLiteral(" − ") : QStringLiteral(" + ")) + magnitude;
    };
    QString right;
    switch (fit.model) {
    case FitModel::Linear: right = term(v[0], QStringLiteral("·") + x, true) + term(v[1], {}, false); break;
    case FitModel::Quadratic:
        right = term(v[0], QStringLiteral("·") + x + QStringLiteral("²"), true)
                + term(v[1], QStringLiteral("·") + x, false) + term(v[2], {}, false);
        break;
    case FitModel::Poly3:
        right = term(v[0], QStringLiteral("·") + x + QStringLiteral("³"), true)
                + term(v[1], QStringLiteral("·") + x + QStringLiteral("²"), false)
                + term(v[2], QStringLiteral("·") + x, false) + term(v[3], {}, false);
        break;
    case FitModel::Sine:
        right = number(v[0]) + QStringLiteral("·sin(%1·%2").arg(number(v[1]), x)
                + term(v[2], QStringLiteral(")"), false) + term(v[3], {}, false);
        break;
    case FitModel::Exponential: right = number(v[0]) + QStringLiteral("·exp(%1·%2)").arg(number(v[1]), x); break;
    }
    return y + QStringLiteral(" = ") + right;
}

void PlotPanel::copyPlot() const { QApplication::clipboard()->setImage(m_view->image(kExportSize)); }

void PlotPanel::exportPlot()
{
    const QString png = tr("Image PNG (*.png)");
    const QString svg = tr("Image SVG (*.svg)");
    QString filter = png;
    const QString filters = kWritesSvg ? png + QStringLiteral(";;") + svg : png;
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Exporter le graphique"), tr("Graphique.png"), filters, &filter);
    if (path.isEmpty())
        return;
    const bool hasSuffix = !QFileInfo(path).suffix().isEmpty();
    savePlot(hasSuffix ? path : path + (filter == svg ? QStringLiteral(".svg") : QStringLiteral(".png")));
}

bool PlotPanel::savePlot(const QString &path)
{
    QByteArray bytes;
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
#ifdef ZORVANE_PLOTS_WITHOUT_SVG
        emit problem(tr("Cette version de Zorvane enregistre les graphiques en PNG seulement, pas « %1 ».").arg(path));
        return false;
#else
        bytes = m_view->svg(kExportSize);
#endif
    } else {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        m_view->image(kExportSize).save(&buffer, "PNG");
    }
    // Written whole or not at all: a previous file survives a failure.
    QSaveFile file(path);
    if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        emit problem(tr("Impossible d'enregistrer le graphique dans « %1 » : %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

} // namespace zorvane
