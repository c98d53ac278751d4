#include "platform/Charconv.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

// The web build writes its numbers with the C library's text; here, where the C++ library's is
// had as well, the two must agree on every value, or the web's files would differ from these.

std::string written(auto write)
{
    char buffer[400];
    const auto [end, error] = write(buffer, buffer + sizeof buffer);
    return error == std::errc() ? std::string(buffer, end) : "(error)";
}

// Values as the task makes them (amounts, halvings, rates) and values of every exponent and pattern.
std::vector<double> values()
{
    std::vector<double> all{0.0, -0.0, 1.0, 0.1, 1e22, 1e23, 5e-324, 1.7976931348623157e308, 9007199254740993.0};
    std::mt19937_64 random(20261209);
    for (int i = 0; i < 8000; ++i)
        all.push_back(std::bit_cast<double>((random() & ~(std::uint64_t{0x7FF} << 52)) |
                                            (std::uint64_t{random() % 2046 + 1} << 52)));
    for (int i = 0; i < 8000; ++i)
        all.push_back(static_cast<double>(random() % 2000000) / static_cast<double>(1u << (random() % 20)));
    for (int e = -1074; e <= 1023; ++e)
        all.push_back(std::ldexp(1.0, e));
    for (int e = -30; e <= 30; ++e) {
        all.push_back(std::pow(10.0, e));
        all.push_back(std::nextafter(std::pow(10.0, e), 0.0));
    }
    return all;
}

struct Format
{
    const char *name;
    std::chars_format format;
};

class CLibraryText : public ::testing::TestWithParam<Format>
{
};

TEST_P(CLibraryText, AgreesWithTheCppLibraryOnEveryValue)
{
    const std::chars_format format = GetParam().format;
    int differences = 0;
    for (const double value : values()) {
        const std::string ours =
            written([&](char *a, char *b) { return kpx::clib::toChars(a, b, value, format); });
        const std::string theirs = written([&](char *a, char *b) { return std::to_chars(a, b, value, format); });
        if (ours != theirs && ++differences <= 5)
            ADD_FAILURE() << std::hexfloat << value << ": " << ours << " against " << theirs;
    }
    EXPECT_EQ(differences, 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, CLibraryText,
                         ::testing::Values(Format{"Fixed", std::chars_format::fixed},
                                           Format{"Scientific", std::chars_format::scientific},
                                           Format{"General", std::chars_format::general}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CLibraryText, ShortestAgreesWithTheCppLibraryOnEveryValue)
{
    int differences = 0;
    for (const double value : values()) {
        const std::string ours = written([&](char *a, char *b) { return kpx::clib::toChars(a, b, value); });
        const std::string theirs = written([&](char *a, char *b) { return std::to_chars(a, b, value); });
        if (ours != theirs && ++differences <= 5)
            ADD_FAILURE() << std::hexfloat << value << ": " << ours << " against " << theirs;
    }
    EXPECT_EQ(differences, 0);
}

TEST(CLibraryText, WithPrecisionAgreesWithTheCppLibrary)
{
    int differences = 0;
    for (const double value : values()) {
        for (const int precision : {0, 1, 2, 4, 6, 17}) {
            for (const auto format : {std::chars_format::fixed, std::chars_format::general}) {
                const std::string ours = written([&](char *a, char *b) { return kpx::clib::toChars(a, b, value, format, precision); });
                const std::string theirs =
                    written([&](char *a, char *b) { return std::to_chars(a, b, value, format, precision); });
                if (ours != theirs && ++differences <= 5)
                    ADD_FAILURE() << std::hexfloat << value << " to " << precision << ": " << ours << " against "
                                  << theirs;
            }
        }
    }
    EXPECT_EQ(differences, 0);
}

TEST(CLibraryText, ReadsBackWhatTheCppLibraryReads)
{
    int differences = 0;
    for (const double value : values()) {
        const std::string text = written([&](char *a, char *b) { return std::to_chars(a, b, value); });
        double ours = 0.0;
        double theirs = 0.0;
        const auto a = kpx::clib::fromChars(text.data(), text.data() + text.size(), ours);
        const auto b = std::from_chars(text.data(), text.data() + text.size(), theirs);
        if ((a.ptr != b.ptr || a.ec != b.ec || std::bit_cast<std::uint64_t>(ours) != std::bit_cast<std::uint64_t>(theirs)) &&
            ++differences <= 5)
            ADD_FAILURE() << text;
    }
    EXPECT_EQ(differences, 0);
}

} // namespace
