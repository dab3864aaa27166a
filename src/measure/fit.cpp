#include "measure/fit.h"

#include "common/middlevalue.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>
#include <optional>

namespace zorvane {

namespace {

using Column = std::vector<double>;
using Square = std::vector<std::vector<double>>;

struct LeastSquares {
    std::vector<double> solution;
    Square inverseNormal; // (AᵀA)⁻¹, for the covariance
};

// min |A p − b| by Householder QR on columns scaled to unit length, which
// keeps powers of t or an exponential's columns well conditioned. Nothing
// when the columns are (nearly) dependent.
std::optional<LeastSquares> solveLeastSquares(std::vector<Column> a, Column b)
{
    const std::size_t p = a.size();
    const std::size_t n = b.size();
    std::vector<double> scale(p, 1);
    for (std::size_t j = 0; j < p; ++j) {
        const double norm = std::sqrt(std::inner_product(a[j].begin(), a[j].end(), a[j].begin(), 0.0));
        if (!(norm > 0) || !std::isfinite(norm))
            return std::nullopt;
        scale[j] = norm;
        for (double &value : a[j])
            value /= norm;
    }
    for (std::size_t k = 0; k < p; ++k) {
        double norm = 0;
        for (std::size_t i = k; i < n; ++i)
            norm += a[k][i] * a[k][i];
        norm = std::sqrt(norm);
        if (norm < 1e-11)
            return std::nullopt;
        const double alpha = a[k][k] > 0 ? -norm : norm;
        std::vector<double> v(a[k].begin() + static_cast<std::ptrdiff_t>(k), a[k].end());
        v[0] -= alpha;
        const double vv = std::inner_product(v.begin(), v.end(), v.begin(), 0.0);
        const auto reflect = [&](Column &column) {
            if (vv == 0)
                return;
            double dot = 0;
            for (std::size_t i = k; i < n; ++i)
                dot += v[i - k] * column[i];
            const double factor = 2 * dot / vv;
            for (std::size_t i = k; i < n; ++i)
                column[i] -= factor * v[i - k];
        };
        for (std::size_t j = k; j < p; ++j)
            reflect(a[j]);
        reflect(b);
    }
    // R is a[j][i] for i <= j; back substitution and R⁻¹.
    Square rInverse(p, std::vector<double>(p, 0));
    for (std::size_t col = 0; col < p; ++col) {
        for (std::size_t row = col + 1; row-- > 0;) {
            double sum = row == col ? 1 : 0;
            for (std::size_t k = row + 1; k <= col; ++k)
                sum -= a[k][row] * rInverse[k][col];
            rInverse[row][col] = sum / a[row][row];
        }
    }
    LeastSquares result;
    result.solution.assign(p, 0);
    result.inverseNormal.assign(p, std::vector<double>(p, 0));
    for (std::size_t row = 0; row < p; ++row) {
        for (std::size_t k = row; k < p; ++k)
            result.solution[row] += rInverse[row][k] * b[k];
        result.solution[row] /= scale[row];
    }
    for (std::size_t i = 0; i < p; ++i)
        for (std::size_t j = 0; j < p; ++j) {
            double sum = 0;
            for (std::size_t k = std::max(i, j); k < p; ++k)
                sum += rInverse[i][k] * rInverse[j][k];
            result.inverseNormal[i][j] = sum / (scale[i] * scale[j]);
        }
    return result;
}

std::size_t parameterCount(FitModel model)
{
    switch (model) {
    case FitModel::Linear: return 2;
    case FitModel::Quadratic: return 3;
    case FitModel::Exponential: return 2;
    case FitModel::Sine:
    case FitModel::Poly3: return 4;
    }
    return 0;
}

bool isPolynomial(FitModel model)
{
    return model == FitModel::Linear || model == FitModel::Quadratic || model == FitModel::Poly3;
}

double modelValue(FitModel model, const std::vector<double> &p, double x)
{
    switch (model) {
    case FitModel::Sine: return p[0] * std::sin(p[1] * x + p[2]) + p[3];
    case FitModel::Exponential: return p[0] * std::exp(p[1] * x);
    default: break;
    }
    double value = 0;
    for (double coefficient : p)
        value = value * x + coefficient;
    return value;
}

// Columns of ∂f/∂p at every x.
std::vector<Column> jacobian(FitModel model, const std::vector<double> &p, std::span<const double> x)
{
    std::vector<Column> columns(p.size(), Column(x.size()));
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = x[i];
        if (model == FitModel::Sine) {
            const double phase = p[1] * t + p[2];
            columns[0][i] = std::sin(phase);
            columns[1][i] = p[0] * t * std::cos(phase);
            columns[2][i] = p[0] * std::cos(phase);
            columns[3][i] = 1;
        } else if (model == FitModel::Exponential) {
            const double growth = std::exp(p[1] * t);
            columns[0][i] = growth;
            columns[1][i] = p[0] * t * growth;
        } else {
            double power = 1;
            for (std::size_t j = p.size(); j-- > 0; power *= t)
                columns[j][i] = power;
        }
    }
    return columns;
}

double squaredResiduals(FitModel model, const std::vector<double> &p, std::span<const double> x,
                        std::span<const double> y)
{
    double sum = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double r = modelValue(model, p, x[i]) - y[i];
        sum += r * r;
    }
    return std::isfinite(sum) ? sum : std::numeric_limits<double>::infinity();
}

