#pragma once

#include "ui/Dialogs.h"

#include <QList>
#include <QStringList>

#include <functional>

namespace kpx::test {

// Cancel in a script of text answers.
inline const QString Cancel;

// Answers every dialog from a script, in turn by kind, and records what each one showed. Past the end
// of its script a text entry and a directory chooser are cancelled, a yes/no question is answered No
// and a choice takes its last option: the way out of every box the application shows.
class ScriptedDialogs final : public Dialogs
{
public:
    struct TextCall
    {
        QString prompt;
        QString title;
        QString defaultText;
    };

    explicit ScriptedDialogs(QStringList texts = {})
        : texts(std::move(texts))
    {
    }

    std::optional<QString> askText(QWidget *, const QString &title, const QString &prompt,
                                   const QString &defaultText) override
    {
        textCalls.append({prompt, title, defaultText});
        shown(prompt);
        if (texts.isEmpty() || texts.first().isNull()) {
            if (!texts.isEmpty())
                texts.removeFirst();
            return std::nullopt;
        }
        return texts.takeFirst();
    }

    bool askYesNo(QWidget *, const QString &question) override
    {
        questions << question;
        shown(question);
        return !yesNo.isEmpty() && yesNo.takeFirst();
    }

    std::optional<int> askChoice(QWidget *, const QString &text, const QString &, const QList<Choice> &choices) override
    {
        questions << text;
        shown(text);
        const int choice = this->choices.isEmpty() ? int(choices.size()) - 1 : this->choices.takeFirst();
        if (choice < 0 || choice >= choices.size())
            return std::nullopt;
        return choice;
    }

    QString chooseDirectory(QWidget *, const QString &start) override
    {
        shown(start);
        return directories.isEmpty() ? QString() : directories.takeFirst();
    }

    void inform(QWidget *, const QString &message, Tone) override
    {
        messages << message;
        shown(message);
    }

    // The answers still to give, by kind; a null text is Cancel, a choice out of range closes the box.
    QStringList texts;
    QList<bool> yesNo;
    QList<int> choices;
    QStringList directories;
    // Called as each dialog comes up, before it is answered: what a user does while it is open.
    std::function<void(const QString &text)> whileShown;

    // What the dialogs showed.
    QList<TextCall> textCalls;
    QStringList questions;
    QStringList messages;

private:
    void shown(const QString &text)
    {
        if (whileShown)
            whileShown(text);
    }
};

} // namespace kpx::test
