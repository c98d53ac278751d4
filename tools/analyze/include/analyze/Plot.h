#pragma once

#include "results/ResultsReader.h"
#include "analyze/Scoring.h"
#include "analyze/TrialLogFile.h"

#include <QColor>
#include <QImage>
#include <QSet>
#include <QString>

#include <vector>

namespace kpx {

// Every plot has this size in pixels.
inline constexpr int PlotWidth = 800;
inline constexpr int PlotHeight = 600;

// One subject's points against log delay with the best model's curve and, when that is another
// model, the hyperbola dashed beside it; the legend names both. Needs a QGuiApplication for its text.
QImage plotSubject(const QString &subject, const DelayValues &indifferencePoints, const Score &score);

// The subject plot's title: the subject, the best model with its probability and ED50, and the AUC.
QString subjectPlotTitle(const QString &subject, const Score &score);

// The model's curve as the legend writes it, "1/(1+kD)^s".
QString modelFormula(DiscountModel model);

// The response-time panel is this tall; stacked under a subject plot it makes the image taller.
inline constexpr int ResponseTimePanelHeight = 400;

// Response time by trial (answer order) on a log scale, one colour per block, the fast-response
// line marked. Needs a QGuiApplication for its text.
QImage plotResponseTimes(const QString &title, const std::vector<TrialRow> &rows);

// The images one above the other, as wide as the widest.
QImage stackPanels(const QImage &top, const QImage &bottom);

// The colour of a block (1 to 7) in the response-time panel.
QColor blockColor(int block);

// Every profile's points faint with the median per delay bold. Needs a QGuiApplication.
QImage plotStudy(const std::vector<DelayValues> &profiles);

// A file-name stem any common file system accepts, made from a subject ID typed as anything;
// the fallback stands in when nothing of the ID is usable.
QString safeFileStem(const QString &subject, const QString &fallback);

// Hands out plot file names for one run, never the same one twice, nor the study plot's.
class PlotNames
{
public:
    // The name for a subject's plot: "<stem>.png", or "<stem>-2.png" and on if that is taken.
    QString claim(const QString &subject, const QString &fallback);

    // The study plot's name, reserved from the start.
    static QString studyName();

private:
    // Lower-cased, since two names differing only in case are one file on some systems.
    QSet<QString> m_taken{studyName().toLower()};
};

} // namespace kpx
