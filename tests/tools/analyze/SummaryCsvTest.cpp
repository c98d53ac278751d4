#include "analyze/SummaryCsv.h"

#include <gtest/gtest.h>

#include <locale>
#include <string>

namespace {

kpx::SummaryRow sampleRow()
{
    kpx::SummaryRow row;
    row.subject = "Smith, \"J\"";
    row.file = "data/S01.KPX";
    row.indifferencePoints = {97.5, 92.5, 62.5, 47.5, 32.5, 22.5, 2.5};
    row.trialsTotal = 77;
    kpx::Score &score = row.score.emplace();
    score.auc = 0.1;
    score.aucOrdinal = 1.0 / 3.0;
    score.fit.k = 0.0123456789;
    score.fit.lnK = -4.394449;
    score.fit.r2 = 0.25;
    score.jbC1 = true;
    score.jbC2 = false;
    using kpx::DiscountModel;
    const auto set = [&](DiscountModel model, double level, double rate, double shape, double bic) {
        score.models.fits[static_cast<std::size_t>(model)] = {model, level, rate, shape, 0.0, bic};
    };
    set(DiscountModel::Noise, 0.4, 0.0, 1.0, -13.25);
    set(DiscountModel::Exponential, 1.0, 0.0234567891, 1.0, -30.5);
    set(DiscountModel::Hyperbolic, 1.0, 0.0123456789, 1.0, -35.123456789012);
    set(DiscountModel::Hyperboloid, 1.0, 0.0448607, 0.807585, -33.38314041);
    set(DiscountModel::Rachlin, 1.0, 0.05, 0.85, -34.1);
    set(DiscountModel::BetaDelta, 0.876604, 0.0126398, 1.0, -31.5);
    score.models.best = DiscountModel::Hyperbolic;
    score.models.bestProbability = 0.43671;
    return row;
}

// Today's columns first, as they always were, then the model columns and far_consistency.
const std::string SampleLine = "\"Smith, \"\"J\"\"\",data/S01.KPX,97.5,92.5,62.5,47.5,32.5,22.5,2.5,77,0.1,"
                               "0.3333333333333333,0.0123457,-4.39445,0.25,81,1,0,,,,,,,"
                               ",0.4,-13.25,0.0234568,-30.5,-35.12345679,0.0448607,0.807585,-33.38314041,0.05,0.85,-34.1,"
                               "0.876604,0.0126398,-31.5,hyp,0.43671,81,\r\n";

TEST(SummaryLine, PutsEveryValueInItsColumn)
{
    EXPECT_EQ(kpx::summaryHeader(), "subject,file,ip_1d,ip_1w,ip_1m,ip_3m,ip_6m,ip_1y,ip_5y,trials_total,auc,"
                                    "auc_ordinal,k,ln_k,r2,ed50_days,jb_c1,jb_c2,trial_log,rt_median_ms,rt_iqr_ms,"
                                    "fast_responses,consistency,distractor_consistency,unfinished,noise_c,noise_bic,"
                                    "exp_k,exp_bic,hyp_bic,hyperboloid_k,hyperboloid_s,hyperboloid_bic,rachlin_k,"
                                    "rachlin_s,rachlin_bic,betadelta_beta,betadelta_r,betadelta_bic,best_model,"
                                    "best_model_prob,ed50_best_days,far_consistency\r\n");
    EXPECT_EQ(kpx::summaryLine(sampleRow()), SampleLine);
}

TEST(SummaryLine, LeavesMissingTrialsAndR2Empty)
{
    kpx::SummaryRow row = sampleRow();
    row.subject = "S01";
    row.trialsTotal.reset();
    row.score->fit.r2.reset();
    const std::string line = kpx::summaryLine(row);
    EXPECT_EQ(line.substr(0, line.find(",,,,,,,,")), "S01,data/S01.KPX,97.5,92.5,62.5,47.5,32.5,22.5,2.5,,0.1,"
                                                     "0.3333333333333333,0.0123457,-4.39445,,81,1,0");
}

TEST(SummaryLine, PutsTheLogFiguresAfterTheScoresAndLeavesAMissingKpxEmpty)
{
    kpx::SummaryRow row;
    row.subject = "S01";
    kpx::RunFigures &run = row.log.emplace(kpx::TrialLogFigures{"d/S01_x.trials.csv", {}}).run;
    run.rtMedianMs = 1234.5678;
    run.rtIqrMs = 0.1 + 0.2;
    run.fastResponses = 3;
    run.consistency = 0.75;
    run.farConsistency = 0.875;
    run.unfinished = true;
    EXPECT_EQ(kpx::summaryLine(row), "S01,,,,,,,,,,,,,,,,,,d/S01_x.trials.csv,1234.568,0.3,3,0.75,,1"
                                     ",,,,,,,,,,,,,,,,,,0.875\r\n");
}

TEST(SummaryLine, LeavesTheEd50OfTheBestModelEmptyWhereItHasNone)
{
    kpx::SummaryRow row = sampleRow();
    row.score->models.best = kpx::DiscountModel::BetaDelta;
    row.score->models.fits[static_cast<std::size_t>(kpx::DiscountModel::BetaDelta)].level = 0.5;
    EXPECT_TRUE(kpx::summaryLine(row).ends_with(",betadelta,0.43671,,\r\n")) << kpx::summaryLine(row);
}

// A German-style locale, built here since the machine may have no such locale installed.
class CommaDecimals : public std::numpunct<char>
{
protected:
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(SummaryLine, WritesPointsWhateverTheGlobalLocale)
{
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimals));
    const std::string line = kpx::summaryLine(sampleRow());
    std::locale::global(previous);
    EXPECT_EQ(line, SampleLine);
}

} // namespace
