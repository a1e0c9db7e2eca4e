// Windows, controls, command propagation and alerts over real widgets, and
// scraps.

#include "platform/alerts.h"
#include "platform/commands.h"
#include "platform/controls.h"
#include "platform/scrap.h"
#include "platform/windows.h"
#include "tests/common/eventhelpers.h"
#include "tests/common/testdoubles.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QVBoxLayout>

#include <vector>

namespace {

WindowRef makeWindow(const char* name)
{
    auto* widget = new QWidget;
    widget->setObjectName(QString::fromLatin1(name));
    widget->resize(200, 100);
    WindowRef window = nullptr;
    CreateWindowFromWidget(widget, &window);
    return window;
}

QWidget* addChild(WindowRef window, QWidget* child, const char* signature, int id)
{
    QWidget* top = GetWindowWidget(window);
    if (!top->layout())
        new QVBoxLayout(top);
    top->layout()->addWidget(child);
    child->setProperty("controlSignature", QString::fromLatin1(signature));
    child->setProperty("controlID", id);
    return child;
}

std::vector<WindowRef> frontToBack()
{
    std::vector<WindowRef> list;
    for (WindowRef w = FrontWindow(); w; w = GetNextWindow(w))
        list.push_back(w);
    return list;
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Records which targets saw a command, and answers as told.
struct CommandSpy {
    QStringList seen;
    HICommand last{};
    EventHandlerRef install(EventTargetRef target, const QString& name, OSStatus answer)
    {
        return onEvent(target, kEventClassCommand, kEventCommandProcess, [this, name, answer](EventRef event) {
            seen.append(name);
            last = commandOf(event);
            return answer;
        });
    }
};

} // namespace

class WindowsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();

    void windowListFollowsShowSelectActivateHideAndDispose();
    void contentBoundsReportChanges();
    void closeBecomesAWindowEvent_data();
    void closeBecomesAWindowEvent();

    void controlsAreFoundBySignatureAndId_data();
    void controlsAreFoundBySignatureAndId();
    void visibilityOfControls();
    void controlValuesReachTheirWidgets_data();
    void controlValuesReachTheirWidgets();
    void controlData();

    void commandPropagation_data();
    void commandPropagation();
    void popUpItemsAndWindowActionsSendCommands();

    void thePresenterReceivesTheTexts();
    void theMessageBoxShowsPlainTitleOverExplanation();
    void scrapFlavours();
};

void WindowsTest::cleanup()
{
    for (WindowRef window : GetWindowList())
        DisposeWindow(window);
    flushDeletes();
    QVERIFY(GetWindowList().empty());
}

void WindowsTest::windowListFollowsShowSelectActivateHideAndDispose()
{
    QCOMPARE(FrontWindow(), nullptr);
    WindowRef a = makeWindow("a");
    WindowRef b = makeWindow("b");
    WindowRef c = makeWindow("c");
    QCOMPARE(FrontWindow(), nullptr);  // nothing shown yet
    ShowWindow(a);
    ShowWindow(b);
    ShowWindow(c);
    QCOMPARE(frontToBack(), (std::vector<WindowRef>{c, b, a}));
    SelectWindow(a);
    QCOMPARE(frontToBack(), (std::vector<WindowRef>{a, c, b}));
    // Activation by the user brings a window to the front too.
    int activations = 0;
    onEvent(GetWindowEventTarget(b), kEventClassWindow, kEventWindowActivated, [&](EventRef) {
        ++activations;
        return noErr;
    });
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(GetWindowWidget(b), &activate);
    QCOMPARE(activations, 1);
    QCOMPARE(frontToBack(), (std::vector<WindowRef>{b, a, c}));
    SelectWindow(c);
    SelectWindow(a);  // back to a, c, b
    HideWindow(a);
    // Hidden windows stay in the list, behind the visible ones.
    QCOMPARE(frontToBack(), (std::vector<WindowRef>{c, b, a}));
    QCOMPARE(GetNextWindow(a), nullptr);
    ShowWindow(a);
    QCOMPARE(FrontWindow(), a);
    DisposeWindow(c);
    QCOMPARE(frontToBack(), (std::vector<WindowRef>{a, b}));
    QCOMPARE(GetWindowWidget(c), nullptr);
    flushDeletes();
}

