#include "platform/searchfield.h"

#include "platform/internal.h"

#include "platform/commands.h"
#include "platform/controls.h"
#include "platform/drawnicon.h"
#include "platform/menus.h"

#include <QAction>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

namespace {

constexpr OptionBits kHISearchFieldAttributesSearchIcon = 1u << 1;

const QString kSearchFieldName = QStringLiteral("tavi_searchfield");

QIcon themedIcon(const char* name, bool cancel)
{
    const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
    return icon.isNull() ? (cancel ? DrawnClearIcon() : DrawnSearchIcon()) : icon;
}

void sendFieldEvent(ControlRef control, EventClass eventClass, EventKind kind)
{
    ScopedEvent(eventClass, kind, typeControlRef, control).send(GetControlEventTarget(control));
}

class SearchField : public QObject {
public:
    explicit SearchField(QLineEdit* edit) : QObject(edit), edit(edit), menu(new QMenu(edit))
    {
        setObjectName(kSearchFieldName);
        const QStringList titles = edit->property("itemTitles").toStringList();
        const QStringList commands = edit->property("itemCommands").toStringList();
        for (qsizetype i = 0; i < titles.size(); ++i) {
            MenuCommand command = 0;
            if (i < commands.size())
                fourCharCodeFromString(commands.at(i), &command);
            AppendMenuItemTextWithCFString(menu, titles.at(i), 0, command, nullptr);
        }
        menuAction = edit->addAction(themedIcon("edit-find", false), QLineEdit::LeadingPosition);
        menuAction->setObjectName(QStringLiteral("tavi_searchMenuButton"));
        menuAction->setToolTip(QStringLiteral("Choose where to search"));
        cancelAction = edit->addAction(themedIcon("edit-clear", true), QLineEdit::TrailingPosition);
        cancelAction->setObjectName(QStringLiteral("tavi_searchCancelButton"));
        cancelAction->setToolTip(QStringLiteral("Clear the search"));
        cancelAction->setVisible(false);

        connect(menuAction, &QAction::triggered, this,
                [this] { menu->popup(this->edit->mapToGlobal(QPoint(0, this->edit->height()))); });
        connect(cancelAction, &QAction::triggered, this, [this] { cancel(); });
        connect(edit, &QLineEdit::returnPressed, this, [this] {
            sendFieldEvent(GetControlFromWidget(this->edit), kEventClassTextField,
                           kEventTextAccepted);
        });
        connect(menu, &QMenu::triggered, this, [this](QAction* action) { chose(action); });
        edit->installEventFilter(this);
    }

    void cancel()
    {
        edit->clear();
        sendFieldEvent(GetControlFromWidget(edit), kEventClassSearchField,
                       kEventSearchFieldCancelClicked);
    }

    // The line edit claims keys of its own before the window's shortcuts see
    // them (on X11 Ctrl+E goes to the end of the line, Ctrl+K deletes to it):
    // a key that is the shortcut of one of the window's menu items goes to
    // that item instead. Plain keys and the common editing keys stay the
    // field's.
    bool givesWayToShortcut(QKeyEvent* key)
    {
        if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
            return false;
        for (const QKeySequence::StandardKey editing :
             {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo,
              QKeySequence::Redo, QKeySequence::SelectAll}) {
            if (key->matches(editing))
                return false;
        }
        const QKeySequence pressed(key->keyCombination());
        for (const QMenu* windowMenu : edit->window()->findChildren<QMenu*>()) {
            for (const QAction* action : windowMenu->actions()) {
                if (action->isEnabled() && action->shortcuts().contains(pressed)) {
                    key->ignore();
                    return true;
                }
            }
        }
        return false;
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != edit)
            return false;
        if (event->type() == QEvent::ShortcutOverride)
            return givesWayToShortcut(static_cast<QKeyEvent*>(event));
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            cancel();
            return true;
        }
        if (key->key() != Qt::Key_Up && key->key() != Qt::Key_Down)
            return false;
        const char character = key->key() == Qt::Key_Up ? 30 : 31;
        const UInt32 code = UInt32(key->key());
        ScopedEvent raw(kEventClassKeyboard, kEventRawKeyDown);
        raw.set(kEventParamKeyMacCharCodes, typeChar, character);
        raw.set(kEventParamKeyCode, typeUInt32, code);
        return raw.send(GetControlEventTarget(GetControlFromWidget(edit))) == noErr;
    }

    void chose(QAction* action)
    {
        const qsizetype index = menu->actions().indexOf(action);
        if (index < 0)
            return;
        MenuCommand command = 0;
        GetMenuActionCommand(action, &command);
        HICommand hiCommand{};
        hiCommand.attributes = kHICommandFromMenu;
        hiCommand.commandID = command;
        hiCommand.menu.menuRef = menu;
        hiCommand.menu.menuItemIndex = MenuItemIndex(index + 1);
        ProcessHICommand(hiCommand, GetControlEventTarget(GetControlFromWidget(edit)));
    }

    void setAttributes(OptionBits value)
    {
        attributes = value;
        cancelAction->setVisible(attributes & kHISearchFieldAttributesCancel);
    }

    QLineEdit* edit;
    QMenu* menu;
    QAction* menuAction = nullptr;
    QAction* cancelAction = nullptr;
    OptionBits attributes = kHISearchFieldAttributesSearchIcon;
};

SearchField* findField(HIViewRef control)
{
    auto* edit = qobject_cast<QLineEdit*>(GetControlWidget(control));
    if (!edit)
        return nullptr;
    if (QObject* found = edit->findChild<QObject*>(kSearchFieldName, Qt::FindDirectChildrenOnly))
        return static_cast<SearchField*>(found);
    return new SearchField(edit);
}

} // namespace

OSStatus HISearchFieldGetSearchMenu(HIViewRef searchField, MenuRef* outMenu)
{
    SearchField* field = findField(searchField);
    if (!field || !outMenu)
        return paramErr;
    *outMenu = field->menu;
    return noErr;
}

OSStatus HISearchFieldChangeAttributes(HIViewRef searchField, OptionBits attributesToSet,
                                       OptionBits attributesToClear)
{
    SearchField* field = findField(searchField);
    if (!field)
        return paramErr;
    field->setAttributes((field->attributes | attributesToSet) & ~attributesToClear);
    return noErr;
}

OSStatus HISearchFieldSetDescriptiveText(HIViewRef searchField, const QString& text)
{
    SearchField* field = findField(searchField);
    if (!field)
        return paramErr;
    field->edit->setPlaceholderText(text);
    return noErr;
}
