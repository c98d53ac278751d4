#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace kpx {

// The number an entered text stands for: spaces around it, an optional sign, digits with an optional
// "." fraction and an optional exponent ("1e3"). Text that is not wholly such a number reads as 0;
// a number too large for a double reads as an infinity of its sign.
double readNumber(const QString &text);

// The nearest whole number, an exact half going to the even neighbour; nullopt beyond 16 bits.
std::optional<std::int16_t> roundToInt16(double value);

// The MaxTrials a Cutoff entry gives: the rounded number when positive, otherwise 1000.
std::int16_t maxTrialsFromEntry(const QString &text);

// The DistractorThreshold an entry gives, 6 to 34; nullopt when the experimenter must be asked again.
std::optional<std::int16_t> distractorThresholdFromEntry(const QString &text);

// Why an entered subject ID is refused (a line break, NUL, '/' or other control character), if it is;
// any other text is the SubjectId exactly as typed.
std::optional<QString> subjectIdRefusal(const QString &text);

// SIDCtrl's text for a subject ID: shown exactly as typed, never as a keyboard mnemonic.
QString subjectIdMenuText(const QString &subjectId);

// CutCtrl's text after an entry: "Cutoff:", one space, the digits.
QString cutoffMenuText(std::int16_t maxTrials);

// DTThresh's text after an entry: "DTT:" and the last two characters of a space and the digits.
QString thresholdMenuText(std::int16_t threshold);

} // namespace kpx
