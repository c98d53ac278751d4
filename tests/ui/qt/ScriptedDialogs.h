#pragma once

#include "ScriptedDialogsOf.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace kpx::test {

using ScriptedDialogs = ScriptedDialogsOf<QWidget>;

// A script of text answers from Qt texts, a null one standing for Cancel.
inline std::vector<std::optional<std::string>> script(const QStringList &answers)
{
    std::vector<std::optional<std::string>> texts;
    for (const QString &answer : answers)
        texts.push_back(answer.isNull() ? std::nullopt : std::optional<std::string>(answer.toStdString()));
    return texts;
}

// What the dialogs showed, as Qt texts.
inline QStringList shownTexts(const std::vector<std::string> &texts)
{
    QStringList list;
    for (const std::string &text : texts)
        list << QString::fromStdString(text);
    return list;
}

} // namespace kpx::test
