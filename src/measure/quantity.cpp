#include "measure/quantity.h"

#include "common/middlevalue.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zorvane {

namespace {

constexpr int kMostDecimals = 12;

struct QuantityInfo {
    Quantity quantity;
    std::string_view name;
    Unit unit; // in metres
};

constexpr QuantityInfo kInfo[] = {
    {Quantity::T, "t", {0, 1, 0, false}},    {Quantity::X, "x", {1, 0, 0, false}},
    {Quantity::Y, "y", {1, 0, 0, false}},    {Quantity::Vx, "vx", {1, -1, 0, false}},
    {Quantity::Vy, "vy", {1, -1, 0, false}}, {Quantity::V, "v", {1, -1, 0, false}},
    {Quantity::Ax, "ax", {1, -2, 0, false}}, {Quantity::Ay, "ay", {1, -2, 0, false}},
    {Quantity::Ec, "Ec", {2, -2, 1, false}}, {Quantity::Epp, "Epp", {2, -2, 1, false}},
    {Quantity::Em, "Em", {2, -2, 1, false}},
};

const QuantityInfo &infoOf(Quantity quantity) { return kInfo[static_cast<std::size_t>(quantity)]; }

bool isEnergy(Quantity quantity)
{
    return quantity == Quantity::Ec || quantity == Quantity::Epp || quantity == Quantity::Em;
}

std::string power(std::string_view symbol, int exponent)
{
    std::string text(symbol);
    if (exponent == 2)
        text += "²";
    else if (exponent == 3)
        text += "³";
    else if (exponent != 1)
        text += "^" + std::to_string(exponent);
    return text;
}

std::string joined(const std::vector<std::string> &factors)
{
    std::string text;
    for (const std::string &factor : factors)
        text += (text.empty() ? "" : "·") + factor;
    return text;
}

// The interval between frames, as the median of the rows' gaps over the
// frames between them; 1 when there is nothing to tell.
double frameInterval(const MeasureTable &table)
{
    std::vector<double> gaps;
    for (std::size_t i = 1; i < table.rows.size(); ++i) {
        const double frames = table.rows[i].frame - table.rows[i - 1].frame;
        const double gap = (table.rows[i].t - table.rows[i - 1].t) / frames;
        if (frames > 0 && gap > 0)
            gaps.push_back(gap);
    }
    return gaps.empty() ? 1 : middleValue(std::move(gaps));
}

double largestSpeed(const MeasureTable &table)
{
    double largest = 0;
    for (const MeasureRow &row : table.rows)
        if (row.v)
            largest = std::max(largest, *row.v);
    return largest;
}

} // namespace

Unit Unit::over(const Unit &other, int times) const
{
    return {length - times * other.length, time - times * other.time, mass - times * other.mass,
            pixels || other.pixels};
}

std::string_view quantityName(Quantity quantity) { return infoOf(quantity).name; }

std::optional<Quantity> quantityNamed(std::string_view name)
{
    for (const QuantityInfo &info : kInfo)
        if (info.name == name)
            return info.quantity;
    return std::nullopt;
}

Unit quantityUnit(Quantity quantity, bool inPixels)
{
    Unit unit = infoOf(quantity).unit;
    unit.pixels = inPixels && unit.length != 0;
    return unit;
}

std::string unitText(const Unit &unit)
{
    int length = unit.length;
    int time = unit.time;
    int mass = unit.mass;
    std::vector<std::string> above;
    std::vector<std::string> below;
    if (!unit.pixels && mass >= 1 && length >= 2 && time <= -2) {
        above.push_back("J");
        mass -= 1;
        length -= 2;
        time += 2;
    }
    const auto place = [&](std::string_view symbol, int exponent) {
        if (exponent > 0)
            above.push_back(power(symbol, exponent));
        else if (exponent < 0)
            below.push_back(power(symbol, -exponent));
    };
    place("kg", mass);
    place(unit.pixels ? "px" : "m", length);
    place("s", time);
    if (below.empty())
        return joined(above);
    const std::string denominator = below.size() > 1 ? "(" + joined(below) + ")" : below.front();
    return (above.empty() ? std::string("1") : joined(above)) + "/" + denominator;
}

std::string columnTitle(Quantity quantity, bool inPixels)
{
    return std::string(quantityName(quantity)) + " (" + unitText(quantityUnit(quantity, inPixels)) + ")";
}

bool quantityAvailable(Quantity quantity, const MeasureTable &table)
{
    return !isEnergy(quantity) || table.hasEnergies;
}

std::optional<double> quantityValue(const MeasureRow &row, Quantity quantity)
{
    switch (quantity) {
    case Quantity::T: return row.t;
    case Quantity::X: return row.x;
    case Quantity::Y: return row.y;
    case Quantity::Vx: return row.vx;
    case Quantity::Vy: return row.vy;
    case Quantity::V: return row.v;
    case Quantity::Ax: return row.ax;
    case Quantity::Ay: return row.ay;
    case Quantity::Ec: return row.ec;
    case Quantity::Epp: return row.epp;
    case Quantity::Em: return row.em;
    }
    return std::nullopt;
}

