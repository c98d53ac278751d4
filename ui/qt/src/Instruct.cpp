#include "ui/Instruct.h"

#include "forms/WindowLayouts.h"
#include "ui/Fonts.h"
#include "ui/Twips.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>

namespace kpx {

namespace {

using Layout = forms::InstructLayout;

} // namespace

QString instructionText()
{
    return QString::fromUtf8(Layout::Label1.caption.text());
}

Instruct::Instruct(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Instruct"));
    setWindowTitle(QString::fromUtf8(Layout::Caption.text()));

    // The controls keep their places however large the window: it opens maximized over them.
    m_label1 = new QLabel(instructionText(), this);
    m_label1->setObjectName(QString::fromLatin1(Layout::Label1.name));
    m_label1->setTextFormat(Qt::PlainText);
    m_label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_label1->setWordWrap(true);

    m_command1 = new QPushButton(QString::fromUtf8(Layout::Command1Caption.text()), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setDefault(true);
    m_command1->setFocus();
    connect(m_command1, &QPushButton::clicked, this, [this] {
        if (m_startTask)
            m_startTask();
    });

    // As designed until the window knows its screen.
    layOutFor({{0, 0, 1 << 16, 1 << 16}, forms::DesignDpi}, 1.0);
    resize(fromTwips(Layout::Client));
}

void Instruct::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Maximized, the area it has; restored, it keeps the layout it would have maximized, and its design
    // size cuts the controls as it always did.
    QSize room = size();
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        room = screen()->availableGeometry().size();
    // Qt scales device-independent pixels by the screen's ratio; the rule works in the display's own.
    const qreal ratio = devicePixelRatioF();
    layOutFor({{0, 0, qRound(room.width() * ratio), qRound(room.height() * ratio)}, qRound(forms::DesignDpi * ratio)},
              ratio);
}

void Instruct::layOutFor(const forms::Display &display, qreal devicePixelRatio)
{
    const forms::Fit dips = fitForWidgets(forms::instructionsExtent(), display, devicePixelRatio);
    // The scale in the display's own pixels.
    m_scale = dips.scale() * devicePixelRatio;
    const auto place = [&](QWidget *control, const forms::Rect &rect, forms::Font font) {
        const forms::Rect r = dips.place(rect);
        control->setGeometry(r.left, r.top, r.width, r.height);
        font.points = dips.points(font.points);
        control->setFont(layoutFont(font));
    };
    place(m_label1, Layout::Label1.rect, Layout::Label1.font);
    place(m_command1, Layout::Command1, Layout::Command1Font);
}

void Instruct::retranslate()
{
    setWindowTitle(QString::fromUtf8(Layout::Caption.text()));
    m_label1->setText(instructionText());
    m_command1->setText(QString::fromUtf8(Layout::Command1Caption.text()));
}

void Instruct::setStartTask(std::function<void()> startTask)
{
    m_startTask = std::move(startTask);
}

} // namespace kpx
