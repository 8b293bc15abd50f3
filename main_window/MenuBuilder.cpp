#include "main_window/MenuBuilder.h"

#include "support/LangFunctions.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace quillmap {

QAction* MenuBuilder::makeAction(QObject* owner, const Item& item)
{
    auto* action = new QAction(LangFunctions::MessageText(item.message, item.english), owner);
    action->setObjectName(QString::fromLatin1(item.name));
    action->setShortcut(item.shortcut);
    action->setCheckable(item.checkable);
    if (item.run)
        QObject::connect(action, &QAction::triggered, owner, [run = item.run] { run(); });
    if (item.action)
        *item.action = action;
    return action;
}

QMenu* MenuBuilder::addMenu(QMenuBar& bar, QObject* owner, const char* name, int message,
                            const char* english, const std::vector<Item>& items)
{
    QMenu* menu = bar.addMenu(LangFunctions::MessageText(message, english));
    menu->setObjectName(QString::fromLatin1(name));
    for (const Item& item : items) {
        if (item.existing)
            menu->addAction(item.existing);
        else if (!item.name)
            menu->addSeparator();
        else
            menu->addAction(makeAction(owner, item));
    }
    return menu;
}

QAction* MenuBuilder::addTopItem(QMenuBar& bar, QObject* owner, const Item& item)
{
    QAction* action = makeAction(owner, item);
    bar.addAction(action);
    return action;
}

} // namespace quillmap
