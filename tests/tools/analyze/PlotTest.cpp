#include "analyze/Plot.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QRect>

#include <functional>
#include <ostream>

namespace {

using kpx::DelayValues;

const DelayValues ExamplePoints{97.5, 92.5, 62.5, 47.5, 32.5, 22.5, 2.5};

int countPixels(const QImage &image, const QRect &region, const std::function<bool(const QColor &)> &matches)
{
    int count = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x)
            count += matches(image.pixelColor(x, y)) ? 1 : 0;
    }
    return count;
}

bool isDark(const QColor &c)
{
    return c.red() < 90 && c.green() < 90 && c.blue() < 90;
}

bool isReddish(const QColor &c)
{
    return c.red() > 150 && c.green() < 110 && c.blue() < 110;
}

bool isBluish(const QColor &c)
{
    return c.blue() > 120 && c.red() < 90;
}

// Faint blue over white still leans clearly towards blue; the grey grid does not.
bool isBlueTinted(const QColor &c)
{
    return c.blue() - c.red() > 25;
}

TEST(SubjectPlot, HasTheAgreedSizeAndShowsTitlePointsAndCurve)
{
    const QImage image = kpx::plotSubject(QStringLiteral("S01"), ExamplePoints, kpx::scoreProfile(ExamplePoints));
    ASSERT_EQ(image.size(), QSize(kpx::PlotWidth, kpx::PlotHeight));
    EXPECT_EQ(image.size(), QSize(800, 600));

    const QRect all = image.rect();
    const QRect titleBand(0, 0, image.width(), 48);
    EXPECT_GT(countPixels(image, titleBand, isDark), 100) << "no title text";
    EXPECT_GT(countPixels(image, all, isReddish), 500) << "no fitted curve";
    EXPECT_GT(countPixels(image, all, isBluish), 7 * 60) << "too few point pixels for seven points";
}

bool isGreenish(const QColor &c)
{
    return c.green() > 100 && c.red() < 80 && c.blue() < 120 && c.green() - c.blue() > 30;
}

struct BestModelCase
{
    const char *name;
    DelayValues points;
    const char *model;
    bool dashedHyperbola;
};

void PrintTo(const BestModelCase &c, std::ostream *os)
{
    *os << c.name;
}

class SubjectPlotOfBestModel : public ::testing::TestWithParam<BestModelCase>
{
};

