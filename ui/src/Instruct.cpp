#include "ui/Instruct.h"

#include "ui/Fonts.h"
#include "ui/Twips.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>

namespace kpx {

namespace {

QFont msSansSerif(qreal pointSize)
{
    return layoutFont(QStringLiteral("MS Sans Serif"), pointSize);
}

} // namespace

QString instructionText()
{
    return QStringLiteral(
        "During this task, you will be presented with a series of choices.  In each case, you will be asked to "
        "choose between a variable amount of money available NOW, and a fixed amount of money available after a "
        "delay.  For each choice, you will only be able to respond after the choice options appear in black.  "
        "Please consider each choice carefully, and answer the questions as if it were real money.  Some questions "
        "may be repeated.  Please click the Okay button when you are ready to begin.");
}

Instruct::Instruct(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Instruct"));
    setWindowTitle(QStringLiteral("Instructions"));

    // The controls keep their places however large the window: it opens maximized over them.
    m_label1 = new QLabel(instructionText(), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setTextFormat(Qt::PlainText);
    m_label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_label1->setWordWrap(true);
    m_label1->setFont(msSansSerif(18));
    m_label1->setGeometry(fromTwips(3000), fromTwips(2280), fromTwips(9135), fromTwips(5295));

    m_command1 = new QPushButton(QStringLiteral("OK"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setFont(msSansSerif(13.5));
    m_command1->setGeometry(fromTwips(6960), fromTwips(9960), fromTwips(1215), fromTwips(615));
    m_command1->setDefault(true);
    m_command1->setFocus();
    connect(m_command1, &QPushButton::clicked, this, [this] {
        if (m_startTask)
            m_startTask();
    });

    resize(fromTwips(9615), fromTwips(6750));
}

void Instruct::setStartTask(std::function<void()> startTask)
{
    m_startTask = std::move(startTask);
}

} // namespace kpx
