// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/RollingLevelWindow.h"

#include <algorithm>
#include <cmath>

namespace kavro::dsp {

namespace {

// A strict total order on levels with not-a-number above everything, so that a
// stray NaN can neither break the sorted order nor be lost when it leaves again.
bool lowerLevel(double a, double b) {
    if (std::isnan(b)) {
        return !std::isnan(a);
    }
    return a < b;
}

double energyOf(double levelDb) {
    return std::pow(10.0, levelDb / 10.0);
}

} // namespace

RollingLevelWindow::RollingLevelWindow(std::size_t capacity)
    : m_capacity(std::max<std::size_t>(capacity, 1)), m_levels(m_capacity, 0.0),
      m_energyTree(2 * m_capacity, 0.0) {
    m_sorted.reserve(m_capacity);
}

void RollingLevelWindow::push(double levelDb) {
    if (m_size == m_capacity) {
        replaceSorted(m_levels[m_next], levelDb);
    } else {
        insertSorted(levelDb);
        ++m_size;
    }
    m_levels[m_next] = levelDb;
    setEnergy(m_next, energyOf(levelDb));
    m_next = (m_next + 1) % m_capacity;
}

void RollingLevelWindow::clear() {
    m_next = 0;
    m_size = 0;
    std::fill(m_energyTree.begin(), m_energyTree.end(), 0.0);
    m_sorted.clear();
}

void RollingLevelWindow::setEnergy(std::size_t slot, double energy) {
    std::size_t node = slot + m_capacity;
    m_energyTree[node] = energy;
    for (node /= 2; node >= 1; node /= 2) {
        m_energyTree[node] = m_energyTree[2 * node] + m_energyTree[2 * node + 1];
    }
}

double RollingLevelWindow::energySum(std::size_t begin, std::size_t end) const {
    double left = 0.0;
    double right = 0.0;
    for (begin += m_capacity, end += m_capacity; begin < end; begin /= 2, end /= 2) {
        if (begin & 1) {
            left += m_energyTree[begin++];
        }
        if (end & 1) {
            right = m_energyTree[--end] + right;
        }
    }
    return left + right;
}

std::optional<double> RollingLevelWindow::energyAverageOfNewest(std::size_t count) const {
    count = std::min(count, m_size);
    if (count == 0) {
        return std::nullopt;
    }
    // The newest `count` levels end just before m_next and may wrap around the ring.
    double sum = 0.0;
    if (count <= m_next) {
        sum = energySum(m_next - count, m_next);
    } else {
        sum = energySum(0, m_next) + energySum(m_capacity - (count - m_next), m_capacity);
    }
    return 10.0 * std::log10(sum / static_cast<double>(count));
}

std::optional<double> RollingLevelWindow::levelExceededBy(double fraction) const {
    if (m_sorted.empty()) {
        return std::nullopt;
    }
    const double last = static_cast<double>(m_sorted.size() - 1);
    const double position = std::clamp(std::round((1.0 - fraction) * last), 0.0, last);
    return m_sorted[static_cast<std::size_t>(position)];
}

void RollingLevelWindow::insertSorted(double arriving) {
    m_sorted.insert(std::upper_bound(m_sorted.begin(), m_sorted.end(), arriving, lowerLevel), arriving);
}

void RollingLevelWindow::replaceSorted(double leaving, double arriving) {
    // One shift of the levels between the leaving and the arriving place instead of
    // an erase and an insert that would each move half the window.
    const auto out = std::lower_bound(m_sorted.begin(), m_sorted.end(), leaving, lowerLevel);
    const auto in = std::upper_bound(m_sorted.begin(), m_sorted.end(), arriving, lowerLevel);
    if (in <= out) {
        std::move_backward(in, out, out + 1);
        *in = arriving;
    } else {
        std::move(out + 1, in, out);
        *(in - 1) = arriving;
    }
}

} // namespace kavro::dsp
