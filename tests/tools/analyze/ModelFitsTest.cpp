#include "analyze/ModelFits.h"
#include "analyze/Scoring.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using kpx::DelayValues;
using kpx::DiscountModel;

// One row of the reference table made by reference/model-fits.py with SciPy.
struct ReferenceFit
{
    std::string profile;
    DelayValues points{};
    std::map<std::string, double> values;
    std::string bestModel;
};

void PrintTo(const ReferenceFit &fit, std::ostream *os)
{
    *os << fit.profile;
}

std::vector<std::string> splitFields(const std::string &line)
{
    std::vector<std::string> fields;
    std::stringstream stream(line);
    for (std::string field; std::getline(stream, field, ',');)
        fields.push_back(field);
    return fields;
}

double number(const std::string &text)
{
    double value = std::nan("");
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::vector<ReferenceFit> referenceTable()
{
    std::ifstream in(KPX2_MODEL_REFERENCE);
    std::string line;
    std::getline(in, line);
    const std::vector<std::string> header = splitFields(line);
    std::vector<ReferenceFit> rows;
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = splitFields(line);
        if (fields.size() != header.size())
            continue;
        ReferenceFit row;
        row.profile = fields[0];
        for (std::size_t i = 0; i < row.points.size(); ++i)
            row.points[i] = number(fields[1 + i]);
        for (std::size_t c = 1 + row.points.size(); c + 1 < fields.size(); ++c)
            row.values[header[c]] = number(fields[c]);
        row.bestModel = fields.back();
        rows.push_back(row);
    }
    return rows;
}

const std::vector<ReferenceFit> &reference()
{
    static const std::vector<ReferenceFit> table = referenceTable();
    return table;
}

TEST(ModelFitReference, HasEnoughProfilesToMean)
{
    EXPECT_GE(reference().size(), 30u) << "reading " << KPX2_MODEL_REFERENCE;
}

class ModelFitsAgainstReference : public ::testing::TestWithParam<ReferenceFit>
{
};

// Within 1e-4 in ln k, ln s, ln r, c and beta and 1e-6 in BIC, with the same best model.
TEST_P(ModelFitsAgainstReference, FindsTheSameMinimaAndTheSameBestModel)
{
    const ReferenceFit &expected = GetParam();
    const kpx::ModelComparison models = kpx::scoreProfile(expected.points).models;
    const auto check = [&](const char *column, double value, double tolerance) {
        EXPECT_NEAR(value, expected.values.at(column), tolerance) << column;
    };
    const auto fit = [&](DiscountModel m) -> const kpx::ModelFit & { return models.fit(m); };

    check("noise_c", fit(DiscountModel::Noise).level, 1e-4);
    check("exp_ln_k", std::log(fit(DiscountModel::Exponential).rate), 1e-4);
    check("hyp_ln_k", std::log(fit(DiscountModel::Hyperbolic).rate), 1e-4);
    check("hyperboloid_ln_k", std::log(fit(DiscountModel::Hyperboloid).rate), 1e-4);
    check("hyperboloid_ln_s", std::log(fit(DiscountModel::Hyperboloid).shape), 1e-4);
    check("rachlin_ln_k", std::log(fit(DiscountModel::Rachlin).rate), 1e-4);
    check("rachlin_ln_s", std::log(fit(DiscountModel::Rachlin).shape), 1e-4);
    check("betadelta_beta", fit(DiscountModel::BetaDelta).level, 1e-4);
    check("betadelta_ln_r", std::log(fit(DiscountModel::BetaDelta).rate), 1e-4);
    for (DiscountModel m : kpx::DiscountModels)
        check((std::string(kpx::modelName(m)) + "_bic").c_str(), fit(m).bic, 1e-6);
    EXPECT_EQ(kpx::modelName(models.best), expected.bestModel);
}

INSTANTIATE_TEST_SUITE_P(Profiles, ModelFitsAgainstReference, ::testing::ValuesIn(reference()),
                         [](const auto &info) {
                             std::string name = info.param.profile;
                             for (char &c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

} // namespace
