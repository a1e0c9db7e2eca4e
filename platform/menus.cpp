#include "platform/menus.h"

#include "platform/internal.h"

#include "platform/commands.h"
#include "platform/controladapter.h"
#include "platform/controls.h"

#include <QAction>
#include <QActionEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QMenu>
#include <QStringList>

#include <cstring>

namespace {

constexpr MenuItemAttributes kMenuItemAttrSeparator = 1u << 6;

const char* const kCommandIDProperty = "commandID";
const QString kMirrorName = QStringLiteral("tavi_popupmenu");

QAction* actionAt(MenuRef menu, MenuItemIndex item)
{
    if (!menu || item < 1)
        return nullptr;
    const QList<QAction*> actions = menu->actions();
    return item <= actions.size() ? actions.at(item - 1) : nullptr;
}

QAction* makeAction(MenuRef menu, const QString& text, MenuItemAttributes attributes,
                    MenuCommand commandID)
{
    auto* action = new QAction(text, menu);
    if (attributes & kMenuItemAttrSeparator)
        action->setSeparator(true);
    if (commandID != 0)
        action->setProperty(kCommandIDProperty, uint(commandID));
    return action;
}

// Keeps a combo box's items equal to the actions of its menu.
class PopupMenuMirror : public QObject {
public:
    explicit PopupMenuMirror(QComboBox* box) : QObject(box), m_box(box), m_menu(new QMenu(box))
    {
        setObjectName(kMirrorName);
        const QStringList commands = box->property("itemCommands").toStringList();
        for (int i = 0; i < box->count(); ++i) {
            MenuCommand command = 0;
            const QVariant data = box->itemData(i, kCommandIDRole);
            if (data.isValid())
                command = data.toUInt();
            else if (i < commands.size())
                fourCharCodeFromString(commands.at(i), &command);
            m_menu->addAction(makeAction(m_menu, box->itemText(i), 0, command));
        }
        // From now on the items' own data carries their commands.
        box->setProperty("itemCommands", QVariant());
        m_menu->installEventFilter(this);
        rebuild();
    }

    QMenu* menu() const { return m_menu; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_menu &&
            (event->type() == QEvent::ActionAdded || event->type() == QEvent::ActionRemoved ||
             event->type() == QEvent::ActionChanged)) {
            // Removal is reported before the action leaves the list.
            if (event->type() == QEvent::ActionRemoved)
                m_removing = static_cast<QActionEvent*>(event)->action();
            rebuild();
            m_removing = nullptr;
        }
        return false;
    }

private:
    void rebuild()
    {
        QSignalBlocker block(m_box);
        const int current = m_box->currentIndex();
        m_box->clear();
        for (QAction* action : m_menu->actions()) {
            if (action == m_removing)
                continue;
            if (action->isSeparator()) {
                m_box->insertSeparator(m_box->count());
                continue;
            }
            m_box->addItem(action->text());
            MenuCommand command = 0;
            if (GetMenuActionCommand(action, &command))
                m_box->setItemData(m_box->count() - 1, uint(command), kCommandIDRole);
        }
        m_box->setCurrentIndex(current < m_box->count() ? current : m_box->count() - 1);
    }

    QComboBox* m_box;
    QMenu* m_menu;
    QAction* m_removing = nullptr;
};

PopupMenuMirror* mirrorOf(QComboBox* box)
{
    if (QObject* found = box->findChild<QObject*>(kMirrorName, Qt::FindDirectChildrenOnly))
        return static_cast<PopupMenuMirror*>(found);
    return new PopupMenuMirror(box);
}

class PopupButtonAdapter : public ControlAdapter {
public:
    bool appliesTo(const QWidget* widget) const override
    {
        return qobject_cast<const QComboBox*>(widget) != nullptr;
    }
    OSStatus getData(ControlRef control, ControlPartCode, ResType tag, Size bufferSize,
                     void* buffer, Size* outActualSize) const override
    {
        if (tag != kControlPopupButtonMenuHandleTag)
            return eventNotHandledErr;
        if (outActualSize)
            *outActualSize = sizeof(MenuRef);
        if (!buffer)
            return noErr;
        if (bufferSize != Size(sizeof(MenuRef)))
            return errDataSizeMismatch;
        MenuRef menu = mirrorOf(static_cast<QComboBox*>(GetControlWidget(control)))->menu();
        std::memcpy(buffer, &menu, sizeof menu);
        return noErr;
    }
};

const bool popupAdapterRegistered = [] {
    RegisterControlAdapter(std::make_unique<PopupButtonAdapter>());
    return true;
}();

} // namespace

bool GetMenuActionCommand(const QAction* action, MenuCommand* outCommandID)
{
    if (!action || !outCommandID)
        return false;
    const QVariant id = action->property(kCommandIDProperty);
    if (id.isValid()) {
        bool ok = false;
        const uint command = id.toUInt(&ok);
        if (ok) {
            *outCommandID = command;
            return true;
        }
    }
    return GetObjectCommand(action, outCommandID);
}

UInt16 CountMenuItems(MenuRef menu)
{
    (void)popupAdapterRegistered;
    return menu ? UInt16(std::min<qsizetype>(menu->actions().size(), 0xFFFF)) : 0;
}

void DeleteMenuItem(MenuRef menu, MenuItemIndex item)
{
    if (QAction* action = actionAt(menu, item)) {
        menu->removeAction(action);
        if (action->parent() == menu)
            delete action;
    }
}

OSStatus AppendMenuItemTextWithCFString(MenuRef menu, const QString& text,
                                        MenuItemAttributes attributes, MenuCommand commandID,
                                        MenuItemIndex* outNewItem)
{
    if (!menu)
        return paramErr;
    menu->addAction(makeAction(menu, text, attributes, commandID));
    if (outNewItem)
        *outNewItem = CountMenuItems(menu);
    return noErr;
}

OSStatus GetMenuItemCommandID(MenuRef menu, MenuItemIndex item, MenuCommand* outCommandID)
{
    QAction* action = actionAt(menu, item);
    if (!action || !outCommandID)
        return paramErr;
    if (!GetMenuActionCommand(action, outCommandID))
        *outCommandID = 0;
    return noErr;
}

void CheckMenuItem(MenuRef menu, MenuItemIndex item, Boolean checked)
{
    if (QAction* action = actionAt(menu, item)) {
        action->setCheckable(true);
        action->setChecked(checked);
    }
}