// Levenberg-Marquardt with Marquardt's scaling by the columns' norms.
std::vector<double> settle(FitModel model, std::vector<double> p, std::span<const double> x, std::span<const double> y)
{
    double cost = squaredResiduals(model, p, x, y);
    double lambda = 1e-3;
    for (int iteration = 0; iteration < 500 && std::isfinite(cost); ++iteration) {
        std::vector<Column> columns = jacobian(model, p, x);
        Column rhs(x.size());
        for (std::size_t i = 0; i < x.size(); ++i)
            rhs[i] = y[i] - modelValue(model, p, x[i]);
        rhs.resize(x.size() + p.size(), 0);
        for (std::size_t j = 0; j < p.size(); ++j) {
            const double norm =
                std::sqrt(std::inner_product(columns[j].begin(), columns[j].end(), columns[j].begin(), 0.0));
            columns[j].resize(x.size() + p.size(), 0);
            columns[j][x.size() + j] = std::sqrt(lambda) * std::max(norm, 1e-300);
        }
        const std::optional<LeastSquares> step = solveLeastSquares(std::move(columns), std::move(rhs));
        if (!step)
            break;
        std::vector<double> trial = p;
        for (std::size_t j = 0; j < p.size(); ++j)
            trial[j] += step->solution[j];
        const double trialCost = squaredResiduals(model, trial, x, y);
        if (trialCost < cost) {
            const bool settled = cost - trialCost <= 1e-13 * cost;
            p = std::move(trial);
            cost = trialCost;
            lambda = std::max(lambda / 10, 1e-12);
            if (settled)
                break;
        } else {
            lambda *= 10;
            if (lambda > 1e12)
                break;
        }
    }
    if (!std::isfinite(cost))
        throw FitError(FitProblem::NoSolution);
    return p;
}

double medianSpacing(std::span<const double> x)
{
    std::vector<double> sorted(x.begin(), x.end());
    std::sort(sorted.begin(), sorted.end());
    std::vector<double> gaps;
    for (std::size_t i = 1; i < sorted.size(); ++i)
        if (sorted[i] > sorted[i - 1])
            gaps.push_back(sorted[i] - sorted[i - 1]);
    return middleValue(std::move(gaps));
}

// The angular frequency whose a sin + b cos + c fits best, scanned from
// half a cycle over the span to the sampling's Nyquist limit. A long track
// is scanned on an even subset of its points, which keeps the scan to a
// fraction of a second; the settling then uses them all.
std::vector<double> sineStart(std::span<const double> allX, std::span<const double> allY)
{
    constexpr std::size_t kScanned = 2000;
    std::vector<double> subsetX;
    std::vector<double> subsetY;
    const std::size_t stride = (allX.size() + kScanned - 1) / kScanned;
    for (std::size_t i = 0; i < allX.size(); i += stride) {
        subsetX.push_back(allX[i]);
        subsetY.push_back(allY[i]);
    }
    const std::span<const double> x = subsetX;
    const std::span<const double> y = subsetY;
    const auto [low, high] = std::minmax_element(x.begin(), x.end());
    const double span = *high - *low;
    const double spacing = medianSpacing(x);
    if (!(span > 0) || !(spacing > 0))
        throw FitError(FitProblem::SameAbscissa);
    const double lowest = std::numbers::pi / span;
    const double highest = std::numbers::pi / spacing;
    const double step = std::max((highest - lowest) / 20000, 2 * std::numbers::pi / span / 8);
    double bestCost = std::numeric_limits<double>::infinity();
    std::vector<double> best;
    for (double omega = lowest; omega <= highest; omega += step) {
        std::vector<Column> columns(3, Column(x.size()));
        for (std::size_t i = 0; i < x.size(); ++i) {
            columns[0][i] = std::sin(omega * x[i]);
            columns[1][i] = std::cos(omega * x[i]);
            columns[2][i] = 1;
        }
        const std::optional<LeastSquares> fit = solveLeastSquares(columns, Column(y.begin(), y.end()));
        if (!fit)
            continue;
        const double a = fit->solution[0];
        const double b = fit->solution[1];
        const std::vector<double> p{std::hypot(a, b), omega, std::atan2(b, a), fit->solution[2]};
        const double cost = squaredResiduals(FitModel::Sine, p, x, y);
        if (cost < bestCost) {
            bestCost = cost;
            best = p;
        }
    }
    if (best.empty())
        throw FitError(FitProblem::NoSolution);
    return best;
}

