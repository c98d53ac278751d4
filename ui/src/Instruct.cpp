#include "ui/Instruct.h"

#include "forms/WindowLayouts.h"
#include "ui/Fonts.h"
#include "ui/Twips.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>

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
    m_label1->setFont(layoutFont(Layout::Label1.font));
    m_label1->setGeometry(fromTwips(Layout::Label1.rect));

    m_command1 = new QPushButton(QString::fromUtf8(Layout::Command1Caption.text()), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setFont(layoutFont(Layout::Command1Font));
    m_command1->setGeometry(fromTwips(Layout::Command1));
    m_command1->setDefault(true);
    m_command1->setFocus();
    connect(m_command1, &QPushButton::clicked, this, [this] {
        if (m_startTask)
            m_startTask();
    });

    resize(fromTwips(Layout::Client));
}

void Instruct::setStartTask(std::function<void()> startTask)
{
    m_startTask = std::move(startTask);
}

} // namespace kpx
