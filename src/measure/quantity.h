#pragma once

#include "measure/fit.h"
#include "measure/measuretable.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane {

// What a table column or a plot axis can show.
enum class Quantity { T, X, Y, Vx, Vy, V, Ax, Ay, Ec, Epp, Em };

inline constexpr std::array kAllQuantities = {Quantity::T,  Quantity::X,   Quantity::Y,  Quantity::Vx,
                                              Quantity::Vy, Quantity::V,   Quantity::Ax, Quantity::Ay,
                                              Quantity::Ec, Quantity::Epp, Quantity::Em};

// Powers of the base units: a quantity's unit, and a coefficient's.
struct Unit {
    int length = 0;
    int time = 0;
    int mass = 0;
    bool pixels = false; // lengths in pixels

    Unit over(const Unit &other, int power = 1) const;
    friend bool operator==(const Unit &, const Unit &) = default;
};

// The name used in headers and on the command line: "t", "vx", "Ec"...
std::string_view quantityName(Quantity quantity);
std::optional<Quantity> quantityNamed(std::string_view name);
Unit quantityUnit(Quantity quantity, bool inPixels);
// "m", "m/s²", "px/s", "J", "rad/s", "1/s"; empty for a pure number.
std::string unitText(const Unit &unit);
// "vx (m/s)".
std::string columnTitle(Quantity quantity, bool inPixels);

// Energies need a mass; the rest is always there.
bool quantityAvailable(Quantity quantity, const MeasureTable &table);
std::optional<double> quantityValue(const MeasureRow &row, Quantity quantity);

// The smallest change the measurement tells apart: a pixel for lengths,
// the frame interval for times, and what one pixel of rounding on each
// neighbour makes of a velocity or an acceleration. Never zero.
double quantityResolution(Quantity quantity, const MeasureTable &table);
// Decimals to write a value to that resolution, as a physicist would: the
// resolution's first digit is the last one written (one more for times,
// which the video knows better than a frame).
int quantityDecimals(Quantity quantity, const MeasureTable &table);
// Fixed decimals with the user's separator; never "-0".
std::string fixedText(double value, int decimals, std::string_view decimalSeparator);

// The rows whose quantity `on` lies between from and to, in either order.
struct FitRange {
    Quantity on = Quantity::T;
    double from = 0;
    double to = 0;
};
// A fit of `y` against `x` over the rows where both have a value, within
// the range when given. Throws FitError.
FitResult fitQuantities(const MeasureTable &table, FitModel model, Quantity x, Quantity y,
                        const std::optional<FitRange> &range = std::nullopt);

// The unit of each coefficient of the model for y against x.
std::vector<Unit> coefficientUnits(FitModel model, const Unit &x, const Unit &y);
// The same as text; an angular frequency in rad per unit, a phase in rad.
std::vector<std::string> coefficientUnitTexts(FitModel model, const Unit &x, const Unit &y);
// "linear", "quadratic", "sine", "exp", "poly3".
std::string_view modelName(FitModel model);
std::optional<FitModel> modelNamed(std::string_view name);
// "y = a·t² + b·t + c" with the quantities' names.
std::string modelEquation(FitModel model, std::string_view x, std::string_view y);
// A value and its uncertainty rounded together, the uncertainty to two
// significant digits: "-4.905 ± 0.012".
std::string valueWithUncertainty(double value, double uncertainty, std::string_view decimalSeparator);

} // namespace zorvane
