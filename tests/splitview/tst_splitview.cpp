// The split view: layout, hit test, control data, pictures, drawing and the
// drag of its bar with real mouse events.

#include "splitview/splitview.h"
#include "platform/folders.h"
#include "platform/internal.h"
#include "platform/windows.h"
#include "tests/common/windowtesting.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <vector>

namespace {

struct Fixture {
    WindowRef window = nullptr;
    ControlRef view = nullptr;
    ControlRef paneA = nullptr;
    ControlRef paneB = nullptr;
    SplitView* split = nullptr;
};

// A window holding a split view at the window's origin, with a list and a
// text view as its panes, made as the dictionary window makes it.
Fixture makeSplitView(float width, float height, bool vertical, float ratio)
{
    Fixture f;
    auto* top = new QWidget;
    top->resize(int(width) + 20, int(height) + 20);
    CreateWindowFromWidget(top, &f.window);
    f.paneA = GetControlFromWidget(new QTreeView);
    f.paneB = GetControlFromWidget(new QPlainTextEdit);
    const HIRect frame{{0, 0}, {width, height}};
    if (SplitView::Create(&f.view, &frame, f.window) != noErr)
        return f;
    const Boolean orientation = vertical;
    SetControlData(f.view, 0, kSplitViewOrientationTag, sizeof orientation, &orientation);
    SetControlData(f.view, 0, kSplitViewRatioTag, sizeof ratio, &ratio);
    SetControlData(f.view, 0, kSplitViewSubViewATag, sizeof f.paneA, &f.paneA);
    SetControlData(f.view, 0, kSplitViewSubViewBTag, sizeof f.paneB, &f.paneB);
    ShowControl(f.view);
    ShowControl(f.paneA);
    ShowControl(f.paneB);
    f.split = SplitView::FromControl(f.view);
    return f;
}

HIRect frameOf(ControlRef control)
{
    HIRect frame{};
    HIViewGetFrame(control, &frame);
    return frame;
}

float ratioOf(ControlRef view)
{
    float ratio = -1;
    GetControlData(view, 0, kSplitViewRatioTag, sizeof ratio, &ratio, nullptr);
    return ratio;
}

// Presses the left button at `from`, moves through `moves` and releases at
// the last one, all as real mouse events on the view's widget. The press
// blocks in the drag loop, so the moves are sent from inside it. Answers pane
// A's frame while the button was still down.
HIRect drag(const Fixture& f, QPoint from, const std::vector<QPoint>& moves)
{
    QWidget* widget = GetControlWidget(f.view);
    HIRect during{};
    QTimer::singleShot(0, widget, [&f, &during, widget, moves] {
        for (const QPoint& p : moves)
            QTest::mouseMove(widget, p);
        QTimer::singleShot(0, widget, [&f, &during, widget, moves] {
            during = frameOf(f.paneA);
            QTest::mouseRelease(widget, Qt::LeftButton, {}, moves.back());
        });
    });
    QTest::mousePress(widget, Qt::LeftButton, {}, from);
    return during;
}

// Copies the split view's pictures into `folder`, then removes `broken` or
// writes it over with text.
bool copyPicturesBut(const QString& folder, const QString& broken, bool corrupt)
{
    const QDir source(QStringLiteral(TAVI_BUILD_SHARE_DIR));
    for (const QString& name : source.entryList({u"*Splitter*.png"_qs, u"*Ridges*.png"_qs})) {
        if (!QFile::copy(source.filePath(name), QDir(folder).filePath(name)))
            return false;
    }
    QFile file(QDir(folder).filePath(broken));
    if (!corrupt)
        return file.remove();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write("not a picture") > 0;
}

} // namespace

class SplitViewTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();

    void layoutFollowsRatioAndOrientation_data();
    void layoutFollowsRatioAndOrientation();
    void dragMovesTheBarWithinTheView_data();
    void dragMovesTheBarWithinTheView();
    void resizingOrLosingAPaneLaysThePanesOut();
    void pictureFailingPartWayLeavesNoSetAndNoUser_data();
    void pictureFailingPartWayLeavesNoSetAndNoUser();
    void barIsDrawnInThePalettesColours();
};

void SplitViewTest::cleanup()
{
    wtest::disposeAllWindows();
    SetBundleResourcesFolderOverride(QString());
    QCOMPARE(SplitView::ImageClientCount(), 0);
}