TEST_P(SubjectPlotOfBestModel, NamesItAndDashesTheHyperbolaBesideItOnlyWhenItIsAnother)
{
    const kpx::Score score = kpx::scoreProfile(GetParam().points);
    ASSERT_EQ(kpx::modelName(score.models.best), GetParam().model);
    EXPECT_NE(kpx::subjectPlotTitle(QStringLiteral("S01"), score).indexOf(QString::fromLatin1(GetParam().model)), -1);

    const QImage image = kpx::plotSubject(QStringLiteral("S01"), GetParam().points, score);
    const QRect plotArea(90, 58, 680, 436);
    EXPECT_GT(countPixels(image, plotArea, isReddish), 300) << "no curve of the best model";
    const int dashed = countPixels(image, plotArea, isGreenish);
    if (GetParam().dashedHyperbola)
        EXPECT_GT(dashed, 150) << "no hyperbola beside the best model";
    else
        EXPECT_EQ(dashed, 0) << "the hyperbola is the best model; it is drawn once";
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, SubjectPlotOfBestModel,
    ::testing::Values(BestModelCase{"Rachlin", ExamplePoints, "rachlin", true},
                      BestModelCase{"Hyperbola", {100 / 1.01, 100 / 1.07, 100 / 1.3, 100 / 1.9, 100 / 2.8,
                                                  100 / 4.65, 100 / 19.25},
                                    "hyp", false},
                      BestModelCase{"Flat", {42.5, 42.5, 42.5, 42.5, 42.5, 42.5, 42.5}, "noise", true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(StudyPlot, HasTheAgreedSizeAndABoldMedian)
{
    const DelayValues flat{97.5, 97.5, 97.5, 97.5, 97.5, 97.5, 97.5};
    const QImage image = kpx::plotStudy({ExamplePoints, flat, ExamplePoints});
    ASSERT_EQ(image.size(), QSize(800, 600));
    // The median line's dots alone are about 130 dark pixels each.
    const QRect plotArea(90, 60, 680, 430);
    EXPECT_GT(countPixels(image, plotArea, isDark), 7 * 100);
    EXPECT_GT(countPixels(image, plotArea, isBlueTinted), 200) << "no faint subject lines";
}

struct StemCase
{
    QString subject;
    QString expected;
};

// Test names stay plain ASCII on one line whatever the subject holds.
void PrintTo(const StemCase &c, std::ostream *os)
{
    *os << '"';
    for (const QChar ch : c.subject) {
        if (ch.unicode() >= 0x20 && ch.unicode() < 0x7F)
            *os << static_cast<char>(ch.unicode());
        else
            *os << "U+" << std::hex << static_cast<unsigned>(ch.unicode()) << std::dec;
    }
    *os << '"';
}

class SafeFileStem : public ::testing::TestWithParam<StemCase>
{
};

TEST_P(SafeFileStem, KeepsTheSubjectRecognisableButHarmless)
{
    EXPECT_EQ(kpx::safeFileStem(GetParam().subject, QStringLiteral("fallback")), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Subjects, SafeFileStem,
    ::testing::Values(StemCase{"Smith, J", "Smith, J"}, StemCase{"../../etc/x", "___.._etc_x"},
                      StemCase{"a\\b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"}, StemCase{"tab\there", "tab_here"},
                      StemCase{"..", "fallback"}, StemCase{"   ", "fallback"}, StemCase{"trailing. ", "trailing"},
                      StemCase{"CON", "CON_"}, StemCase{"Müller", "Müller"}));

TEST(SafeFileStem, StaysWithinAFileNameLengthLimit)
{
    const QString stem = kpx::safeFileStem(QString(300, QChar(0x00FC)), QStringLiteral("fallback"));
    EXPECT_FALSE(stem.isEmpty());
    EXPECT_LE(stem.toUtf8().size(), 200);
}

TEST(PlotNames, NeverHandOutTheSameNameTwice)
{
    kpx::PlotNames names;
    EXPECT_EQ(names.claim(QStringLiteral("S01"), QStringLiteral("x")), QStringLiteral("S01.png"));
    EXPECT_EQ(names.claim(QStringLiteral("S01"), QStringLiteral("x")), QStringLiteral("S01-2.png"));
    EXPECT_EQ(names.claim(QStringLiteral("s01"), QStringLiteral("x")), QStringLiteral("s01-3.png"));
    EXPECT_EQ(names.claim(QStringLiteral("a/b"), QStringLiteral("x")), QStringLiteral("a_b.png"));
    EXPECT_EQ(names.claim(QStringLiteral("a_b"), QStringLiteral("x")), QStringLiteral("a_b-2.png"));
    EXPECT_EQ(names.claim(QStringLiteral("Study"), QStringLiteral("x")), QStringLiteral("Study-2.png"))
        << "study.png is the study plot's";
}

} // namespace

namespace {

TEST(ResponseTimePlot, ShowsEachBlocksTrialsInItsOwnColour)
{
    std::vector<kpx::TrialRow> rows;
    for (int block = 1; block <= 3; ++block) {
        for (int trial = 0; trial < 5; ++trial) {
            kpx::TrialRow row;
            row.block = block;
            row.rtMs = 300.0 * block;
            rows.push_back(row);
        }
    }
    const QImage image = kpx::plotResponseTimes(QStringLiteral("S01"), rows);
    ASSERT_EQ(image.size(), QSize(kpx::PlotWidth, kpx::ResponseTimePanelHeight));
    // The legend names all seven blocks, so only the plotting area counts.
    const QRect area(90, 50, kpx::PlotWidth - 120, kpx::ResponseTimePanelHeight - 140);
    for (int block = 1; block <= 4; ++block) {
        const int pixels = countPixels(image, area, [&](const QColor &c) { return c == kpx::blockColor(block); });
        if (block <= 3)
            EXPECT_GT(pixels, 5 * 20) << "block " << block;
        else
            EXPECT_EQ(pixels, 0) << "block 4 has no trials";
    }
}

} // namespace
