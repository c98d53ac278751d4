#include "analyze/Plot.h"

#include "analyze/SummaryCsv.h"
#include "analyze/TrialScoring.h"
#include "engine/RunState.h"
#include "results/NumberForm.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace kpx {
namespace {

// The delays span more than three decades; a little room either side keeps the end points
// off the frame.
const double LogDaysMin = std::log10(0.6);
const double LogDaysMax = std::log10(3000.0);

const QColor GridColor(225, 225, 225);
const QColor AxisColor(60, 60, 60);
const QColor PointColor(31, 94, 168);
const QColor FitColor(200, 50, 40);
const QColor HyperbolaColor(0, 140, 70);

QFont plotFont(int pixelSize, bool bold = false)
{
    QFont font(QStringLiteral("Liberation Sans"));
    // Pixel sizes keep the layout identical whatever DPI the platform reports.
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QString delayName(std::size_t i)
{
    // The participant's text for the delay, "IN 1 DAY", becomes the label "1 day".
    static const DelayTable delays = standardDelayTable();
    const std::string &text = delays[static_cast<int>(i) + 1].text;
    return QString::fromStdString(text).mid(QStringLiteral("IN ").size()).toLower();
}

// The x title centred below the area, its top this far below it; the y title turned up the left
// edge, centred this far from the image's edge.
void drawAxisTitles(QPainter &painter, const QRectF &area, const QString &xTitle, double xTitleTop,
                    const QString &yTitle, double yTitleCentre)
{
    painter.setPen(Qt::black);
    painter.drawText(QRectF(area.left(), area.bottom() + xTitleTop, area.width(), 20), Qt::AlignHCenter, xTitle);
    painter.save();
    painter.translate(yTitleCentre, area.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-area.height() / 2, -10, area.height(), 20), Qt::AlignCenter, yTitle);
    painter.restore();
}

// Maps delays and dollars onto the plotting area.
class Frame
{
public:
    explicit Frame(const QRectF &area) : m_area(area) {}

    const QRectF &area() const { return m_area; }

    double xForDays(double days) const
    {
        return m_area.left() + (std::log10(days) - LogDaysMin) / (LogDaysMax - LogDaysMin) * m_area.width();
    }

    double yForDollars(double dollars) const { return m_area.bottom() - dollars / DelayedAmount * m_area.height(); }

    QPointF pointFor(std::size_t delay, double dollars) const
    {
        return {xForDays(StandardDelayDays[delay]), yForDollars(dollars)};
    }

private:
    QRectF m_area;
};

// One legend entry: a dot for points, a line for curves.
struct LegendEntry
{
    QString text;
    QColor color;
    bool isPoint = false;
    bool dashed = false;
};

// Title, grid, both axes with their labels, and a legend line under the axis; returns the frame
// to draw data into.
Frame drawAxes(QPainter &painter, const QString &title, const std::vector<LegendEntry> &legend)
{
    painter.fillRect(QRect(0, 0, PlotWidth, PlotHeight), Qt::white);
    const Frame frame(QRectF(QPointF(88, 56), QPointF(PlotWidth - 28, PlotHeight - 104)));
    const QRectF &area = frame.area();

    const QFont titleFont = plotFont(19, true);
    painter.setFont(titleFont);
    painter.setPen(Qt::black);
    const QString shownTitle = QFontMetricsF(titleFont).elidedText(title, Qt::ElideMiddle, PlotWidth - 40);
    painter.drawText(QRectF(20, 12, PlotWidth - 40, 32), Qt::AlignCenter, shownTitle);

    const QFont tickFont = plotFont(13);
    painter.setFont(tickFont);
    for (int dollars = 0; dollars <= DelayedAmount; dollars += 20) {
        const double y = frame.yForDollars(dollars);
        painter.setPen(QPen(GridColor, 1));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(AxisColor);
        painter.drawLine(QPointF(area.left() - 5, y), QPointF(area.left(), y));
        painter.drawText(QRectF(area.left() - 60, y - 10, 50, 20), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("$%1").arg(dollars));
    }

    // From three months on the delays sit closer than their names are wide, so the names
    // alternate between two rows.
    constexpr double RowHeight = 18;
    for (std::size_t i = 0; i < ResultsDelayCount; ++i) {
        const double x = frame.xForDays(StandardDelayDays[i]);
        const double row = static_cast<double>(i % 2);
        painter.setPen(QPen(GridColor, 1));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.setPen(AxisColor);
        painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + 5 + row * RowHeight));
        painter.drawText(QRectF(x - 50, area.bottom() + 6 + row * RowHeight, 100, RowHeight),
                         Qt::AlignHCenter | Qt::AlignTop, delayName(i));
    }

    painter.setPen(QPen(AxisColor, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area);

    const QFont labelFont = plotFont(14);
    painter.setFont(labelFont);
    drawAxisTitles(painter, area, QStringLiteral("Delay (log scale)"), 48,
                   QStringLiteral("Indifference point ($ now = $100 later)"), 22);

    // The legend sits below the axes so it can never hide a point, wherever the data fall.
    painter.setFont(tickFont);
    double legendX = area.left();
    const double legendY = area.bottom() + 78;
    const QFontMetricsF metrics(tickFont);
    for (const LegendEntry &entry : legend) {
        if (entry.isPoint) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(entry.color);
            painter.drawEllipse(QPointF(legendX + 11, legendY + 8), 5, 5);
            painter.setBrush(Qt::NoBrush);
        } else {
            painter.setPen(QPen(entry.color, 3, entry.dashed ? Qt::DashLine : Qt::SolidLine));
            painter.drawLine(QPointF(legendX, legendY + 8), QPointF(legendX + 22, legendY + 8));
        }
        painter.setPen(Qt::black);
        painter.drawText(QPointF(legendX + 28, legendY + 8 + metrics.ascent() / 2 - 1), entry.text);
        legendX += 28 + metrics.horizontalAdvance(entry.text) + 28;
    }
    return frame;
}

