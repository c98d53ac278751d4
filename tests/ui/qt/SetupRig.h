#pragma once

#include "ScriptedDialogs.h"

#include <QTest>
#include <QTreeWidget>

namespace kpx::test {

// A double click as the windowing system delivers it: a press and release, then the double click.
inline void doubleClickItem(QTreeWidget *tree, QTreeWidgetItem *item)
{
    const QPoint centre = tree->visualItemRect(item).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, centre);
}

} // namespace kpx::test
