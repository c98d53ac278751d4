#include "ui/SettingsEntry.h"

#include "engine/TaskRules.h"
#include "results/ResultsWriter.h"

#include <cmath>
#include <limits>

namespace kpx {

double readNumber(const QString &text)
{
    // QString::toDouble reads the C locale's form only (ASCII digits, '.' as decimal point, no group
    // separators), so an ambiguous entry is never turned into a number the experimenter did not mean.
    bool ok = false;
    const double value = text.toDouble(&ok);
    // "inf" and "nan" typed as such are not numbers; a number too large for a double keeps its sign.
    if (ok)
        return std::isfinite(value) ? value : 0.0;
    return std::isinf(value) ? value : 0.0;
}

std::optional<std::int16_t> roundToInt16(double value)
{
    // nearbyint rounds in the default mode, to nearest with halves to even.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<std::int16_t>::min() && rounded <= std::numeric_limits<std::int16_t>::max()))
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

std::int16_t maxTrialsFromEntry(const QString &text)
{
    const double value = readNumber(text);
    if (!(value > 0))
        return DefaultMaxTrials;
    // A positive entry that rounds to 0 (0.5 or less) or lies beyond 16 bits would leave no sensible
    // maximum: it is treated like any other unusable entry.
    const std::optional<std::int16_t> rounded = roundToInt16(value);
    return rounded && *rounded > 0 ? *rounded : DefaultMaxTrials;
}

std::optional<std::int16_t> distractorThresholdFromEntry(const QString &text)
{
    const std::optional<std::int16_t> rounded = roundToInt16(readNumber(text));
    if (!rounded || !isDistractorThreshold(*rounded))
        return std::nullopt;
    return rounded;
}

std::optional<QString> subjectIdRefusal(const QString &text)
{
    // The results files hold the ID as their first line and in their names: one rule for both.
    const std::optional<std::string> reason = unusableSubjectId(text.toStdString());
    if (!reason)
        return std::nullopt;
    return QStringLiteral("This subject ID cannot be used: %1.\n\nPlease enter it again.")
        .arg(QString::fromStdString(*reason));
}

QString subjectIdMenuText(const QString &subjectId)
{
    QString text = subjectId;
    return text.replace(u'&', QStringLiteral("&&"));
}

QString cutoffMenuText(std::int16_t maxTrials)
{
    return QStringLiteral("Cutoff: %1").arg(maxTrials);
}

QString thresholdMenuText(std::int16_t threshold)
{
    return QStringLiteral("DTT:") + (QStringLiteral(" ") + QString::number(threshold)).right(2);
}

} // namespace kpx
