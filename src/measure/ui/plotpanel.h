#pragma once

#include "measure/fit.h"
#include "measure/measuretable.h"
#include "measure/quantity.h"
#include "track/numbertext.h"

#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;

namespace zorvane {

class PlotView;

// One plot of the measures window: which quantity against which, the
// model fitted to it and the fit's coefficients, copyable.
class PlotPanel : public QWidget {
    Q_OBJECT

public:
    PlotPanel(NumberFormat format, Quantity x, Quantity y, QWidget *parent = nullptr);

    void showTable(const MeasureTable &table);
    void setQuantities(Quantity x, Quantity y);
    void setModel(std::optional<FitModel> model);
    std::optional<FitResult> fit() const { return m_fit; }
    QString fitText() const;
    PlotView *view() const { return m_view; }

    void copyPlot() const;
    void exportPlot();
    // As SVG when the name ends in .svg, PNG otherwise; false after saying why.
    bool savePlot(const QString &path);

signals:
    void frameChosen(int frame);
    void problem(const QString &message);

private:
    void fillChoices();
    void refresh();
    void refit();
    Quantity chosen(const QComboBox *box) const;
    std::optional<FitModel> chosenModel() const;
    QString number(double value, int digits = 4) const;
    QString equationWithValues(const FitResult &fit) const;
    QString fitProblemText(FitProblem problem) const;

    NumberFormat m_format;
    MeasureTable m_table;
    QComboBox *m_yChoice = nullptr;
    QComboBox *m_xChoice = nullptr;
    QComboBox *m_modelChoice = nullptr;
    PlotView *m_view = nullptr;
    QLabel *m_result = nullptr;
    std::optional<FitResult> m_fit;
    QString m_fitText;
};

} // namespace zorvane
