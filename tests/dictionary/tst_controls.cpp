// The platform controls of the dictionary window: the data browser, pop-up
// menus, the search field and the text view, over real widgets.

#include "platform/commands.h"
#include "platform/controls.h"
#include "platform/databrowser.h"
#include "platform/menus.h"
#include "platform/searchfield.h"
#include "platform/textview.h"
#include "platform/windows.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr DataBrowserPropertyID kName = FOUR_CHAR_CODE("NAME");
constexpr DataBrowserPropertyID kSize = FOUR_CHAR_CODE("SIZE");
constexpr DataBrowserPropertyID kDone = FOUR_CHAR_CODE("DONE");

// The owner of the test lists: item n is named "item n" and has size
// (n * 7) % 10; edits and notifications are recorded.
struct Owner {
    int cellQueries = 0;
    std::map<DataBrowserItemID, QString> edited;
    std::map<DataBrowserItemID, bool> done;
    std::vector<std::pair<DataBrowserItemID, DataBrowserItemNotification>> notes;
    bool editable = true;
};
Owner* owner = nullptr;

OSStatus dataCallback(ControlRef, DataBrowserItemID item, DataBrowserPropertyID property,
                      DataBrowserItemDataRef data, Boolean setValue)
{
    switch (property) {
    case kDataBrowserItemIsEditableProperty:
        return SetDataBrowserItemDataBooleanValue(data, owner->editable);
    case kName:
        if (setValue) {
            QString text;
            GetDataBrowserItemDataText(data, &text);
            owner->edited[item] = text;
        }
        ++owner->cellQueries;
        return SetDataBrowserItemDataText(data, owner->edited.count(item)
                                                    ? owner->edited[item]
                                                    : QStringLiteral("item %1").arg(item));
    case kSize:
        ++owner->cellQueries;
        return SetDataBrowserItemDataText(data, QString::number((item * 7) % 10));
    case kDone:
        if (setValue) {
            ThemeButtonValue value = kThemeButtonOff;
            GetDataBrowserItemDataButtonValue(data, &value);
            owner->done[item] = value == kThemeButtonOn;
        }
        return SetDataBrowserItemDataButtonValue(data, owner->done[item] ? kThemeButtonOn
                                                                         : kThemeButtonOff);
    default:
        return noErr;
    }
}

Boolean compareCallback(ControlRef, DataBrowserItemID a, DataBrowserItemID b,
                        DataBrowserPropertyID property)
{
    if (property == kSize)
        return (a * 7) % 10 < (b * 7) % 10;
    return a < b;
}

void notificationCallback(ControlRef, DataBrowserItemID item, DataBrowserItemNotification message)
{
    if (message != kDataBrowserItemAdded && message != kDataBrowserItemRemoved)
        owner->notes.emplace_back(item, message);
}

void addTextColumn(ControlRef list, DataBrowserPropertyID property, DataBrowserPropertyFlags flags,
                   DataBrowserTableViewColumnIndex position = kDataBrowserListViewAppendColumn)
{
    DataBrowserListViewColumnDesc column{};
    column.propertyDesc = {property, kDataBrowserTextType, flags};
    column.headerBtnDesc.minimumWidth = 40;
    column.headerBtnDesc.maximumWidth = 120;
    column.headerBtnDesc.titleString = fourCharCodeQString(property);
    QCOMPARE(AddDataBrowserListViewColumn(list, &column, position), noErr);
}

std::vector<DataBrowserItemID> items(ControlRef list, DataBrowserItemState state = kDataBrowserItemAnyState)
{
    std::vector<DataBrowserItemID> result;
    GetDataBrowserItems(list, kDataBrowserNoItem, false, state, &result);
    return result;
}

} // namespace

class ControlsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void itemsAreNumberedFromOneAndListedOnce();
    void cellsAreAskedForOnlyWhenShown();
    void columnsAreAddedAndRemovedByProperty();
    void sortingUsesTheCompareCallback();
    void editsAreHandedToTheCallback();
    void selectionAndDoubleClickAreReported();
    void revealScrollsToTheItem();
    void resourceColumnsAreMadeFromProperties();
    void popupItemsFollowTheirMenu();
    void searchFieldSendsItsEvents();
    void textViewReplacesAndAppends();

private:
    Owner state;
    WindowRef window = nullptr;
    ControlRef list = nullptr;
};

