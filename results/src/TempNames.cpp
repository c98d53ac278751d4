#include "TempNames.h"

#include <algorithm>
#include <random>

namespace kpx {

namespace {

constexpr std::size_t TagLength = 6;
constexpr std::string_view TagAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

} // namespace

std::string randomTag()
{
    static std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, TagAlphabet.size() - 1);
    std::string tag;
    for (std::size_t i = 0; i < TagLength; ++i)
        tag += TagAlphabet[pick(generator)];
    return tag;
}

bool isRandomTag(std::string_view text)
{
    return text.size() == TagLength &&
           std::all_of(text.begin(), text.end(), [](char c) { return TagAlphabet.find(c) != std::string_view::npos; });
}

} // namespace kpx
