#pragma once

#include "ui/StartForm.h"

#include <QList>
#include <QStringList>
#include <QTest>
#include <QTreeWidget>

namespace kpx::test {

// Cancel in a script of dialog answers.
inline const QString Cancel;

// Answers the entry dialogs in turn and records what they asked; a null text, and every dialog after
// the script, is Cancel.
class ScriptedPrompt
{
public:
    struct Call
    {
        QString prompt;
        QString title;
        QString defaultText;
    };

    explicit ScriptedPrompt(QStringList answers = {})
        : m_answers(std::move(answers))
    {
    }

    void append(const QStringList &answers) { m_answers << answers; }

    StartForm::Prompt function()
    {
        return [this](const QString &prompt, const QString &title, const QString &defaultText) -> std::optional<QString> {
            calls.append({prompt, title, defaultText});
            if (m_answers.isEmpty())
                return std::nullopt;
            const QString answer = m_answers.takeFirst();
            if (answer.isNull())
                return std::nullopt;
            return answer;
        };
    }

    QList<Call> calls;

private:
    QStringList m_answers;
};

// A double click as the windowing system delivers it: a press and release, then the double click.
inline void doubleClickItem(QTreeWidget *tree, QTreeWidgetItem *item)
{
    const QPoint centre = tree->visualItemRect(item).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, centre);
}

} // namespace kpx::test