void ControlsTest::init()
{
    state = Owner{};
    owner = &state;
    auto* widget = new QWidget;
    widget->resize(400, 300);
    QVERIFY(CreateWindowFromWidget(widget, &window) == noErr);
    Rect bounds;
    SetRect(&bounds, 0, 0, 400, 300);
    QCOMPARE(CreateDataBrowserControl(window, &bounds, kDataBrowserListView, &list), noErr);
    addTextColumn(list, kName, kDataBrowserListViewDefaultColumnFlags | kDataBrowserPropertyIsMutable);
    addTextColumn(list, kSize, kDataBrowserListViewSortableColumn);
    DataBrowserCallbacks callbacks;
    InitDataBrowserCallbacks(&callbacks);
    callbacks.u.v1.itemDataCallback = dataCallback;
    callbacks.u.v1.itemCompareCallback = compareCallback;
    callbacks.u.v1.itemNotificationCallback = notificationCallback;
    QCOMPARE(SetDataBrowserCallbacks(list, &callbacks), noErr);
    ShowControl(list);
    ShowWindow(window);
}

void ControlsTest::cleanup()
{
    DisposeWindow(window);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ControlsTest::itemsAreNumberedFromOneAndListedOnce()
{
    QCOMPARE(AddDataBrowserItems(list, kDataBrowserNoItem, 3, nullptr, 0), noErr);
    QCOMPARE(items(list), (std::vector<DataBrowserItemID>{1, 2, 3}));
    const DataBrowserItemID more[] = {2, 9, kDataBrowserNoItem, 9, 4};
    QCOMPARE(AddDataBrowserItems(list, kDataBrowserNoItem, 5, more, 0), noErr);
    QCOMPARE(items(list), (std::vector<DataBrowserItemID>{1, 2, 3, 9, 4}));
    const DataBrowserItemID gone[] = {3, 4};
    QCOMPARE(RemoveDataBrowserItems(list, kDataBrowserNoItem, 2, gone, 0), noErr);
    QCOMPARE(items(list), (std::vector<DataBrowserItemID>{1, 2, 9}));
    QCOMPARE(RemoveDataBrowserItems(list, kDataBrowserNoItem, 1, gone, 0), errDataBrowserItemNotFound);
    QCOMPARE(AddDataBrowserItems(list, 5, 1, more, 0), paramErr); // no containers
    QCOMPARE(RemoveDataBrowserItems(list, kDataBrowserNoItem, 0, nullptr, 0), noErr);
    QVERIFY(items(list).empty());
}

void ControlsTest::cellsAreAskedForOnlyWhenShown()
{
    QCOMPARE(AddDataBrowserItems(list, kDataBrowserNoItem, 50000, nullptr, 0), noErr);
    QCOMPARE(state.cellQueries, 0);
    GetWindowWidget(window)->repaint();
    QCoreApplication::processEvents();
    QVERIFY(state.cellQueries > 0);
    QVERIFY2(state.cellQueries < 400, qPrintable(QString::number(state.cellQueries)));
}

void ControlsTest::columnsAreAddedAndRemovedByProperty()
{
    addTextColumn(list, kDone, 0, 0);
    UInt32 count = 0;
    GetDataBrowserTableViewColumnCount(list, &count);
    QCOMPARE(count, 3u);
    DataBrowserPropertyID property = 0;
    GetDataBrowserTableViewColumnProperty(list, 0, &property);
    QCOMPARE(property, kDone);
    DataBrowserTableViewColumnIndex position = 0;
    GetDataBrowserTableViewColumnPosition(list, kSize, &position);
    QCOMPARE(position, 2u);
    UInt16 width = 0;
    GetDataBrowserTableViewNamedColumnWidth(list, kName, &width);
    QCOMPARE(int(width), 120); // starts at its maximum
    SetDataBrowserTableViewNamedColumnWidth(list, kName, 10);
    GetDataBrowserTableViewNamedColumnWidth(list, kName, &width);
    QCOMPARE(int(width), 40); // and stays within its limits

    DataBrowserListViewColumnDesc twice{};
    twice.propertyDesc = {kName, kDataBrowserTextType, 0};
    QCOMPARE(AddDataBrowserListViewColumn(list, &twice, 0), paramErr);
    QCOMPARE(RemoveDataBrowserTableViewColumn(list, kDone), noErr);
    QCOMPARE(RemoveDataBrowserTableViewColumn(list, kDone), errDataBrowserPropertyNotFound);
    GetDataBrowserTableViewColumnCount(list, &count);
    QCOMPARE(count, 2u);
}

void ControlsTest::sortingUsesTheCompareCallback()
{
    AddDataBrowserItems(list, kDataBrowserNoItem, 6, nullptr, 0);
    // Sizes of items 1..6: 7 4 1 8 5 2.
    QCOMPARE(SetDataBrowserSortProperty(list, kSize), noErr);
    QCOMPARE(items(list), (std::vector<DataBrowserItemID>{3, 6, 2, 5, 1, 4}));
    QCOMPARE(SetDataBrowserSortOrder(list, kDataBrowserOrderDecreasing), noErr);
    QCOMPARE(items(list), (std::vector<DataBrowserItemID>{4, 1, 5, 2, 6, 3}));
    const DataBrowserItemID seven = 7; // size 9: goes first when descending
    AddDataBrowserItems(list, kDataBrowserNoItem, 1, &seven, 0);
    QCOMPARE(items(list).front(), 7u);

    // A click on a column header sorts; on a column that is not sortable, not.
    auto* view = qobject_cast<QTreeView*>(GetControlWidget(list));
    SetDataBrowserSortProperty(list, kDataBrowserItemNoProperty);
    RemoveDataBrowserItems(list, kDataBrowserNoItem, 0, nullptr, 0);
    AddDataBrowserItems(list, kDataBrowserNoItem, 6, nullptr, 0);
    emit view->header()->sectionClicked(0); // NAME: sortable
    DataBrowserPropertyID property = 0;
    GetDataBrowserSortProperty(list, &property);
    QCOMPARE(property, kName);
    SetDataBrowserPropertyFlags(list, kSize, 0);
    emit view->header()->sectionClicked(1);
    GetDataBrowserSortProperty(list, &property);
    QCOMPARE(property, kName);
}

void ControlsTest::editsAreHandedToTheCallback()
{
    AddDataBrowserItems(list, kDataBrowserNoItem, 3, nullptr, 0);
    QCOMPARE(OpenDataBrowserEditSession(list, 2, kSize, nullptr), errDataBrowserNotConfigured);
    state.editable = false; // the editable query says no
    QCOMPARE(OpenDataBrowserEditSession(list, 2, kName, nullptr), errDataBrowserNotConfigured);
    state.editable = true;
    QCOMPARE(OpenDataBrowserEditSession(list, 2, kName, nullptr), noErr);
    auto* view = qobject_cast<QTreeView*>(GetControlWidget(list));
    auto* editor = qobject_cast<QLineEdit*>(view->indexWidget(view->currentIndex()));
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("item 2"));
    editor->setText(QStringLiteral("second"));
    QCOMPARE(CloseDataBrowserEditSession(list), noErr);
    QCOMPARE(state.edited[2], QStringLiteral("second"));
    QCOMPARE(view->model()->index(1, 0).data().toString(), QStringLiteral("second"));
    std::vector<std::pair<DataBrowserItemID, DataBrowserItemNotification>> edits;
    for (const auto& note : state.notes) {
        if (note.second == kDataBrowserEditStarted || note.second == kDataBrowserEditStopped)
            edits.push_back(note);
    }
    QCOMPARE(edits, (std::vector<std::pair<DataBrowserItemID, DataBrowserItemNotification>>{
                        {2, kDataBrowserEditStarted}, {2, kDataBrowserEditStopped}}));

    // Check boxes hand over their button value.
    DataBrowserListViewColumnDesc box{};
    box.propertyDesc = {kDone, kDataBrowserCheckboxType, kDataBrowserPropertyIsMutable};
    AddDataBrowserListViewColumn(list, &box, kDataBrowserListViewAppendColumn);
    QAbstractItemModel* model = view->model();
    QVERIFY(model->setData(model->index(0, 2), int(Qt::Checked), Qt::CheckStateRole));
    QVERIFY(state.done[1]);
    QCOMPARE(model->index(0, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
}

void ControlsTest::selectionAndDoubleClickAreReported()
{
    AddDataBrowserItems(list, kDataBrowserNoItem, 5, nullptr, 0);
    SetDataBrowserSelectionFlags(list, kDataBrowserDragSelect | kDataBrowserCmdTogglesSelection);
    const DataBrowserItemID two[] = {2, 4};
    QCOMPARE(SetDataBrowserSelectedItems(list, 2, two, kDataBrowserItemsAssign), noErr);
    QCOMPARE(items(list, kDataBrowserItemIsSelected), (std::vector<DataBrowserItemID>{2, 4}));
    QVERIFY(IsDataBrowserItemSelected(list, 4));
    const DataBrowserItemID four = 4;
    SetDataBrowserSelectedItems(list, 1, &four, kDataBrowserItemsRemove);
    using Note = std::pair<DataBrowserItemID, DataBrowserItemNotification>;
    QCOMPARE(state.notes, (std::vector<Note>{{2, kDataBrowserItemSelected},
                                             {4, kDataBrowserItemSelected},
                                             {4, kDataBrowserItemDeselected}}));
    state.notes.clear();
    RemoveDataBrowserItems(list, kDataBrowserNoItem, 0, nullptr, 0);
    QCOMPARE(state.notes, (std::vector<Note>{{2, kDataBrowserItemDeselected}}));

    AddDataBrowserItems(list, kDataBrowserNoItem, 5, nullptr, 0);
    QCoreApplication::processEvents(); // laid out
    state.notes.clear();
    auto* view = qobject_cast<QTreeView*>(GetControlWidget(list));
    const QRect row = view->visualRect(view->model()->index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row.center());
    QVERIFY(std::find(state.notes.begin(), state.notes.end(),
                      Note{3, kDataBrowserItemDoubleClicked}) != state.notes.end());
    QVERIFY(std::find(state.notes.begin(), state.notes.end(), Note{3, kDataBrowserItemSelected}) !=
            state.notes.end());
}

void ControlsTest::revealScrollsToTheItem()
{
    AddDataBrowserItems(list, kDataBrowserNoItem, 1000, nullptr, 0);
    auto* view = qobject_cast<QTreeView*>(GetControlWidget(list));
    QCoreApplication::processEvents();
    QCOMPARE(view->verticalScrollBar()->value(), 0);
    QCOMPARE(RevealDataBrowserItem(list, 900, kName, kDataBrowserRevealOnly), noErr);
    QVERIFY(view->verticalScrollBar()->value() > 0);
    QVERIFY(view->viewport()->rect().intersects(view->visualRect(view->model()->index(899, 0))));
    QVERIFY(items(list, kDataBrowserItemIsSelected).empty());
    QCOMPARE(RevealDataBrowserItem(list, 5000, kName, kDataBrowserRevealOnly),
             errDataBrowserItemNotFound);
}

void ControlsTest::resourceColumnsAreMadeFromProperties()
{
    auto* view = new QTreeView(GetWindowWidget(window));
    view->setProperty("columnProperties", QStringList{QStringLiteral("LHST")});
    view->setProperty("columnTitles", QStringList{QStringLiteral("Looked Up")});
    ControlRef adopted = GetControlFromWidget(view);
    QVERIFY(IsDataBrowserControl(adopted));
    UInt32 count = 0;
    QCOMPARE(GetDataBrowserTableViewColumnCount(adopted, &count), noErr);
    QCOMPARE(count, 1u);
    DataBrowserListViewHeaderDesc header;
    QCOMPARE(GetDataBrowserListViewHeaderDesc(adopted, FOUR_CHAR_CODE("LHST"), &header), noErr);
    QCOMPARE(header.titleString, QStringLiteral("Looked Up"));
    QVERIFY(!IsDataBrowserControl(GetControlFromWidget(GetWindowWidget(window))));
}

void ControlsTest::popupItemsFollowTheirMenu()
{
    auto* box = new QComboBox(GetWindowWidget(window));
    box->addItem(QStringLiteral("All Entries"));
    box->setProperty("itemCommands", QStringList{QStringLiteral("DALL")});
    ConnectCommandSources(GetWindowWidget(window));
    ControlRef popup = GetControlFromWidget(box);
    MenuRef menu = nullptr;
    QCOMPARE(GetControlData(popup, 0, kControlPopupButtonMenuHandleTag, sizeof menu, &menu, nullptr), noErr);
    QVERIFY(menu);
    QCOMPARE(int(CountMenuItems(menu)), 1);
    AppendMenuItemTextWithCFString(menu, QStringLiteral("Mandarin"), 0, FOUR_CHAR_CODE("PYIN"), nullptr);
    AppendMenuItemTextWithCFString(menu, QStringLiteral("Definition"), 0, FOUR_CHAR_CODE("EDEF"), nullptr);
    QCOMPARE(box->count(), 3);
    SetControl32BitValue(popup, 3);
    QCOMPARE(box->currentText(), QStringLiteral("Definition"));
    DeleteMenuItem(menu, 2);
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->itemText(1), QStringLiteral("Definition"));

    std::vector<UInt32> commands;
    const EventTypeSpec commandType{kEventClassCommand, kEventCommandProcess};
    InstallEventHandlerFunction(
        GetWindowEventTarget(window),
        [&](EventHandlerCallRef, EventRef event) {
            HICommand command{};
            GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command,
                              nullptr, &command);
            commands.push_back(command.commandID);
            return noErr;
        },
        1, &commandType, nullptr);
    emit box->activated(0);
    emit box->activated(1);
    QCOMPARE(commands, (std::vector<UInt32>{FOUR_CHAR_CODE("DALL"), FOUR_CHAR_CODE("EDEF")}));
}