void WindowsTest::closeBecomesAWindowEvent_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("passed on: disposed") << int(eventNotHandledErr);
    QTest::newRow("handled: kept") << int(noErr);
}

void WindowsTest::closeBecomesAWindowEvent()
{
    QFETCH(int, answer);
    WindowRef a = makeWindow("a");
    ShowWindow(a);
    SetWRefCon(a, 7);
    SRefCon refConAtClose = 0;
    bool stillListedAtClose = false;
    onEvent(GetWindowEventTarget(a), kEventClassWindow, kEventWindowClose, [&](EventRef event) {
        const auto window = eventParameter<WindowRef>(event, kEventParamDirectObject, typeWindowRef);
        refConAtClose = GetWRefCon(window);
        stillListedAtClose = FrontWindow() == window;
        return OSStatus(answer);
    });
    QPointer<QWidget> widget = GetWindowWidget(a);
    widget->close();
    QCOMPARE(refConAtClose, SRefCon(7));
    QVERIFY(stillListedAtClose);
    const bool kept = answer == noErr;
    QCOMPARE(FrontWindow(), kept ? a : nullptr);
    flushDeletes();
    QCOMPARE(widget && widget->isVisible(), kept);
}

void WindowsTest::contentBoundsReportChanges()
{
    WindowRef a = makeWindow("a");
    ShowWindow(a);
    QVERIFY(QTest::qWaitForWindowExposed(GetWindowWidget(a)));
    UInt32 attributes = 0;
    Rect original{};
    Rect current{};
    onEvent(GetWindowEventTarget(a), kEventClassWindow, kEventWindowBoundsChanged, [&](EventRef event) {
        attributes |= eventParameter<UInt32>(event, kEventParamAttributes, typeUInt32);
        original = eventParameter<Rect>(event, kEventParamOriginalBounds, typeQDRectangle);
        current = eventParameter<Rect>(event, kEventParamCurrentBounds, typeQDRectangle);
        return noErr;
    });
    auto edges = [](const Rect& r) { return QList<int>{r.left, r.top, r.right, r.bottom}; };
    Rect wanted;
    SetRect(&wanted, 40, 50, 340, 250);
    QCOMPARE(SetWindowBounds(a, kWindowContentRgn, &wanted), noErr);
    Rect read{};
    QCOMPARE(GetWindowBounds(a, kWindowContentRgn, &read), noErr);
    QCOMPARE(edges(read), edges(wanted));
    QTRY_COMPARE(edges(current), edges(wanted));
    QCOMPARE(attributes & (kWindowBoundsChangeSizeChanged | kWindowBoundsChangeOriginChanged),
             UInt32(kWindowBoundsChangeSizeChanged | kWindowBoundsChangeOriginChanged));

    // A move without a resize does not report a size change.
    attributes = 0;
    SetRect(&wanted, 60, 70, 360, 270);
    QCOMPARE(SetWindowBounds(a, kWindowContentRgn, &wanted), noErr);
    QTRY_VERIFY(attributes != 0);
    QVERIFY(!(attributes & kWindowBoundsChangeSizeChanged));
    QCOMPARE(original.left, SInt16(40));

    SetRect(&wanted, 10, 10, 5, 5);
    QCOMPARE(SetWindowBounds(a, kWindowContentRgn, &wanted), paramErr);
}

void WindowsTest::controlsAreFoundBySignatureAndId_data()
{
    QTest::addColumn<uint>("signature");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("expectedName");
    QTest::newRow("found") << uint(FOUR_CHAR_CODE("LOAD")) << 128 << QStringLiteral("progress");
    QTest::newRow("trailing blank in signature") << uint(FOUR_CHAR_CODE("ADD ")) << 128 << QStringLiteral("add");
    QTest::newRow("same signature, other id") << uint(FOUR_CHAR_CODE("name")) << 301 << QStringLiteral("email");
    QTest::newRow("missing id") << uint(FOUR_CHAR_CODE("LOAD")) << 129 << QString();
    QTest::newRow("signature prefix only") << uint(FOUR_CHAR_CODE("ADD\t")) << 128 << QString();
}

