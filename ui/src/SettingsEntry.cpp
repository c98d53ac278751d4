#include "ui/SettingsEntry.h"

#include "engine/TaskRules.h"
#include "results/ResultsWriter.h"

#include <QRegularExpression>

#include <charconv>
#include <cmath>
#include <limits>

namespace kpx {

namespace {

// Whether a number out of a double's range is too large (true) or too small (false) to hold:
// the decimal position of its first significant digit decides.
bool overflows(const QString &integerDigits, const QString &fractionDigits, const QString &exponent)
{
    qint64 position = 0;
    const qsizetype firstInteger = integerDigits.indexOf(QRegularExpression(QStringLiteral("[1-9]")));
    if (firstInteger >= 0) {
        position = integerDigits.size() - firstInteger;
    } else {
        const qsizetype firstFraction = fractionDigits.indexOf(QRegularExpression(QStringLiteral("[1-9]")));
        if (firstFraction < 0)
            return false;
        position = -firstFraction;
    }
    // An exponent of many digits is far beyond any double either way; cap it before adding.
    const QString exponentDigits = exponent.mid(exponent.startsWith(u'+') || exponent.startsWith(u'-') ? 1 : 0);
    const qint64 magnitude = exponentDigits.size() > 9 ? 1'000'000'000 : exponentDigits.toLongLong();
    return position + (exponent.startsWith(u'-') ? -magnitude : magnitude) > 0;
}

} // namespace

double readNumber(const QString &text)
{
    // Only ASCII digits: a reader that also took other scripts' digits or a locale's comma would
    // turn an ambiguous entry into a number the experimenter did not mean.
    static const QRegularExpression number(
        QStringLiteral("^([+-]?)(?:([0-9]+)(?:\\.([0-9]*))?|\\.([0-9]+))(?:[eE]([+-]?[0-9]+))?$"));
    const QString trimmed = text.trimmed();
    const QRegularExpressionMatch match = number.match(trimmed);
    if (!match.hasMatch())
        return 0.0;

    const bool negative = match.captured(1) == QLatin1String("-");
    const QByteArray digits = trimmed.mid(match.captured(1).size()).toLatin1();
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.constBegin(), digits.constEnd(), value);
    if (error == std::errc::result_out_of_range) {
        const QString fraction = match.captured(3).isEmpty() ? match.captured(4) : match.captured(3);
        value = overflows(match.captured(2), fraction, match.captured(5)) ? std::numeric_limits<double>::infinity()
                                                                           : 0.0;
    } else if (error != std::errc() || end != digits.constEnd()) {
        return 0.0;
    }
    return negative ? -value : value;
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
    if (!rounded || !IsDistractorThreshold(*rounded))
        return std::nullopt;
    return rounded;
}

std::optional<QString> subjectIdRefusal(const QString &text)
{
    // The results files hold the ID as their first line and in their names: one rule for both.
    const std::optional<std::string> reason = UnusableSubjectId(text.toStdString());
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