QPainterPath profilePath(const Frame &frame, const DelayValues &indifferencePoints)
{
    QPainterPath path(frame.pointFor(0, indifferencePoints[0]));
    for (std::size_t i = 1; i < ResultsDelayCount; ++i)
        path.lineTo(frame.pointFor(i, indifferencePoints[i]));
    return path;
}

void drawPoints(QPainter &painter, const Frame &frame, const DelayValues &indifferencePoints, double radius)
{
    for (std::size_t i = 0; i < ResultsDelayCount; ++i)
        painter.drawEllipse(frame.pointFor(i, indifferencePoints[i]), radius, radius);
}

QImage blankPlot()
{
    QImage image(PlotWidth, PlotHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// Names Windows refuses whatever the extension; plots may be copied there.
bool isReservedDeviceName(const QString &stem)
{
    static const QStringList reserved = [] {
        QStringList names{QStringLiteral("con"), QStringLiteral("prn"), QStringLiteral("aux"), QStringLiteral("nul")};
        for (int i = 1; i <= 9; ++i)
            names << QStringLiteral("com%1").arg(i) << QStringLiteral("lpt%1").arg(i);
        return names;
    }();
    return reserved.contains(stem.toLower());
}

QString sanitizedStem(const QString &text)
{
    // Room for a "-NN.png" suffix within the usual 255-byte limit on a name.
    constexpr qsizetype MaxStemBytes = 200;

    QString stem;
    qsizetype bytes = 0;
    for (const char32_t codePoint : text.toUcs4()) {
        QString piece = QString::fromUcs4(&codePoint, 1);
        if (codePoint < 0x20 || codePoint == 0x7F || QStringLiteral("/\\:*?\"<>|").contains(piece))
            piece = QStringLiteral("_");
        bytes += piece.toUtf8().size();
        if (bytes > MaxStemBytes)
            break;
        stem += piece;
    }
    stem = stem.trimmed();
    // Trailing dots vanish on Windows and leading ones hide the file on Unix.
    while (stem.endsWith(QLatin1Char('.')))
        stem.chop(1);
    for (qsizetype i = 0; i < stem.size() && stem[i] == QLatin1Char('.'); ++i)
        stem[i] = QLatin1Char('_');
    if (isReservedDeviceName(stem))
        stem += QLatin1Char('_');
    return stem;
}

QString modelLabel(DiscountModel model)
{
    const std::string_view name = modelName(model);
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

} // namespace

QImage plotSubject(const QString &subject, const DelayValues &indifferencePoints, const Score &score)
{
    QImage image = blankPlot();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const ModelFit &best = score.models.bestFit();
    const bool bestIsHyperbola = best.model == DiscountModel::Hyperbolic;
    std::vector<LegendEntry> legend{{QStringLiteral("Indifference points"), PointColor, true},
                                    {QStringLiteral("Best model: %1 %2").arg(modelLabel(best.model), modelFormula(best.model)),
                                     FitColor, false}};
    if (!bestIsHyperbola)
        legend.push_back({QStringLiteral("Hyperbola %1").arg(modelFormula(DiscountModel::Hyperbolic)), HyperbolaColor, false, true});
    const Frame frame = drawAxes(painter, subjectPlotTitle(subject, score), legend);

    const auto curve = [&](const ModelFit &fit) {
        QPolygonF line;
        constexpr int Samples = 240;
        for (int i = 0; i <= Samples; ++i) {
            const double logDays = LogDaysMin + (LogDaysMax - LogDaysMin) * i / Samples;
            const double days = std::pow(10.0, logDays);
            line << QPointF(frame.xForDays(days), frame.yForDollars(DelayedAmount * fit.valueAt(days)));
        }
        return line;
    };
    painter.setClipRect(frame.area());
    painter.setBrush(Qt::NoBrush);
    if (!bestIsHyperbola) {
        painter.setPen(QPen(HyperbolaColor, 2, Qt::DashLine));
        painter.drawPolyline(curve(score.models.fit(DiscountModel::Hyperbolic)));
    }
    painter.setPen(QPen(FitColor, 2.5));
    painter.drawPolyline(curve(best));

    painter.setPen(QPen(PointColor.darker(140), 1.5));
    painter.setBrush(PointColor);
    drawPoints(painter, frame, indifferencePoints, 6);
    return image;
}

QString modelFormula(DiscountModel model)
{
    switch (model) {
    case DiscountModel::Noise:
        return QStringLiteral("c");
    case DiscountModel::Exponential:
        return QStringLiteral("exp(\u2212kD)");
    case DiscountModel::Hyperbolic:
        return QStringLiteral("1/(1+kD)");
    case DiscountModel::Hyperboloid:
        return QStringLiteral("1/(1+kD)^s");
    case DiscountModel::Rachlin:
        return QStringLiteral("1/(1+kD^s)");
    case DiscountModel::BetaDelta:
        return QStringLiteral("\u03B2 exp(\u2212rD)");
    }
    return {};
}

QString subjectPlotTitle(const QString &subject, const Score &score)
{
    const ModelFit &best = score.models.bestFit();
    const std::optional<double> ed50 = best.ed50Days();
    const QString halfLife = ed50 ? QStringLiteral("ED50 = %1 d").arg(QString::fromStdString(significantNumber(*ed50, 4)))
                                  : QStringLiteral("no ED50");
    return QStringLiteral("%1  \u2014  %2 (p = %3), %4, AUC = %5")
        .arg(subject, modelLabel(best.model), QString::number(score.models.bestProbability, 'f', 2), halfLife,
             QString::number(score.auc, 'f', 3));
}

QImage plotStudy(const std::vector<DelayValues> &profiles)
{
    QImage image = blankPlot();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const QString title = profiles.size() == 1 ? QStringLiteral("Study: 1 subject")
                                               : QStringLiteral("Study: %1 subjects").arg(profiles.size());
    // Faint enough that a few dozen overlapping subjects still leave the median readable.
    const QColor faint(PointColor.red(), PointColor.green(), PointColor.blue(), 70);
    const QColor legendFaint(PointColor.red(), PointColor.green(), PointColor.blue(), 110);
    const Frame frame = drawAxes(painter, title,
                                 {{QStringLiteral("Each subject"), legendFaint, false},
                                  {QStringLiteral("Median per delay"), Qt::black, false}});

    painter.setClipRect(frame.area());
    for (const DelayValues &profile : profiles) {
        painter.setPen(QPen(faint, 1.2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(profilePath(frame, profile));
        painter.setPen(Qt::NoPen);
        painter.setBrush(faint);
        drawPoints(painter, frame, profile, 3.5);
    }

    if (!profiles.empty()) {
        const DelayValues median = medianPerDelay(profiles);
        painter.setPen(QPen(Qt::black, 3.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(profilePath(frame, median));
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        drawPoints(painter, frame, median, 6.5);
    }
    return image;
}

QColor blockColor(int block)
{
    // Seven hues that stay apart for the common colour-vision deficiencies (Okabe & Ito), black last.
    static const QColor colors[] = {QColor(230, 159, 0), QColor(86, 180, 233),  QColor(0, 158, 115),
                                    QColor(213, 94, 0),  QColor(0, 114, 178),   QColor(204, 121, 167),
                                    QColor(0, 0, 0)};
    return colors[std::clamp(block, 1, 7) - 1];
}

QImage plotResponseTimes(const QString &title, const std::vector<TrialRow> &rows)
{
    QImage image(PlotWidth, ResponseTimePanelHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(QPointF(88, 48), QPointF(PlotWidth - 28, ResponseTimePanelHeight - 84));

    painter.setFont(plotFont(17, true));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(20, 8, PlotWidth - 40, 30), Qt::AlignCenter,
                     QFontMetricsF(plotFont(17, true)).elidedText(title, Qt::ElideMiddle, PlotWidth - 40));

    // Times span from a reflex to a long hesitation: a log axis from 10 ms to 100 s holds any of them.
    constexpr double LogMsMin = 1.0;
    constexpr double LogMsMax = 5.0;
    const double trials = std::max<double>(static_cast<double>(rows.size()), 1.0);
    const auto xFor = [&](double trial) { return area.left() + (trial - 0.5) / trials * area.width(); };
    const auto yFor = [&](double ms) {
        const double logMs = std::clamp(std::log10(std::max(ms, 1.0)), LogMsMin, LogMsMax);
        return area.bottom() - (logMs - LogMsMin) / (LogMsMax - LogMsMin) * area.height();
    };

    const QFont tickFont = plotFont(13);
    painter.setFont(tickFont);
    for (int power = 1; power <= 5; ++power) {
        const double y = yFor(std::pow(10.0, power));
        painter.setPen(QPen(GridColor, 1));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(AxisColor);
        const QString label = power < 3 ? QStringLiteral("%1 ms").arg(std::pow(10.0, power))
                                        : QStringLiteral("%1 s").arg(std::pow(10.0, power - 3));
        painter.drawText(QRectF(area.left() - 80, y - 10, 72, 20), Qt::AlignRight | Qt::AlignVCenter, label);
    }
    painter.setPen(QPen(FitColor, 1.5, Qt::DashLine));
    painter.drawLine(QPointF(area.left(), yFor(FastResponseMs)), QPointF(area.right(), yFor(FastResponseMs)));
    painter.setPen(QPen(AxisColor, 1.5));
    painter.drawRect(area);

    painter.setFont(plotFont(14));
    drawAxisTitles(painter, area, QStringLiteral("Trial (in answer order); dashed line: %1 ms").arg(FastResponseMs), 8,
                   QStringLiteral("Response time"), 18);

    painter.setFont(tickFont);
    double legendX = area.left();
    const QFontMetricsF metrics(tickFont);
    for (int block = 1; block <= static_cast<int>(ResultsDelayCount); ++block) {
        const QString text = QStringLiteral("Block %1").arg(block);
        painter.setPen(Qt::NoPen);
        painter.setBrush(blockColor(block));
        painter.drawEllipse(QPointF(legendX + 6, area.bottom() + 48), 5, 5);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(legendX + 15, area.bottom() + 48 + metrics.ascent() / 2 - 1), text);
        legendX += 15 + metrics.horizontalAdvance(text) + 20;
    }

    painter.setClipRect(area);
    painter.setPen(Qt::NoPen);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        painter.setBrush(blockColor(rows[i].block));
        painter.drawEllipse(QPointF(xFor(static_cast<double>(i) + 1), yFor(rows[i].rtMs)), 3.5, 3.5);
    }
    return image;
}

QImage stackPanels(const QImage &top, const QImage &bottom)
{
    QImage image(std::max(top.width(), bottom.width()), top.height() + bottom.height(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.drawImage(0, 0, top);
    painter.drawImage(0, top.height(), bottom);
    return image;
}

QString safeFileStem(const QString &subject, const QString &fallback)
{
    QString stem = sanitizedStem(subject);
    if (stem.isEmpty())
        stem = sanitizedStem(fallback);
    if (stem.isEmpty())
        stem = QStringLiteral("subject");
    return stem;
}

QString PlotNames::claim(const QString &subject, const QString &fallback)
{
    const QString stem = safeFileStem(subject, fallback);
    QString name = stem + QStringLiteral(".png");
    for (int suffix = 2; m_taken.contains(name.toLower()); ++suffix)
        name = QStringLiteral("%1-%2.png").arg(stem).arg(suffix);
    m_taken.insert(name.toLower());
    return name;
}

QString PlotNames::studyName()
{
    return QStringLiteral("study.png");
}

} // namespace kpx
