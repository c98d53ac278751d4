#include "ui/QtDialogs.h"

#include "ui/ApplicationTitle.h"

#include "i18n/Tr.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

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

// Qt names its standard buttons in English; in another language they take the catalogue's words, as
// the Win32 dialogs' do. English keeps Qt's, with their keyboard mnemonics.
void nameButtons(QMessageBox &box)
{
    if (i18n::activeLanguage() == i18n::DefaultLanguage)
        return;
    const std::pair<QMessageBox::StandardButton, const char *> names[] = {
        {QMessageBox::Ok, KPX_TR("OK")},
        {QMessageBox::Cancel, KPX_TR("Cancel")},
        {QMessageBox::Yes, KPX_TR("Yes")},
        {QMessageBox::No, KPX_TR("No")},
    };
    for (const auto &[which, text] : names)
        if (QAbstractButton *button = box.button(which))
            button->setText(QString::fromUtf8(i18n::tr(text)));
}

int show(QMessageBox &box)
{
    nameButtons(box);
    return box.exec();
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
    QMessageBox box(QMessageBox::Question, ApplicationTitle, qt(question), QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    return show(box) == QMessageBox::Yes;
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
    show(box);
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
    QMessageBox box(tone == Tone::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, ApplicationTitle, qt(message),
                    QMessageBox::Ok, parent);
    show(box);
}

} // namespace kpx
