#include "ui/Fonts.h"

#include "forms/TextFit.h"

#include <QFontMetrics>
#include <QRect>
#include <QStringList>

#include <algorithm>

namespace kpx {

namespace {

void chooseFallbacks()
{
    // Arial's metrics are matched by Liberation Sans (fonts-liberation, which the scripts install)
    // and by Arimo. MS Sans Serif is a bitmap face that Windows draws at these sizes as Microsoft
    // Sans Serif, whose widths are close to Arial's; the same faces stand in for it. Without them
    // the system's default sans face (DejaVu Sans, about 5 % wider) clips "IN 3 MONTHS" in VDelay.
    const QStringList arialMetrics{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")};
    QFont::insertSubstitutions(QStringLiteral("Arial"), arialMetrics);
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               QStringList{QStringLiteral("Microsoft Sans Serif")} + arialMetrics);
}

} // namespace

QFont layoutFont(const forms::Font &layout)
{
    static const bool fallbacksChosen = (chooseFallbacks(), true);
    Q_UNUSED(fallbacksChosen);
    QFont font(QString::fromLatin1(layout.face));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(layout.points);
    font.setWeight(layout.weight == forms::Weight::Bold ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    return font;
}

QFont fittedFont(const forms::Font &font, const QString &text, const QSize &label, bool wrapped)
{
    const auto at = [&](double points) {
        forms::Font sized = font;
        sized.points = points;
        return layoutFont(sized);
    };
    const auto measure = [&](double points) -> forms::Extent {
        const QFontMetrics metrics(at(points));
        if (wrapped) {
            const QRect lines = metrics.boundingRect(QRect(QPoint(0, 0), label),
                                                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
            return {double(lines.width()), double(lines.height())};
        }
        // The line's full advance across, and its ink down from the label's top, where the line's
        // ascent begins; ink rising above the ascent needs that much more.
        const QRect ink = metrics.tightBoundingRect(text);
        const int above = std::max(0, -(metrics.ascent() + ink.top()));
        return {double(metrics.horizontalAdvance(text)), double(metrics.ascent() + ink.bottom() + 1 + above)};
    };
    if (text.isEmpty())
        return at(font.points);
    return at(forms::fitPoints(font.points, label.width(), label.height(), measure));
}

} // namespace kpx