void SplitViewTest::layoutFollowsRatioAndOrientation_data()
{
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<float>("length");
    QTest::addColumn<float>("ratio");
    QTest::addColumn<float>("aLength");
    QTest::addColumn<float>("bLength");

    // Horizontal bars are 8 pixels thick, vertical ones 10, from the pictures.
    QTest::newRow("horizontal 400 at 0.5") << false << 400.0f << 0.5f << 196.0f << 196.0f;
    QTest::newRow("horizontal 400 at 0.2: A raised to 100")
        << false << 400.0f << 0.2f << 100.0f << 292.0f;
    QTest::newRow("horizontal 400 at 1.5: B empty") << false << 400.0f << 1.5f << 392.0f << 0.0f;
    QTest::newRow("vertical 300 at 0: no minimum") << true << 300.0f << 0.0f << 0.0f << 290.0f;
}

void SplitViewTest::layoutFollowsRatioAndOrientation()
{
    QFETCH(bool, vertical);
    QFETCH(float, length);
    QFETCH(float, ratio);
    QFETCH(float, aLength);
    QFETCH(float, bLength);
    const float across = 250;
    Fixture f = vertical ? makeSplitView(length, across, true, ratio)
                         : makeSplitView(across, length, false, ratio);
    QVERIFY(f.split);
    const float thickness = vertical ? 10.0f : 8.0f;
    QCOMPARE(vertical ? f.split->GetVSplitterWidth() : f.split->GetHSplitterHeight(), thickness);

    HIRect a;
    HIRect s;
    HIRect b;
    f.split->CalculateRects(&a, &s, &b);
    // Start and extent along the split, then extent across, of A, bar and B,
    // and of the two panes as laid out.
    auto line = [vertical](const HIRect& r) {
        return vertical ? QList<float>{r.origin.x, r.size.width, r.size.height}
                        : QList<float>{r.origin.y, r.size.height, r.size.width};
    };
    const QList<float> expected{
        0, aLength, across, aLength, thickness, across, aLength + thickness, bLength, across};
    QCOMPARE(line(a) + line(s) + line(b), expected);
    QCOMPARE(line(frameOf(f.paneA)) + line(s) + line(frameOf(f.paneB)), expected);
}

void SplitViewTest::dragMovesTheBarWithinTheView_data()
{
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<float>("ratio");
    QTest::addColumn<float>("aLength");
    QTest::addColumn<float>("bLength");
    QTest::addColumn<float>("ratioBack"); // after dragging the bar back to the middle
    // 300 x 400 horizontal (392 pixels to share), bar grabbed 4 pixels in.
    QTest::newRow("49 pixels down: an eighth more")
        << false << QPoint(150, 249) << 0.625f << 245.0f << 147.0f << 0.5f;
    // The bar stays inside the view.
    QTest::newRow("far past the bottom")
        << false << QPoint(150, 5000) << 1.0f << 392.0f << 0.0f << 0.5f;
    // Pane A keeps its 100 pixels while the ratio reaches 0, so the bar
    // then starts 96 pixels short of the middle.
    QTest::newRow("far past the top")
        << false << QPoint(150, -5000) << 0.0f << 100.0f << 292.0f << 96.0f / 392.0f;
    // 400 x 300 vertical, bar 195..205 grabbed 5 pixels in.
    QTest::newRow("far past the right")
        << true << QPoint(5000, 150) << 1.0f << 390.0f << 0.0f << 0.5f;
}

void SplitViewTest::dragMovesTheBarWithinTheView()
{
    QFETCH(bool, vertical);
    QFETCH(QPoint, to);
    QFETCH(float, ratio);
    QFETCH(float, aLength);
    QFETCH(float, bLength);
    QFETCH(float, ratioBack);
    Fixture f =
        vertical ? makeSplitView(400, 300, true, 0.5f) : makeSplitView(300, 400, false, 0.5f);
    QVERIFY(f.split);
    const QPoint from = vertical ? QPoint(200, 150) : QPoint(150, 200);
    const HIRect during = drag(f, from, {to});
    auto extent = [vertical](const HIRect& r) { return vertical ? r.size.width : r.size.height; };
    // Pane A follows while the button is still down.
    QCOMPARE(extent(during), aLength);
    QCOMPARE(ratioOf(f.view), ratio);
    QCOMPARE(extent(frameOf(f.paneA)), aLength);
    QCOMPARE(extent(frameOf(f.paneB)), bLength);
    QCOMPARE(f.view->hilite, ControlPartCode(0));

    // And back: the bar follows again from where it stands.
    HIRect bar;
    f.split->CalculateRects(nullptr, &bar, nullptr);
    const QPoint grip =
        vertical ? QPoint(int(bar.origin.x) + 5, 150) : QPoint(150, int(bar.origin.y) + 4);
    drag(f, grip, {vertical ? QPoint(200, 150) : QPoint(150, 200)});
    QCOMPARE(ratioOf(f.view), ratioBack);
}

