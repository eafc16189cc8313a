// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace kavro::dsp {

// The newest `capacity` levels (dB) of a stream, with the two questions a sound level
// meter asks of them answered without going over the whole window each time:
// the energy average of the newest n levels, and the level exceeded by a fraction of
// all of them.
//
// Energies sit in a sum tree over the ring of stored levels: a window's sum is
// assembled from a few node sums and every node is recomputed from its children when
// a level changes, so nothing is ever subtracted and a loud level that has left the
// window leaves no rounding residue behind. The levels are also kept sorted, so any
// order statistic is one lookup.
class RollingLevelWindow {
public:
    explicit RollingLevelWindow(std::size_t capacity);

    std::size_t capacity() const { return m_capacity; }
    std::size_t size() const { return m_size; }

    // Appends a level; when the window is full the oldest level leaves it.
    void push(double levelDb);
    void clear();

    // 10·log10 of the mean energy of the newest `count` levels (count is limited to
    // size()); no value for none.
    std::optional<double> energyAverageOfNewest(std::size_t count) const;

    // The level exceeded by the fraction p of the stored levels: with the levels
    // sorted ascending, the one at round((1 − p)·(size − 1)), halves away from zero.
    // No value when empty.
    std::optional<double> levelExceededBy(double fraction) const;

private:
    void setEnergy(std::size_t slot, double energy);
    double energySum(std::size_t begin, std::size_t end) const; // slots [begin, end)
    void replaceSorted(double leaving, double arriving);
    void insertSorted(double arriving);

    std::size_t m_capacity;
    std::vector<double> m_levels; // ring of stored levels
    std::size_t m_next = 0;       // ring slot of the next level
    std::size_t m_size = 0;
    std::vector<double> m_energyTree; // leaves at [capacity, 2·capacity)
    std::vector<double> m_sorted;
};

} // namespace kavro::dsp
