#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The separator the browser's locale writes, given by CTest along with that locale (LC_ALL, which
// Node's Intl follows).
std::string expected;

TEST(BrowserLocale, GivesTheLocalesDecimalSeparator)
{
    ASSERT_EQ(expected.size(), 1u) << "the test is run with the expected separator as its argument";
    EXPECT_EQ(kpx::userDecimalSeparator(), expected[0]);
}

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1)
        expected = argv[1];
    return RUN_ALL_TESTS();
}
