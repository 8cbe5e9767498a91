#include "app/views/MUDAccessibleFactory.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

#include "app/views/MUDDisplayAccessible.h"
#include "app/views/MUDDisplayTextView.h"

void MUDAccessibleFactory::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&MUDAccessibleFactory::create);
        return true;
    }();
    Q_UNUSED(installed);
}

QAccessibleInterface* MUDAccessibleFactory::create(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("MUDDisplayTextView"))
        return new MUDDisplayAccessible(static_cast<MUDDisplayTextView*>(widget));
    // Only normal windows of a class straight from QWidget, asked for by their own class name: popups
    // (QMenu is such a class too) and Qt's interfaces for base classes stay untouched.
    const QMetaObject* meta = object->metaObject();
    if (widget->windowType() == Qt::Window && className == QLatin1String(meta->className()) &&
        meta->superClass() == &QWidget::staticMetaObject)
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}
