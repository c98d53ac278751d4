#pragma once

#include <QList>
#include <QString>

#include <optional>

class QWidget;

namespace kpx {

// Every modal dialog the application shows, behind one seam: QtDialogs shows the real ones, tests
// answer from a script. Each call returns once the dialog is answered; `parent` may be null.
class Dialogs
{
public:
    // How a choice's button behaves in the box.
    enum class Role {
        Accept,      // a way forward
        Reject,      // the way out (Escape)
        Destructive, // gives something up
        Cancel,      // the standard Cancel button
    };

    struct Choice
    {
        QString text;
        Role role = Role::Accept;
    };

    enum class Tone { Plain, Warning };

    virtual ~Dialogs() = default;

    // A line of text, prefilled with defaultText: the text as typed, or nullopt on Cancel.
    virtual std::optional<QString> askText(QWidget *parent, const QString &title, const QString &prompt,
                                           const QString &defaultText) = 0;

    // A question answered Yes or No, No by default; true for Yes.
    virtual bool askYesNo(QWidget *parent, const QString &question) = 0;

    // A warning offering choices, the first one the default: the index of the choice taken, or nullopt
    // when the box closed without one.
    virtual std::optional<int> askChoice(QWidget *parent, const QString &text, const QString &detail,
                                         const QList<Choice> &choices) = 0;

    // An existing directory, starting in `start`; empty on Cancel.
    virtual QString chooseDirectory(QWidget *parent, const QString &start) = 0;

    // A message with OK only.
    virtual void inform(QWidget *parent, const QString &message, Tone tone) = 0;
};

} // namespace kpx