void ControlsTest::searchFieldSendsItsEvents()
{
    auto* edit = new QLineEdit(GetWindowWidget(window));
    edit->setProperty("itemTitles", QStringList{QStringLiteral("Search All Fields")});
    edit->setProperty("itemCommands", QStringList{QStringLiteral("SALL")});
    ControlRef field = GetControlFromWidget(edit);
    MenuRef menu = nullptr;
    QCOMPARE(HISearchFieldGetSearchMenu(field, &menu), noErr);
    QCOMPARE(int(CountMenuItems(menu)), 1);
    AppendMenuItemTextWithCFString(menu, QStringLiteral("Mandarin"), 0, ~FOUR_CHAR_CODE("PYIN"), nullptr);

    std::vector<std::pair<EventClass, UInt32>> seen;
    const EventTypeSpec specs[] = {{kEventClassTextField, kEventTextAccepted},
                                   {kEventClassSearchField, kEventSearchFieldCancelClicked},
                                   {kEventClassCommand, kEventCommandProcess}};
    InstallEventHandlerFunction(
        GetControlEventTarget(field),
        [&](EventHandlerCallRef, EventRef event) {
            UInt32 detail = GetEventKind(event);
            if (GetEventClass(event) == kEventClassCommand) {
                HICommand command{};
                GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr,
                                  sizeof command, nullptr, &command);
                detail = command.commandID;
            }
            seen.emplace_back(GetEventClass(event), detail);
            return noErr;
        },
        3, specs, nullptr);

    edit->setText(QStringLiteral("water"));
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(!HISearchFieldCancelAction(field)->isVisible());
    HISearchFieldChangeAttributes(field, kHISearchFieldAttributesCancel, 0);
    QVERIFY(HISearchFieldCancelAction(field)->isVisible());
    HISearchFieldCancelAction(field)->trigger();
    QVERIFY(edit->text().isEmpty());
    menu->actions().at(1)->trigger();
    QCOMPARE(seen, (std::vector<std::pair<EventClass, UInt32>>{
                       {kEventClassTextField, kEventTextAccepted},
                       {kEventClassSearchField, kEventSearchFieldCancelClicked},
                       {kEventClassCommand, ~FOUR_CHAR_CODE("PYIN")}}));
    QVERIFY(menu->actions().at(1)->isChecked());
}