void SplitViewTest::resizingOrLosingAPaneLaysThePanesOut()
{
    Fixture f = makeSplitView(300, 400, false, 0.5f);
    QVERIFY(f.split);
    ShowWindow(f.window);
    QVERIFY(QTest::qWaitForWindowExposed(GetWindowWidget(f.window)));
    const HIRect larger{{0, 0}, {300, 600}};
    HIViewSetFrame(f.view, &larger);
    QCOMPARE(frameOf(f.paneA).size.height, 296.0f); // trunc(592 x 0.5)
    QCOMPARE(frameOf(f.paneB).size.height, 296.0f);
    QCOMPARE(frameOf(f.paneB).size.width, 300.0f);
    // A pane deleted by its owner is no longer laid out or handed out.
    delete GetControlWidget(f.paneB);
    const float ratio = 0.75f;
    SetControlData(f.view, 0, kSplitViewRatioTag, sizeof ratio, &ratio);
    QCOMPARE(frameOf(f.paneA).size.height, 444.0f); // trunc(592 x 0.75)
    ControlRef pane = reinterpret_cast<ControlRef>(this);
    QCOMPARE(GetControlData(f.view, 0, kSplitViewSubViewBTag, sizeof pane, &pane, nullptr), noErr);
    QCOMPARE(pane, nullptr);
}

void SplitViewTest::pictureFailingPartWayLeavesNoSetAndNoUser_data()
{
    QTest::addColumn<QString>("broken");
    QTest::addColumn<bool>("corrupt");
    QTest::addColumn<OSStatus>("status");
    QTest::newRow("fourth picture missing") << u"VRidges.png"_qs << false << paramErr;
    QTest::newRow("fifth picture not a PNG") << u"HSplitterDisabled.png"_qs << true << memFullErr;
}

void SplitViewTest::pictureFailingPartWayLeavesNoSetAndNoUser()
{
    QFETCH(QString, broken);
    QFETCH(bool, corrupt);
    QFETCH(OSStatus, status);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(copyPicturesBut(folder.path(), broken, corrupt));
    SetBundleResourcesFolderOverride(folder.path());

    auto* top = new QWidget;
    WindowRef window = nullptr;
    CreateWindowFromWidget(top, &window);
    const int childrenBefore = int(top->findChildren<QWidget*>().size());
    ControlRef view = nullptr;
    QCOMPARE(SplitView::Create(&view, nullptr, window), status);
    QCOMPARE(view, nullptr);
    QCOMPARE(int(top->findChildren<QWidget*>().size()), childrenBefore);
    QVERIFY(!SplitView::ImagesLoaded());
    QCOMPARE(SplitView::ImageClientCount(), 0);

    // With the pictures back, the next view loads a whole set.
    SetBundleResourcesFolderOverride(QString());
    QCOMPARE(SplitView::Create(&view, nullptr, window), noErr);
    QVERIFY(SplitView::ImagesLoaded());
    QCOMPARE(SplitView::ImageClientCount(), 1);
    DisposeControl(view);
    QCOMPARE(SplitView::ImageClientCount(), 0);
}

void SplitViewTest::barIsDrawnInThePalettesColours()
{
    Fixture f = makeSplitView(300, 400, false, 0.5f);
    QVERIFY(f.split);
    QWidget* top = GetWindowWidget(f.window);
    // A dark theme, whose disabled buttons differ from its enabled ones.
    QPalette dark;
    dark.setColor(QPalette::Button, QColor(50, 52, 56));
    dark.setColor(QPalette::ButtonText, QColor(235, 235, 235));
    dark.setColor(QPalette::Disabled, QPalette::Button, QColor(40, 40, 40));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 120));
    top->setPalette(dark);
    ShowWindow(f.window);
    SelectWindow(f.window);
    QVERIFY(QTest::qWaitForWindowActive(top));
    QWidget* widget = GetControlWidget(f.view);

    // The bar spans y 196 to 203; its grip is centred on x = 150, its first
    // ridge one pixel wide at x = 146.
    auto pixel = [&](int x) { return QColor(widget->grab().toImage().pixel(x, 200)); };
    HiliteControl(f.view, kSplitViewSplitterPart); // hilite draws nothing different
    QCOMPARE(pixel(20), dark.color(QPalette::Active, QPalette::Button));
    QVERIFY(pixel(146) != pixel(20));
    QVERIFY(pixel(146).lightness() > pixel(20).lightness()); // toward the light text

    widget->setEnabled(false);
    QCOMPARE(pixel(20), dark.color(QPalette::Disabled, QPalette::Button));
    QVERIFY(pixel(146) != pixel(20));
    widget->setEnabled(true);
    QCOMPARE(pixel(20), dark.color(QPalette::Active, QPalette::Button));
}

QTEST_MAIN(SplitViewTest)
#include "tst_splitview.moc"
