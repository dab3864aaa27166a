#include "autotrack/motionmodel.h"

#include <array>
#include <cmath>
#include <optional>

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
    m_recent.push_back({frame, position});
    while (m_recent.size() > kRepeatSteps + 1)
        m_recent.pop_front();
}

void MotionModel::keepNewest(int count)
{
    while (static_cast<int>(m_history.size()) > count)
        m_history.pop_front();
    // Frames shown twice make every move look like a bounce: the steps
    // that tell them are kept, unless nothing of the motion before holds.
    if (count == 0)
        m_recent.clear();
}

Vec2 MotionModel::predict(int frame) const
{
    if (m_history.empty())
        return {};
    if (frame == lastFrame() + 1) {
        if (const std::optional<bool> moved = movedLastWhenShownTwice()) {
            // After a move the frame repeats; after a repeat the object moves
            // on as the frames it moved in show.
            if (*moved)
                return lastPosition();
            // The last step a repeat, every other sample back from the one
            // before last ended a move.
            std::deque<Sample> moves;
            for (std::size_t i = 2; i < m_recent.size(); i += 2)
                moves.push_back(m_recent[i]);
            return fitted(moves, frame);
        }
    }
    return fitted(m_history, frame);
}

// Each frame shown twice (a video made at half its frame rate): steps on
// consecutive frames alternate between a move and none. Whether the last
// step was the move; nothing when they do not alternate.
std::optional<bool> MotionModel::movedLastWhenShownTwice() const
{
    constexpr double kMove = 3.0;        // pixels a move needs, for the repeats to matter
    constexpr double kStillShare = 0.25; // of a move, at most, for a repeat (plus a pixel for noise)
    if (m_recent.size() < kRepeatSteps + 1 || m_recent.back().frame != lastFrame())
        return std::nullopt;
    double steps[kRepeatSteps];
    for (int i = 0; i < kRepeatSteps; ++i) {
        const Sample &from = m_recent[i], &to = m_recent[i + 1];
        if (to.frame != from.frame + 1)
            return std::nullopt;
        steps[i] = length(minus(to.position, from.position));
    }
    const bool movedLast = steps[kRepeatSteps - 1] > steps[kRepeatSteps - 2];
    double smallestMove = INFINITY, largestStill = 0;
    for (int i = 0; i < kRepeatSteps; ++i) {
        if ((kRepeatSteps - 1 - i) % 2 == (movedLast ? 0 : 1))
            smallestMove = std::min(smallestMove, steps[i]);
        else
            largestStill = std::max(largestStill, steps[i]);
    }
    if (smallestMove < kMove || largestStill > std::max(1.0, kStillShare * smallestMove))
        return std::nullopt;
    return movedLast;
}

Vec2 MotionModel::fitted(const std::deque<Sample> &history, int frame)
{
    const Sample &last = history.back();
    const int n = static_cast<int>(history.size());
    if (n < 2)
        return last.position;
    std::array<double, 16> t{}, xs{}, ys{};
    for (int i = 0; i < n; ++i) {
        t[i] = history[i].frame - last.frame;
        xs[i] = history[i].position.x;
        ys[i] = history[i].position.y;
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
    // The pace over repeated frames too: how far it goes, not when.
    const Vec2 now = fitted(m_history, lastFrame());
    const Vec2 ahead = fitted(m_history, lastFrame() + 1);
    return {ahead.x - now.x, ahead.y - now.y};
}

} // namespace zorvane