void WindowsTest::controlsAreFoundBySignatureAndId()
{
    QFETCH(uint, signature);
    QFETCH(int, id);
    QFETCH(QString, expectedName);
    WindowRef a = makeWindow("a");
    addChild(a, new QProgressBar, "LOAD", 128)->setObjectName(QStringLiteral("progress"));
    addChild(a, new QPushButton, "ADD ", 128)->setObjectName(QStringLiteral("add"));
    addChild(a, new QLineEdit, "name", 300)->setObjectName(QStringLiteral("name"));
    addChild(a, new QLineEdit, "name", 301)->setObjectName(QStringLiteral("email"));
    const ControlID controlId{signature, id};
    ControlRef control = reinterpret_cast<ControlRef>(0x1);
    const OSStatus status = GetControlByID(a, &controlId, &control);
    if (expectedName.isEmpty()) {
        QCOMPARE(status, errUnknownControl);
        QCOMPARE(control, nullptr);
    } else {
        QCOMPARE(status, noErr);
        QCOMPARE(GetControlWidget(control)->objectName(), expectedName);
    }
}

void WindowsTest::visibilityOfControls()
{
    WindowRef a = makeWindow("a");
    ControlRef label = GetControlFromWidget(addChild(a, new QLabel, "TEXT", 1));
    HideControl(label);
    ShowWindow(a);
    QVERIFY(!GetControlWidget(label)->isVisible());
    ShowControl(label);
    QVERIFY(GetControlWidget(label)->isVisible());
}

void WindowsTest::controlValuesReachTheirWidgets_data()
{
    QTest::addColumn<QString>("signature");  // picks the widget: bar, pop-up or check box
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("widgetValue");
    // The bar's range is 0..1000; the pop-up has three items, counted from 1.
    QTest::newRow("bar within range") << u"LOAD"_qs << 250 << 250;
    QTest::newRow("bar clamped to maximum") << u"LOAD"_qs << 5000 << 1000;
    QTest::newRow("pop-up third item") << u"RSEL"_qs << 3 << 2;
    QTest::newRow("pop-up past the last item") << u"RSEL"_qs << 4 << -1;
    QTest::newRow("check box mixed") << u"CHEK"_qs << 2 << int(Qt::PartiallyChecked);
}

