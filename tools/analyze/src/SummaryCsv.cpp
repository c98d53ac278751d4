#include "analyze/SummaryCsv.h"

#include "analyze/SystemText.h"
#include "results/Csv.h"
#include "results/NumberForm.h"

#include <cmath>

namespace kpx {
namespace {

// k, ln k and the ED50 come out of a numerical search; more digits would only show its noise.
constexpr int FitDigits = 6;
constexpr int BicDigits = 10;

constexpr std::string_view LineEnd = "\r\n";

// noise_c ... ed50_best_days.
constexpr std::size_t ModelColumnCount = 17;

// Times in the log are to the microsecond; medians and quartiles keep that and no more.
std::string milliseconds(double value)
{
    return roundTripNumber(std::round(value * 1000.0) / 1000.0 + 0.0);
}

template <typename T>
std::string optionalField(const std::optional<T> &value, std::string (*format)(T))
{
    return value ? format(*value) : std::string();
}

// Subjects and paths as they came, but never a control character or a byte that is not UTF-8.
std::string textField(const std::string &bytes)
{
    return CsvField(escapedText(bytes));
}

std::string share(double value)
{
    return roundTripNumber(value);
}

std::string fitted(double value)
{
    return significantNumber(value, FitDigits);
}

// BICs are compared by their differences; ten digits keep those to well under 0.001.
std::string criterion(double value)
{
    return significantNumber(value, BicDigits);
}

// The model columns, in the header's order, each with its leading comma.
std::string modelFields(const ModelComparison &models)
{
    const auto fit = [&](DiscountModel model) -> const ModelFit & { return models.fit(model); };
    std::string fields;
    fields += ',' + fitted(fit(DiscountModel::Noise).level) + ',' + criterion(fit(DiscountModel::Noise).bic);
    fields += ',' + fitted(fit(DiscountModel::Exponential).rate) + ',' + criterion(fit(DiscountModel::Exponential).bic);
    fields += ',' + criterion(fit(DiscountModel::Hyperbolic).bic);
    for (DiscountModel model : {DiscountModel::Hyperboloid, DiscountModel::Rachlin})
        fields += ',' + fitted(fit(model).rate) + ',' + fitted(fit(model).shape) + ',' + criterion(fit(model).bic);
    const ModelFit &betaDelta = fit(DiscountModel::BetaDelta);
    fields += ',' + fitted(betaDelta.level) + ',' + fitted(betaDelta.rate) + ',' + criterion(betaDelta.bic);
    fields += ',' + std::string(modelName(models.best));
    fields += ',' + fitted(models.bestProbability);
    fields += ',' + optionalField(models.bestFit().ed50Days(), &fitted);
    return fields;
}

} // namespace

std::string summaryHeader()
{
    std::string header = "subject,file,ip_1d,ip_1w,ip_1m,ip_3m,ip_6m,ip_1y,ip_5y,trials_total,"
                         "auc,auc_ordinal,k,ln_k,r2,ed50_days,jb_c1,jb_c2,trial_log,rt_median_ms,rt_iqr_ms,"
                         "fast_responses,consistency,distractor_consistency,unfinished,"
                         "noise_c,noise_bic,exp_k,exp_bic,hyp_bic,hyperboloid_k,hyperboloid_s,hyperboloid_bic,"
                         "rachlin_k,rachlin_s,rachlin_bic,betadelta_beta,betadelta_r,betadelta_bic,"
                         "best_model,best_model_prob,ed50_best_days,far_consistency";
    return header.append(LineEnd);
}

std::string summaryLine(const SummaryRow &row)
{
    std::string line = textField(row.subject) + ',' + textField(row.file);
    if (row.score) {
        for (double ip : row.indifferencePoints)
            line += ',' + roundTripNumber(ip);
        line += ',';
        if (row.trialsTotal)
            line += std::to_string(*row.trialsTotal);

        const Score &score = *row.score;
        line += ',' + roundTripNumber(score.auc);
        line += ',' + roundTripNumber(score.aucOrdinal);
        line += ',' + significantNumber(score.fit.k, FitDigits);
        line += ',' + significantNumber(score.fit.lnK, FitDigits);
        line += ',';
        if (score.fit.r2)
            line += roundTripNumber(*score.fit.r2);
        line += ',' + significantNumber(1.0 / score.fit.k, FitDigits);
        line += score.jbC1 ? ",1" : ",0";
        line += score.jbC2 ? ",1" : ",0";
    } else {
        line += std::string(ResultsDelayCount + 9, ',');
    }

    const RunFigures *run = row.log ? &row.log->run : nullptr;
    if (run) {
        line += ',' + textField(row.log->path);
        line += ',' + optionalField(run->rtMedianMs, &milliseconds);
        line += ',' + optionalField(run->rtIqrMs, &milliseconds);
        line += ',' + std::to_string(run->fastResponses);
        line += ',' + optionalField(run->consistency, &share);
        line += ',' + optionalField(run->distractorConsistency, &share);
        line += run->unfinished ? ",1" : ",0";
    } else {
        line += std::string(7, ',');
    }

    // The columns added since come after all of the above, so scripts reading by position still work.
    line += row.score ? modelFields(row.score->models) : std::string(ModelColumnCount, ',');
    line += ',' + (run ? optionalField(run->farConsistency, &share) : std::string());
    return line.append(LineEnd);
}

std::string blocksHeader()
{
    std::string header = "subject,trial_log,block,delay_days,trials,distractors,rt_median_ms,consistency,block_ended";
    return header.append(LineEnd);
}

std::string blocksLine(const std::string &subject, const std::string &logPath, const BlockFigures &block)
{
    std::string line = textField(subject) + ',' + textField(logPath);
    line += ',' + std::to_string(block.block);
    line += ',' + std::to_string(block.delayDays);
    line += ',' + std::to_string(block.trials);
    line += ',' + std::to_string(block.distractors);
    line += ',' + milliseconds(block.rtMedianMs);
    line += ',' + optionalField(block.consistency, &share);
    line += block.ended ? ",1" : ",0";
    return line.append(LineEnd);
}

} // namespace kpx