std::vector<double> exponentialStart(std::span<const double> x, std::span<const double> y)
{
    const bool positive = std::all_of(y.begin(), y.end(), [](double v) { return v > 0; });
    const bool negative = std::all_of(y.begin(), y.end(), [](double v) { return v < 0; });
    if (!positive && !negative)
        return {std::accumulate(y.begin(), y.end(), 0.0) / static_cast<double>(y.size()), 0};
    std::vector<Column> columns(2, Column(x.size()));
    Column logs(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        columns[0][i] = x[i];
        columns[1][i] = 1;
        logs[i] = std::log(std::abs(y[i]));
    }
    const std::optional<LeastSquares> line = solveLeastSquares(columns, logs);
    if (!line)
        throw FitError(FitProblem::SameAbscissa);
    return {(positive ? 1 : -1) * std::exp(line->solution[1]), line->solution[0]};
}

// A > 0, ω > 0 and φ in (−π, π], the way the curve is usually written.
void normaliseSine(std::vector<double> &p)
{
    if (p[1] < 0) {
        p[1] = -p[1];
        p[2] = std::numbers::pi - p[2];
    }
    if (p[0] < 0) {
        p[0] = -p[0];
        p[2] += std::numbers::pi;
    }
    p[2] = std::remainder(p[2], 2 * std::numbers::pi);
}

} // namespace

FitError::FitError(FitProblem problem) : std::runtime_error("fit failed"), m_problem(problem) {}

std::vector<std::string> coefficientNames(FitModel model)
{
    switch (model) {
    case FitModel::Linear: return {"a", "b"};
    case FitModel::Quadratic: return {"a", "b", "c"};
    case FitModel::Sine: return {"A", "ω", "φ", "C"};
    case FitModel::Exponential: return {"A", "k"};
    case FitModel::Poly3: return {"a", "b", "c", "d"};
    }
    return {};
}

double FitResult::valueAt(double x) const
{
    std::vector<double> p;
    for (const FitCoefficient &coefficient : coefficients)
        p.push_back(coefficient.value);
    return modelValue(model, p, x);
}

FitResult fitPoints(FitModel model, std::span<const double> x, std::span<const double> y)
{
    const std::size_t count = std::min(x.size(), y.size());
    x = x.first(count);
    y = y.first(count);
    const std::size_t p = parameterCount(model);
    if (count <= p)
        throw FitError(FitProblem::TooFewPoints);
    if (std::all_of(x.begin(), x.end(), [&](double v) { return v == x[0]; }))
        throw FitError(FitProblem::SameAbscissa);

    std::vector<double> parameters;
    if (isPolynomial(model)) {
        const std::optional<LeastSquares> fit =
            solveLeastSquares(jacobian(model, std::vector<double>(p, 0), x), Column(y.begin(), y.end()));
        if (!fit)
            throw FitError(FitProblem::SameAbscissa);
        parameters = fit->solution;
    } else {
        parameters = settle(model, model == FitModel::Sine ? sineStart(x, y) : exponentialStart(x, y), x, y);
        if (model == FitModel::Sine)
            normaliseSine(parameters);
    }
    const std::optional<LeastSquares> curvature = solveLeastSquares(jacobian(model, parameters, x), Column(count, 0));
    if (!curvature)
        throw FitError(FitProblem::NoSolution);

    const double ssr = squaredResiduals(model, parameters, x, y);
    const double mean = std::accumulate(y.begin(), y.end(), 0.0) / static_cast<double>(count);
    double sst = 0;
    for (double v : y)
        sst += (v - mean) * (v - mean);
    const double variance = ssr / static_cast<double>(count - p);

    FitResult result;
    result.model = model;
    result.points = count;
    result.r2 = sst > 0 ? 1 - ssr / sst : (ssr == 0 ? 1 : 0);
    const std::vector<std::string> names = coefficientNames(model);
    for (std::size_t j = 0; j < p; ++j)
        result.coefficients.push_back(
            {names[j], parameters[j], std::sqrt(std::max(0.0, variance * curvature->inverseNormal[j][j]))});
    if (!std::all_of(result.coefficients.begin(), result.coefficients.end(),
                     [](const FitCoefficient &c) { return std::isfinite(c.value) && std::isfinite(c.uncertainty); }))
        throw FitError(FitProblem::NoSolution);
    return result;
}

} // namespace zorvane
