#include "ui/QtDialogs.h"

#include "ui/ApplicationTitle.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace kpx {

namespace {

QAbstractButton *addChoice(QMessageBox &box, const Dialogs::Choice &choice)
{
    switch (choice.role) {
    case Dialogs::Role::Accept:
        return box.addButton(choice.text, QMessageBox::AcceptRole);
    case Dialogs::Role::Reject:
        return box.addButton(choice.text, QMessageBox::RejectRole);
    case Dialogs::Role::Destructive:
        return box.addButton(choice.text, QMessageBox::DestructiveRole);
    case Dialogs::Role::Cancel:
        return box.addButton(QMessageBox::Cancel);
    }
    return nullptr;
}

} // namespace

std::optional<QString> QtDialogs::askText(QWidget *parent, const QString &title, const QString &prompt,
                                          const QString &defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

bool QtDialogs::askYesNo(QWidget *parent, const QString &question)
{
    return QMessageBox::question(parent, ApplicationTitle, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

std::optional<int> QtDialogs::askChoice(QWidget *parent, const QString &text, const QString &detail,
                                        const QList<Choice> &choices)
{
    QMessageBox box(QMessageBox::Warning, ApplicationTitle, text, QMessageBox::NoButton, parent);
    box.setInformativeText(detail);
    QList<QAbstractButton *> buttons;
    for (const Choice &choice : choices)
        buttons << addChoice(box, choice);
    if (!buttons.isEmpty())
        box.setDefaultButton(qobject_cast<QPushButton *>(buttons.first()));
    box.exec();
    const qsizetype index = buttons.indexOf(box.clickedButton());
    if (index < 0)
        return std::nullopt;
    return static_cast<int>(index);
}

QString QtDialogs::chooseDirectory(QWidget *parent, const QString &start)
{
    return QFileDialog::getExistingDirectory(parent, ApplicationTitle, start);
}

void QtDialogs::inform(QWidget *parent, const QString &message, Tone tone)
{
    if (tone == Tone::Warning) {
        QMessageBox::warning(parent, ApplicationTitle, message);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, message, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace kpx
