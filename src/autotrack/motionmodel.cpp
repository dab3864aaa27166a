#include "autotrack/motionmodel.h"

#include <array>
#include <cmath>

namespace zorvane {
namespace {

// Least-squares polynomial of degree 1 or 2 through (t, v); returns the
// coefficients c0 + c1 t + c2 t^2, or false when the system is degenerate.
bool fitPolynomial(const std::array<double, 16> &t, const std::array<double, 16> &v, int n, int degree,
                   std::array<double, 3> *c)
{
    const int m = degree + 1;
    double a[3][4] = {};
    for (int i = 0; i < n; ++i) {
        double powers[3] = {1, t[i], t[i] * t[i]};
        for (int r = 0; r < m; ++r) {
            for (int k = 0; k < m; ++k)
                a[r][k] += powers[r] * powers[k];
            a[r][m] += powers[r] * v[i];
        }
    }
    for (int col = 0; col < m; ++col) {
        int pivot = col;
        for (int r = col + 1; r < m; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col]))
                pivot = r;
        if (std::fabs(a[pivot][col]) < 1e-9)
            return false;
        for (int k = 0; k <= m; ++k)
            std::swap(a[col][k], a[pivot][k]);
        for (int r = 0; r < m; ++r) {
            if (r == col)
                continue;
            const double f = a[r][col] / a[col][col];
            for (int k = col; k <= m; ++k)
                a[r][k] -= f * a[col][k];
        }
    }
    *c = {0, 0, 0};
    for (int r = 0; r < m; ++r)
        (*c)[r] = a[r][m] / a[r][r];
    return true;
}

} // namespace

void MotionModel::add(int frame, Vec2 position)
{
    m_history.push_back({frame, position});
    while (m_history.size() > kFitLength)
        m_history.pop_front();
}

void MotionModel::keepNewest(int count)
{
    while (static_cast<int>(m_history.size()) > count)
        m_history.pop_front();
}

Vec2 MotionModel::predict(int frame) const
{
    if (m_history.empty())
        return {};
    const Sample &last = m_history.back();
    const int n = samples();
    if (n < 2)
        return last.position;
    std::array<double, 16> t{}, xs{}, ys{};
    for (int i = 0; i < n; ++i) {
        t[i] = m_history[i].frame - last.frame;
        xs[i] = m_history[i].position.x;
        ys[i] = m_history[i].position.y;
    }
    // Acceleration needs more points than unknowns, or noise dominates.
    const int degree = n >= 4 ? 2 : 1;
    std::array<double, 3> cx, cy;
    if (!fitPolynomial(t, xs, n, degree, &cx) || !fitPolynomial(t, ys, n, degree, &cy))
        return last.position;
    const double dt = frame - last.frame;
    return {cx[0] + cx[1] * dt + cx[2] * dt * dt, cy[0] + cy[1] * dt + cy[2] * dt * dt};
}

Vec2 MotionModel::velocity() const
{
    if (m_history.size() < 2)
        return {};
    const Vec2 now = predict(lastFrame());
    const Vec2 ahead = predict(lastFrame() + 1);
    return {ahead.x - now.x, ahead.y - now.y};
}

} // namespace zorvane
