#pragma once

#include "ui/Dialogs.h"

namespace kpx {

// The real dialogs: Qt's input dialog, message boxes and directory chooser, titled "KPX2".
class QtDialogs final : public Dialogs
{
public:
    std::optional<QString> askText(QWidget *parent, const QString &title, const QString &prompt,
                                   const QString &defaultText) override;
    bool askYesNo(QWidget *parent, const QString &question) override;
    std::optional<int> askChoice(QWidget *parent, const QString &text, const QString &detail,
                                 const QList<Choice> &choices) override;
    QString chooseDirectory(QWidget *parent, const QString &start) override;
    void inform(QWidget *parent, const QString &message, Tone tone) override;
};

} // namespace kpx
