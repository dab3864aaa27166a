#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvane {

enum class FitModel {
    Linear,      // y = a x + b
    Quadratic,   // y = a x² + b x + c
    Sine,        // y = A sin(ω x + φ) + C
    Exponential, // y = A exp(k x)
    Poly3,       // y = a x³ + b x² + c x + d
};

enum class FitProblem {
    TooFewPoints, // not more points than coefficients
    SameAbscissa, // every point at one x: no curve goes through them
    NoSolution,   // the least squares did not settle (no oscillation, no growth...)
};

class FitError : public std::runtime_error {
public:
    explicit FitError(FitProblem problem);
    FitProblem problem() const noexcept { return m_problem; }

private:
    FitProblem m_problem;
};

// A coefficient with its standard uncertainty, from the residuals'
// scatter: sqrt(s² (JᵀJ)⁻¹) with s² = SSR / (n − p).
struct FitCoefficient {
    std::string name;
    double value = 0;
    double uncertainty = 0;
};

struct FitResult {
    FitModel model = FitModel::Linear;
    std::vector<FitCoefficient> coefficients; // in the order the model writes them
    double r2 = 0;
    std::size_t points = 0;

    double valueAt(double x) const;
};

// The coefficients' names, in order.
std::vector<std::string> coefficientNames(FitModel model);

// Least squares over the points (x[i], y[i]); throws FitError. The sine
// starts from the frequency that fits best on a fine scan (a periodogram
// that copes with uneven times), the exponential from a straight line
// through ln|y|; both then settle by Levenberg-Marquardt.
FitResult fitPoints(FitModel model, std::span<const double> x, std::span<const double> y);

} // namespace zorvane
