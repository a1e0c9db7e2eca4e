// The platform data browser over a real tree view: item numbering, lazy
// cells, sorting, selection notes and scrolling.

#include "platform/controls.h"
#include "platform/databrowser.h"
#include "platform/windows.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <vector>

namespace {

constexpr DataBrowserPropertyID kName = FOUR_CHAR_CODE("NAME");
constexpr DataBrowserPropertyID kSize = FOUR_CHAR_CODE("SIZE");

// The owner of the test lists: item n is named "item n" and has size
// (n * 7) % 10; cell queries and notifications are recorded.
struct Owner {
    int cellQueries = 0;
    std::vector<std::pair<DataBrowserItemID, DataBrowserItemNotification>> notes;
};
Owner* owner = nullptr;

OSStatus dataCallback(ControlRef, DataBrowserItemID item, DataBrowserPropertyID property,
                      DataBrowserItemDataRef data, Boolean)
{
    if (property != kName && property != kSize)
        return noErr;
    ++owner->cellQueries;
    return SetDataBrowserItemDataText(data, property == kName ? QStringLiteral("item %1").arg(item)
                                                              : QString::number((item * 7) % 10));
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

void addTextColumn(ControlRef list, DataBrowserPropertyID property, DataBrowserPropertyFlags flags)
{
    DataBrowserListViewColumnDesc column{};
    column.propertyDesc = {property, kDataBrowserTextType, flags};
    column.headerBtnDesc.minimumWidth = 40;
    column.headerBtnDesc.maximumWidth = 120;
    column.headerBtnDesc.titleString = fourCharCodeQString(property);
    QCOMPARE(AddDataBrowserListViewColumn(list, &column, kDataBrowserListViewAppendColumn), noErr);
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
    void sortingUsesTheCompareCallback();
    void selectionAndDoubleClickAreReported();
    void revealScrollsToTheItem();

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

void ControlsTest::selectionAndDoubleClickAreReported()
{
    AddDataBrowserItems(list, kDataBrowserNoItem, 5, nullptr, 0);
    SetDataBrowserSelectionFlags(list, kDataBrowserDragSelect | kDataBrowserCmdTogglesSelection);
    const DataBrowserItemID two[] = {2, 4};
    QCOMPARE(SetDataBrowserSelectedItems(list, 2, two, kDataBrowserItemsAssign), noErr);
    QCOMPARE(items(list, kDataBrowserItemIsSelected), (std::vector<DataBrowserItemID>{2, 4}));
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

QTEST_MAIN(ControlsTest)
#include "tst_controls.moc"
