// Least-squares fits against data made from known coefficients: exact,
// then with noise, where the stated uncertainties must be the real spread.
#include "measure/fit.h"
#include "measure/quantity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

using namespace zorvane;

namespace {

struct Case {
    FitModel model;
    std::vector<double> truth;
    std::function<double(double)> curve;
};

std::vector<Case> cases()
{
    return {
        {FitModel::Linear, {0.75, -0.2}, [](double t) { return 0.75 * t - 0.2; }},
        {FitModel::Quadratic, {-4.905, 1.3, 0.4}, [](double t) { return -4.905 * t * t + 1.3 * t + 0.4; }},
        {FitModel::Poly3, {0.8, -2.1, 0.5, 3.0}, [](double t) { return ((0.8 * t - 2.1) * t + 0.5) * t + 3.0; }},
        {FitModel::Sine, {0.12, 4.43, -1.1, 0.05}, [](double t) { return 0.12 * std::sin(4.43 * t - 1.1) + 0.05; }},
        {FitModel::Exponential, {2.5, -0.9}, [](double t) { return 2.5 * std::exp(-0.9 * t); }},
    };
}

// A phone's clip: 60 images/s, then 30 after a third of a second.
std::vector<double> unevenTimes()
{
    std::vector<double> times;
    for (int frame = 0; frame < 90; ++frame)
        times.push_back(frame <= 20 ? frame / 60.0 : 1.0 / 3 + (frame - 20) / 30.0);
    return times;
}

TEST(Fit, ExactDataGivesBackEveryModelsCoefficients)
{
    const std::vector<double> t = unevenTimes();
    for (const Case &c : cases()) {
        std::vector<double> y;
        for (double time : t)
            y.push_back(c.curve(time));
        const FitResult fit = fitPoints(c.model, t, y);
        ASSERT_EQ(fit.coefficients.size(), c.truth.size());
        for (std::size_t j = 0; j < c.truth.size(); ++j) {
            EXPECT_NEAR(fit.coefficients[j].value, c.truth[j], 1e-7) << modelName(c.model) << " " << j;
            EXPECT_LT(fit.coefficients[j].uncertainty, 1e-6) << modelName(c.model) << " " << j;
        }
        EXPECT_NEAR(fit.r2, 1, 1e-12) << modelName(c.model);
        EXPECT_NEAR(fit.valueAt(1.7), c.curve(1.7), 1e-7) << modelName(c.model);
    }
}

// Over many noisy repetitions about 68 % of the estimates fall within
// their stated standard uncertainty, and none absurdly far.
TEST(Fit, NoisyDataLandWithinTheirStatedUncertainty)
{
    const std::vector<double> t = unevenTimes();
    std::mt19937 random(12345);
    std::normal_distribution<double> noise(0, 0.01);
    constexpr int kTrials = 300;
    for (const Case &c : cases()) {
        std::vector<int> within(c.truth.size(), 0);
        double r2 = 0;
        for (int trial = 0; trial < kTrials; ++trial) {
            std::vector<double> y;
            for (double time : t)
                y.push_back(c.curve(time) + noise(random));
            const FitResult fit = fitPoints(c.model, t, y);
            r2 += fit.r2 / kTrials;
            for (std::size_t j = 0; j < c.truth.size(); ++j) {
                const double error = std::abs(fit.coefficients[j].value - c.truth[j]);
                within[j] += error <= fit.coefficients[j].uncertainty;
                ASSERT_LT(error, 5 * fit.coefficients[j].uncertainty) << modelName(c.model) << " " << j;
            }
        }
        for (std::size_t j = 0; j < c.truth.size(); ++j) {
            const double share = static_cast<double>(within[j]) / kTrials;
            EXPECT_GT(share, 0.6) << modelName(c.model) << " coefficient " << j;
            EXPECT_LT(share, 0.77) << modelName(c.model) << " coefficient " << j;
        }
        EXPECT_GT(r2, 0.9) << modelName(c.model);
    }
}

TEST(Fit, RefusesWhatNoCurveFits)
{
    const auto problem = [](FitModel model, std::vector<double> x, std::vector<double> y) {
        try {
            fitPoints(model, x, y);
        } catch (const FitError &error) {
            return error.problem();
        }
        ADD_FAILURE() << "fitted " << modelName(model);
        return FitProblem::NoSolution;
    };
    EXPECT_EQ(problem(FitModel::Quadratic, {0, 1, 2}, {1, 2, 5}), FitProblem::TooFewPoints);
    EXPECT_EQ(problem(FitModel::Linear, {1, 1, 1, 1}, {1, 2, 3, 4}), FitProblem::SameAbscissa);
    EXPECT_EQ(problem(FitModel::Sine, {2, 2, 2, 2, 2}, {1, 2, 3, 4, 5}), FitProblem::SameAbscissa);
    EXPECT_EQ(problem(FitModel::Exponential, {0, 1, 2, 3}, {1, 2, std::nan(""), 4}), FitProblem::NoSolution);
}

TEST(Fit, CoefficientsCarryTheirUnitsAndRoundWithTheirUncertainty)
{
    const Unit time = quantityUnit(Quantity::T, false);
    std::vector<std::string> units;
    for (const Unit &unit : coefficientUnits(FitModel::Quadratic, time, quantityUnit(Quantity::Y, false)))
        units.push_back(unitText(unit));
    EXPECT_EQ(units, (std::vector<std::string>{"m/s²", "m/s", "m"}));
    EXPECT_EQ(unitText(coefficientUnits(FitModel::Sine, time, quantityUnit(Quantity::X, true))[1]), "1/s");
    EXPECT_EQ(unitText(coefficientUnits(FitModel::Linear, time, quantityUnit(Quantity::Em, false))[0]), "J/s");
    EXPECT_EQ(unitText(coefficientUnits(FitModel::Linear, quantityUnit(Quantity::V, true), time)[0]), "s²/px");
    EXPECT_EQ(modelEquation(FitModel::Quadratic, "t", "y"), "y = a·t² + b·t + c");

    EXPECT_EQ(valueWithUncertainty(-4.90487, 0.01234, ","), "-4,905 ± 0,012");
    EXPECT_EQ(valueWithUncertainty(12345.6, 234.5, "."), "12350 ± 230");
    EXPECT_EQ(valueWithUncertainty(-0.0001, 0.5, "."), "0.00 ± 0.50");
}

} // namespace
