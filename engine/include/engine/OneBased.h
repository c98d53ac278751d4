#pragma once

#include <array>
#include <cassert>
#include <cstddef>

namespace kpx {

// A fixed array indexed 1..N, as the delay table, block order and results are.
template <typename T, std::size_t N>
class OneBased
{
public:
    static constexpr int size() { return static_cast<int>(N); }

    T &operator[](int index)
    {
        assert(index >= 1 && index <= static_cast<int>(N));
        return m_items[static_cast<std::size_t>(index - 1)];
    }
    const T &operator[](int index) const
    {
        assert(index >= 1 && index <= static_cast<int>(N));
        return m_items[static_cast<std::size_t>(index - 1)];
    }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

    bool operator==(const OneBased &) const = default;

private:
    std::array<T, N> m_items{};
};

} // namespace kpx
