#include "ui/QtDialogs.h"

#include "ui/ApplicationTitle.h"

#include "i18n/Tr.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace kpx {

namespace {

QString qt(const std::string &text)
{
    return QString::fromStdString(text);
}

QAbstractButton *addChoice(QMessageBox &box, const Dialogs::Choice &choice)
{
    switch (choice.role) {
    case Dialogs::Role::Accept:
        return box.addButton(qt(choice.text), QMessageBox::AcceptRole);
    case Dialogs::Role::Reject:
        return box.addButton(qt(choice.text), QMessageBox::RejectRole);
    case Dialogs::Role::Destructive:
        return box.addButton(qt(choice.text), QMessageBox::DestructiveRole);
    case Dialogs::Role::Cancel:
        return box.addButton(QMessageBox::Cancel);
    }
    return nullptr;
}

} // namespace

std::optional<std::string> QtDialogs::askText(QWidget *parent, const std::string &title, const std::string &prompt,
                                              const std::string &defaultText)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(qt(title));
    dialog.setLabelText(qt(prompt));
    dialog.setTextValue(qt(defaultText));
    // Qt names its own buttons in English; in another language they take the catalogue's words, as the
    // Win32 dialog's do. English keeps Qt's, with their keyboard mnemonics.
    if (i18n::activeLanguage() != i18n::DefaultLanguage) {
        dialog.setOkButtonText(QString::fromUtf8(i18n::tr(KPX_TR("OK"))));
        dialog.setCancelButtonText(QString::fromUtf8(i18n::tr(KPX_TR("Cancel"))));
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue().toStdString();
}

bool QtDialogs::askYesNo(QWidget *parent, const std::string &question)
{
    return QMessageBox::question(parent, ApplicationTitle, qt(question), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

std::optional<int> QtDialogs::askChoice(QWidget *parent, const std::string &text, const std::string &detail,
                                        const std::vector<Choice> &choices)
{
    QMessageBox box(QMessageBox::Warning, ApplicationTitle, qt(text), QMessageBox::NoButton, parent);
    box.setInformativeText(qt(detail));
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

std::string QtDialogs::chooseDirectory(QWidget *parent, const std::string &start)
{
    return QFileDialog::getExistingDirectory(parent, ApplicationTitle, qt(start)).toStdString();
}

void QtDialogs::inform(QWidget *parent, const std::string &message, Tone tone)
{
    if (tone == Tone::Warning) {
        QMessageBox::warning(parent, ApplicationTitle, qt(message));
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, qt(message), QMessageBox::Ok, parent);
    box.exec();
}

} // namespace kpx
