#include "TabWalk.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include "app/views/MUDKeyboardNavigation.h"

TabWalk TabWalk::from(QWidget* start, int limit)
{
    TabWalk walk;
    start->activateWindow();
    start->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    for (int press = 0; press < limit; ++press) {
        QWidget* focused = QApplication::focusWidget();
        if (!focused)
            break;
        if (!walk.visited.isEmpty() && focused == walk.visited.front()) {
            walk.cameBack = true;
            break;
        }
        walk.visited.append(focused);
        const bool keepsTab = MUDKeyboardNavigation::keepsTab(focused);
        QTest::keyClick(focused, Qt::Key_Tab, keepsTab ? Qt::ControlModifier : Qt::NoModifier);
        QApplication::processEvents();
    }
    return walk;
}

QList<QWidget*> tabReachableControls(QWidget* window)
{
    QList<QWidget*> controls;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window) || !widget->isEnabled() || widget->window() != window)
            continue;
        if (!(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy())
            continue;
        controls.append(widget);
    }
    return controls;
}

QString accessibleName(QWidget* widget)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

QString describeWidget(QWidget* widget)
{
    return QStringLiteral("%1 \"%2\" (%3)")
        .arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName(), accessibleName(widget));
}

void expectReachableAndNamedByTab(QWidget* window, QWidget* start)
{
    const TabWalk walk = TabWalk::from(start);
    QStringList path;
    for (QWidget* widget : walk.visited)
        path.append(describeWidget(widget));
    const QString shown = path.join(QStringLiteral(" -> "));
    EXPECT_TRUE(walk.cameBack) << "Tab never returned to the start: " << shown.toStdString();
    for (QWidget* control : tabReachableControls(window))
        EXPECT_TRUE(walk.visited.contains(control))
            << describeWidget(control).toStdString() << " is not reached by Tab: " << shown.toStdString();
    for (QWidget* widget : walk.visited)
        EXPECT_FALSE(accessibleName(widget).trimmed().isEmpty())
            << describeWidget(widget).toStdString() << " has no accessible name";
}