void WindowsTest::controlValuesReachTheirWidgets()
{
    QFETCH(QString, signature);
    QFETCH(int, set);
    QFETCH(int, widgetValue);
    WindowRef a = makeWindow("a");
    auto* bar = signature == u"LOAD" ? new QProgressBar : nullptr;
    auto* popUp = signature == u"RSEL" ? new QComboBox : nullptr;
    auto* check = signature == u"CHEK" ? new QCheckBox : nullptr;
    QWidget* widget = bar ? static_cast<QWidget*>(bar) : popUp ? static_cast<QWidget*>(popUp) : check;
    if (popUp)
        popUp->addItems({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
    ControlRef control = GetControlFromWidget(addChild(a, widget, "CTRL", 1));
    if (bar)
        SetControl32BitMaximum(control, 1000);
    SetControl32BitValue(control, set);
    const int actual = bar ? bar->value() : popUp ? popUp->currentIndex() : int(check->checkState());
    QCOMPARE(actual, widgetValue);
}

void WindowsTest::controlData()
{
    WindowRef a = makeWindow("a");
    auto* labelWidget = new QLabel;
    labelWidget->setTextFormat(Qt::RichText);
    ControlRef label = GetControlFromWidget(addChild(a, labelWidget, "TDSC", 128));
    ControlRef field = GetControlFromWidget(addChild(a, new QLineEdit, "SRCH", 128));
    ControlRef bar = GetControlFromWidget(addChild(a, new QProgressBar, "LOAD", 128));
    // Label text is never markup.
    const QString text = u"<b>Search</b> \U0002A6A5"_qs;
    QCOMPARE(SetControlData(label, kControlEntireControl, kControlStaticTextCFStringTag, sizeof text, &text), noErr);
    QCOMPARE(labelWidget->text(), text);
    QCOMPARE(labelWidget->textFormat(), Qt::PlainText);
    QCOMPARE(SetControlData(field, 0, kControlEditTextCFStringTag, sizeof text, &text), noErr);
    QString read;
    Size actual = 0;
    QCOMPARE(GetControlData(field, 0, kControlEditTextCFStringTag, sizeof read, &read, &actual), noErr);
    QCOMPARE(read, text);
    QCOMPARE(actual, Size(sizeof(QString)));

    ControlFontStyleRec style{};
    style.flags = kControlUseSizeMask | kControlUseJustMask;
    style.size = 57;
    style.just = teCenter;
    QCOMPARE(SetControlData(label, 0, kControlFontStyleTag, sizeof style, &style), noErr);
    QCOMPARE(labelWidget->font().pixelSize(), 57);
    QVERIFY(labelWidget->alignment() & Qt::AlignHCenter);

    // A wrong size is refused before the data is read.
    QCOMPARE(SetControlData(label, 0, kControlEditTextCFStringTag, 4, &text), errDataSizeMismatch);
    QCOMPARE(SetControlData(bar, 0, kControlEditTextCFStringTag, sizeof text, &text), errDataNotSupported);
}

void WindowsTest::commandPropagation_data()
{
    QTest::addColumn<int>("controlAnswer");
    QTest::addColumn<int>("windowAnswer");
    QTest::addColumn<bool>("windowDisposesItself");
    QTest::addColumn<QString>("expectedPath");
    const int pass = eventNotHandledErr;
    QTest::newRow("control handles") << int(noErr) << pass << false << u"control"_qs;
    QTest::newRow("window handles") << pass << int(noErr) << false << u"control window"_qs;
    QTest::newRow("application handles") << pass << pass << false << u"control window application"_qs;
    QTest::newRow("an error also stops it") << pass << int(paramErr) << false << u"control window"_qs;
    // The command still goes on from a window that disposed of itself.
    QTest::newRow("window disposed in its handler") << pass << pass << true << u"control application"_qs;
}

void WindowsTest::commandPropagation()
{
    QFETCH(int, controlAnswer);
    QFETCH(int, windowAnswer);
    QFETCH(bool, windowDisposesItself);
    QFETCH(QString, expectedPath);
    WindowRef a = makeWindow("a");
    auto* button = new QPushButton(u"OK"_qs);
    button->setProperty("command", u"ok  "_qs);
    auto* holder = new QWidget;
    new QVBoxLayout(holder);
    holder->layout()->addWidget(button);
    addChild(a, holder, "PANE", 1);
    ConnectCommandSources(GetWindowWidget(a));
    ConnectCommandSources(GetWindowWidget(a));  // a second time connects nothing more

    CommandSpy spy;
    spy.install(GetControlEventTarget(GetControlFromWidget(button)), u"control"_qs, controlAnswer);
    spy.install(GetWindowEventTarget(a), u"window"_qs, windowAnswer);
    if (windowDisposesItself) {
        onEvent(GetWindowEventTarget(a), kEventClassCommand, kEventCommandProcess, [a](EventRef) {
            DisposeWindow(a);
            return eventNotHandledErr;
        });
    }
    EventHandlerRef appHandler = spy.install(GetApplicationEventTarget(), u"application"_qs, noErr);
    ShowWindow(a);
    QTest::mouseClick(button, Qt::LeftButton);
    RemoveEventHandler(appHandler);
    QCOMPARE(spy.seen.join(u' '), expectedPath);
    QCOMPARE(spy.last.commandID, kHICommandOK);
    QVERIFY(spy.last.attributes & kHICommandFromControl);
    QCOMPARE(GetWindowList().empty(), windowDisposesItself);
}

void WindowsTest::popUpItemsAndWindowActionsSendCommands()
{
    WindowRef a = makeWindow("a");
    auto* box = new QComboBox;
    box->addItems({QStringLiteral("Character"), QStringLiteral("Pinyin")});
    box->setProperty("itemCommands", QStringList{QStringLiteral("CHAR")});
    box->setItemData(1, uint(FOUR_CHAR_CODE("PYIN")), kCommandIDRole);
    addChild(a, box, "CSEL", 128);
    auto* action = new QAction(GetWindowWidget(a));
    action->setProperty("command", QStringLiteral("LHWN"));
    ConnectCommandSources(GetWindowWidget(a));
    CommandSpy spy;
    spy.install(GetWindowEventTarget(a), QStringLiteral("window"), noErr);

    emit box->activated(0);
    QCOMPARE(spy.last.commandID, FOUR_CHAR_CODE("CHAR"));
    emit box->activated(1);
    QCOMPARE(spy.last.commandID, FOUR_CHAR_CODE("PYIN"));
    action->trigger();
    QCOMPARE(spy.last.commandID, FOUR_CHAR_CODE("LHWN"));
    QVERIFY(spy.last.attributes & kHICommandFromWindow);
    QCOMPARE(spy.seen.size(), 3);
}

void WindowsTest::thePresenterReceivesTheTexts()
{
    auto recorder = std::make_unique<RecordingAlertPresenter>();
    RecordingAlertPresenter* recorded = recorder.get();
    auto previous = SetAlertPresenter(std::move(recorder));
    // Pascal strings: a length byte, then UTF-8.
    const auto title = reinterpret_cast<const unsigned char*>("\x0B" "Error (-43)");
    const auto message = reinterpret_cast<const unsigned char*>("\x0C" "Could not go");
    const auto chinese = reinterpret_cast<const unsigned char*>("\x03\xE4\xB8\xAD");
    SInt16 item = 0;
    QCOMPARE(StandardAlert(kAlertNoteAlert, title, message, nullptr, &item), noErr);
    QCOMPARE(item, kAlertStdAlertOKButton);
    QCOMPARE(StandardAlert(kAlertNoteAlert, chinese, nullptr, nullptr, nullptr), noErr);
    QCOMPARE(StandardAlert(kAlertNoteAlert, nullptr, message, nullptr, nullptr), paramErr);
    QCOMPARE(recorded->requests.size(), std::size_t(2));
    QCOMPARE(recorded->requests[0].type, kAlertNoteAlert);
    QCOMPARE(recorded->requests[0].message, u"Error (-43)"_qs);
    QCOMPARE(recorded->requests[0].explanation, u"Could not go"_qs);
    QCOMPARE(recorded->requests[1].message, u"\u4E2D"_qs);
    QVERIFY(recorded->requests[1].explanation.isEmpty());
    SetAlertPresenter(std::move(previous));
}

void WindowsTest::theMessageBoxShowsPlainTitleOverExplanation()
{
    auto box = MakeAlertMessageBox({kAlertNoteAlert, u"<i>Error</i>"_qs, u"<b>x</b> & y"_qs});
    QCOMPARE(box->text(), u"<i>Error</i>"_qs);
    QCOMPARE(box->textFormat(), Qt::PlainText);
    // Markup in the explanation is shown as written.
    QTextDocument document;
    document.setHtml(box->informativeText());
    QCOMPARE(document.toPlainText(), u"<b>x</b> & y"_qs);
}

void WindowsTest::scrapFlavours()
{
    ScrapRef scrap = nullptr;
    QCOMPARE(CreateScrap(&scrap), noErr);
    Size size = -1;
    QCOMPARE(GetScrapFlavorSize(scrap, kScrapFlavorTypeUnicode, &size), noTypeErr);
    scrap->putText(u"\u4E2D\u6587"_qs);
    QCOMPARE(GetScrapFlavorSize(scrap, kScrapFlavorTypeUnicode, &size), noErr);
    QCOMPARE(size, Size(4));
    char16_t units[2] = {0, 0};
    Size count = 2;  // a short buffer gets the first bytes only
    QCOMPARE(GetScrapFlavorData(scrap, kScrapFlavorTypeUnicode, &count, units), noErr);
    QCOMPARE(count, Size(2));
    QCOMPARE(units[0], char16_t(0x4E2D));
    QCOMPARE(units[1], char16_t(0));
    QCOMPARE(ClearScrap(&scrap), noErr);
    QCOMPARE(GetScrapFlavorSize(scrap, kScrapFlavorTypeUnicode, &size), noTypeErr);
    DisposeScrap(scrap);
}

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