// Half a pixel of rounding on each click: on a position, on the two
// neighbours of a velocity over two intervals, on the three points of an
// acceleration.
double quantityResolution(Quantity quantity, const MeasureTable &table)
{
    const double pixel = table.pixelSize > 0 ? table.pixelSize : 1;
    const double dt = frameInterval(table);
    const double position = pixel / 2;
    const double velocity = pixel / (2 * dt);
    const double kinetic = table.massKg * largestSpeed(table) * velocity;
    const double potential = table.massKg * table.gravity * position;
    double resolution = 0;
    switch (quantity) {
    case Quantity::T: resolution = dt / 10; break;
    case Quantity::X:
    case Quantity::Y: resolution = position; break;
    case Quantity::Vx:
    case Quantity::Vy:
    case Quantity::V: resolution = velocity; break;
    case Quantity::Ax:
    case Quantity::Ay: resolution = 2 * pixel / (dt * dt); break;
    case Quantity::Ec: resolution = kinetic; break;
    case Quantity::Epp: resolution = potential; break;
    case Quantity::Em: resolution = kinetic + potential; break;
    }
    return std::isfinite(resolution) && resolution > 0 ? resolution : 1e-12;
}

int quantityDecimals(Quantity quantity, const MeasureTable &table)
{
    const int decimals = -static_cast<int>(std::floor(std::log10(quantityResolution(quantity, table))));
    return std::clamp(decimals, 0, kMostDecimals);
}

std::string fixedText(double value, int decimals, std::string_view decimalSeparator)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
    std::array<char, 400> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed,
                                      std::clamp(decimals, 0, 17));
    std::string text(digits.data(), result.ptr);
    if (text.front() == '-' && text.find_first_of("123456789") == std::string::npos)
        text.erase(0, 1);
    if (const std::size_t dot = text.find('.'); dot != std::string::npos)
        text.replace(dot, 1, decimalSeparator);
    return text;
}

FitResult fitQuantities(const MeasureTable &table, FitModel model, Quantity x, Quantity y,
                        const std::optional<FitRange> &range)
{
    std::vector<double> xs;
    std::vector<double> ys;
    for (const MeasureRow &row : table.rows) {
        const std::optional<double> xValue = quantityValue(row, x);
        const std::optional<double> yValue = quantityValue(row, y);
        if (!xValue || !yValue)
            continue;
        if (range) {
            const std::optional<double> on = quantityValue(row, range->on);
            const auto [from, to] = std::minmax(range->from, range->to);
            if (!on || *on < from || *on > to)
                continue;
        }
        xs.push_back(*xValue);
        ys.push_back(*yValue);
    }
    return fitPoints(model, xs, ys);
}

std::vector<Unit> coefficientUnits(FitModel model, const Unit &x, const Unit &y)
{
    const Unit inverse = Unit{}.over(x);
    switch (model) {
    case FitModel::Linear: return {y.over(x), y};
    case FitModel::Quadratic: return {y.over(x, 2), y.over(x), y};
    case FitModel::Poly3: return {y.over(x, 3), y.over(x, 2), y.over(x), y};
    case FitModel::Sine: return {y, inverse, Unit{}, y};
    case FitModel::Exponential: return {y, inverse};
    }
    return {};
}

std::vector<std::string> coefficientUnitTexts(FitModel model, const Unit &x, const Unit &y)
{
    std::vector<std::string> texts;
    for (const Unit &unit : coefficientUnits(model, x, y))
        texts.push_back(unitText(unit));
    if (model == FitModel::Sine) {
        texts[1] = texts[1].empty()             ? "rad"
                   : texts[1].starts_with("1/") ? "rad" + texts[1].substr(1)
                                                : "rad·" + texts[1];
        texts[2] = "rad";
    }
    return texts;
}

std::string_view modelName(FitModel model)
{
    switch (model) {
    case FitModel::Linear: return "linear";
    case FitModel::Quadratic: return "quadratic";
    case FitModel::Sine: return "sine";
    case FitModel::Exponential: return "exp";
    case FitModel::Poly3: return "poly3";
    }
    return {};
}

std::optional<FitModel> modelNamed(std::string_view name)
{
    for (FitModel model :
         {FitModel::Linear, FitModel::Quadratic, FitModel::Sine, FitModel::Exponential, FitModel::Poly3})
        if (modelName(model) == name)
            return model;
    return std::nullopt;
}

std::string modelEquation(FitModel model, std::string_view x, std::string_view y)
{
    const std::string left = std::string(y) + " = ";
    const std::string t(x);
    switch (model) {
    case FitModel::Linear: return left + "a·" + t + " + b";
    case FitModel::Quadratic: return left + "a·" + t + "² + b·" + t + " + c";
    case FitModel::Poly3: return left + "a·" + t + "³ + b·" + t + "² + c·" + t + " + d";
    case FitModel::Sine: return left + "A·sin(ω·" + t + " + φ) + C";
    case FitModel::Exponential: return left + "A·exp(k·" + t + ")";
    }
    return left;
}

std::string valueWithUncertainty(double value, double uncertainty, std::string_view decimalSeparator)
{
    if (!(uncertainty > 0) || !std::isfinite(uncertainty))
        return fixedText(value, 6, decimalSeparator) + " ± 0";
    const int exponent = static_cast<int>(std::floor(std::log10(uncertainty)));
    // Two digits of the uncertainty, but never beyond ten of the value.
    const int valueExponent = value != 0 ? static_cast<int>(std::floor(std::log10(std::abs(value)))) : exponent;
    const int decimals = std::min(1 - exponent, 9 - valueExponent);
    if (decimals >= 0)
        return fixedText(value, decimals, decimalSeparator) + " ± "
               + fixedText(uncertainty, decimals, decimalSeparator);
    const double unit = std::pow(10.0, -decimals);
    return fixedText(std::round(value / unit) * unit, 0, decimalSeparator) + " ± "
           + fixedText(std::round(uncertainty / unit) * unit, 0, decimalSeparator);
}

} // namespace zorvane
