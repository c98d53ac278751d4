#include "ui/Fonts.h"

#include <QStringList>

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

} // namespace kpx