void ControlsTest::textViewReplacesAndAppends()
{
    ControlRef view = nullptr;
    const HIRect frame{{0, 0}, {200, 100}};
    QCOMPARE(HITextViewCreate(&frame, 0, kTXNWantVScrollBarMask | kTXNReadOnlyMask, &view), noErr);
    std::unique_ptr<QWidget> owned(GetControlWidget(view));
    TXNObject text = HITextViewGetTXNObject(view);
    QVERIFY(text && text->isReadOnly());
    const char first[] = "Character";
    QCOMPARE(TXNSetData(text, kTXNTextData, first, sizeof first - 1, kTXNStartOffset, kTXNEndOffset), noErr);
    const QString more = QStringLiteral(":\t水");
    QCOMPARE(TXNSetData(text, kTXNUnicodeTextData, more.utf16(), ByteCount(more.size() * 2),
                        kTXNEndOffset, kTXNEndOffset),
             noErr);
    QCOMPARE(text->toPlainText(), QStringLiteral("Character:\t水"));
    QCOMPARE(TXNSetData(text, kTXNUnicodeTextData, more.utf16(), 3, 0, 0), paramErr);
    QCOMPARE(TXNSetData(text, FOUR_CHAR_CODE("PICT"), first, 1, 0, 0), paramErr);

    TXNMargins margins{5, 5, 5, 5};
    TXNControlTag tags[] = {kTXNMarginsTag, kTXNTabSettingsTag};
    TXNControlData data[2];
    data[0].marginsPtr = &margins;
    data[1].tabValue = TXNTab{120, kTXNLeftTab, 0};
    QCOMPARE(TXNSetTXNObjectControls(text, false, 2, tags, data), noErr);
    QCOMPARE(text->tabStopDistance(), 120.0);
    QCOMPARE(text->document()->documentMargin(), 5.0);
}

QTEST_MAIN(ControlsTest)
#include "tst_controls.moc"
