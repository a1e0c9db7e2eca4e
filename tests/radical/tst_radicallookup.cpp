// The radical index against the shipped radical-stroke values, the radical
// window driven by keys and clicks, the flashcard file byte for byte, and
// the reading's speech.

#include "program/appcommands.h"
#include "app/servicesbridge.h"
#include "app/globals.h"
#include "app/speech.h"
#include "app/windowlookup.h"
#include "platform/nib.h"
#include "platform/savedialog.h"
#include "platform/windows.h"
#include "store/dictionary.h"
#include "store/radicals.h"
#include "tests/floating/floatingtest.h"
#include "windows/dictionary/dictionarywindow.h"
#include "windows/floating/floatingwindow.h"
#include "windows/history/history.h"
#include "windows/radical/radicalwindow.h"

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QListView>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <unistd.h>

#include <cmath>

using namespace Qt::StringLiterals;

// Read by LeakSanitizer when the program starts. Fontconfig keeps the font
// patterns that choosing the CJK face makes until the process ends.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace {

const QString kShare = QStringLiteral(TAVI_BUILD_SHARE_DIR);

int entryOf(uint32_t code)
{
    const characterEntry* e = dict.lookup(long(code));
    return e ? int(e->index) : -1;
}

// Characters whose kRSUnicode names the radical form, read straight from the
// dictionary file: code point -> strokes beyond the radical.
QHash<uint32_t, int> charactersInFile(int number, bool simplified)
{
    QFile file(kShare + QStringLiteral("/dictionary.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QRegularExpression form(
        QStringLiteral("(?:^| )%1%2\\.(-?\\d+)")
            .arg(number)
            .arg(simplified ? QStringLiteral("'") : QStringLiteral("(?!')")));
    QHash<uint32_t, int> found;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() != 3 || parts[1] != "kRSUnicode")
            continue;
        const QRegularExpressionMatch m = form.match(QString::fromLatin1(parts[2]));
        if (m.hasMatch())
            found.insert(parts[0].mid(2).toUInt(nullptr, 16), m.captured(1).toInt());
    }
    return found;
}

QModelIndex rowWithText(QListView* view, const QString& text, int role = Qt::DisplayRole)
{
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        const QModelIndex at = view->model()->index(row, 0);
        if (at.data(role).toString() == text)
            return at;
    }
    return QModelIndex();
}

} // namespace

class TestRadicalLookup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void radicalListsMatchTheRadicalStrokeValues_data();
    void radicalListsMatchTheRadicalStrokeValues();
    void windowFindsACharacterByKeysAndClicks();
    void strokeCountHeadingsAreReadable();
    void flashcardsAreTabSeparatedUtf8OldestFirst();
    void readingsAreSpokenInTheirVoice();
    void speakerButtonSpeaksTheChosenReading();
    void cleanupTestCase();

private:
    std::unique_ptr<ftest::AlertRecorder> recorder;
    RecordingAlertPresenter* alerts = nullptr;
};

void TestRadicalLookup::initTestCase()
{
    const QByteArray path = (kShare + QStringLiteral("/dictionary.txt")).toLocal8Bit();
    QVERIFY(dict.loadIndex(path.constData()));
    dict.load(path.constData(), nullptr);
    ftest::resetGlobals();
    QVERIFY(ftest::openResources());
    recorder = std::make_unique<ftest::AlertRecorder>();
    alerts = recorder->recorded;
    QVERIFY(radicalIndex());
    setSpeechHelperPath(QStringLiteral(TAVI_BUILD_BIN_DIR "/tavi-speech"));
    ftest::installApplicationHandler();
}

void TestRadicalLookup::cleanupTestCase()
{
    stopSpeech();
    ftest::disposeAllWindows();
    recorder.reset();
}

void TestRadicalLookup::radicalListsMatchTheRadicalStrokeValues_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("simplified");
    QTest::newRow("water, over 1500") << 85 << false;
    QTest::newRow("simplified gold") << 167 << true;
}

void TestRadicalLookup::radicalListsMatchTheRadicalStrokeValues()
{
    QFETCH(int, number);
    QFETCH(bool, simplified);
    const radicals::RadicalIndex& index = *radicalIndex();
    const auto& list = index.characters(std::size_t(index.find(number, simplified)));
    const QHash<uint32_t, int> expected = charactersInFile(number, simplified);
    QCOMPARE(int(list.size()), int(expected.size()));
    if (number == 85 && !simplified)
        QVERIFY(list.size() > 1500);
    for (std::size_t i = 0; i < list.size(); ++i) {
        QCOMPARE(list[i].residual, expected.value(list[i].code, -100));
        // By further strokes, then the more common first.
        if (i > 0)
            QVERIFY(std::pair(list[i - 1].residual, list[i - 1].frequency) <=
                    std::pair(list[i].residual, list[i].frequency));
    }
}

void TestRadicalLookup::windowFindsACharacterByKeysAndClicks()
{
    createRadicalWindow();
    WindowRef window = FindMyWindow(kRadicalWindowTag, false);
    QVERIFY(window);

    QWidget* panel = GetWindowWidget(window);
    auto* grid = panel->findChild<QListView*>(QStringLiteral("radicalGrid"));
    auto* characters = panel->findChild<QListView*>(QStringLiteral("characterList"));
    auto* residual = panel->findChild<QSpinBox*>(QStringLiteral("residualStrokes"));
    QVERIFY(grid && characters && residual);

    // Radical 166, then the right arrow to 167 (gold), and Return.
    grid->setCurrentIndex(rowWithText(grid, QStringLiteral("Radical 166"), Qt::ToolTipRole));
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(grid->currentIndex().data(Qt::ToolTipRole).toString(), QStringLiteral("Radical 167"));
    QCOMPARE(listedCharacterCount(window), int(charactersInFile(167, false).size()));

    residual->setValue(16);
    const QModelIndex xin = rowWithText(characters, QStringLiteral("鑫"));
    QVERIFY(xin.isValid());
    QVERIFY(rowWithText(characters, QStringLiteral("鑑")) == QModelIndex()); // +14

    // Return on 鑫: the floating window shows it and the history ends with it.
    characters->setCurrentIndex(xin);
    QTest::keyClick(characters, Qt::Key_Return);
    QVERIFY(!history.empty());
    QCOMPARE(int(history.back()), entryOf(0x946B));
    QVERIFY(FindMyWindow(kFloatingWindowTag, false));
    QVERIFY(alerts->requests.empty());

    // Escape closes the window, as it does a dialog.
    panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(panel));
    QTest::keyClick(grid, Qt::Key_Escape);
    QVERIFY(!FindMyWindow(kRadicalWindowTag, false));
}

// The headings cannot be chosen; drawn as disabled items they were grey on
// grey under a dark theme. Under a large font the widest were cut.
void TestRadicalLookup::strokeCountHeadingsAreReadable()
{
    // A dark theme and a 20-point font, as the desktop gives them.
    const QPalette originalPalette = QApplication::palette();
    const QFont originalFont = QApplication::font();
    const auto restore = qScopeGuard([&] {
        QApplication::setPalette(originalPalette);
        QApplication::setFont(originalFont);
    });
    QPalette dark = originalPalette;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::AlternateBase, QColor(45, 45, 45));
    dark.setColor(QPalette::Text, QColor(240, 240, 240));
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(100, 100, 100));
    QApplication::setPalette(dark);
    QFont large = originalFont;
    large.setPointSize(20);
    QApplication::setFont(large);

    createRadicalWindow();
    WindowRef window = FindMyWindow(kRadicalWindowTag, false);
    QVERIFY(window);
    QWidget* panel = GetWindowWidget(window);
    auto* grid = panel->findChild<QListView*>(QStringLiteral("radicalGrid"));
    auto* characters = panel->findChild<QListView*>(QStringLiteral("characterList"));
    QVERIFY(grid && characters);

    const QModelIndex heading = grid->model()->index(0, 0); // "1", before radical 1
    QCOMPARE(heading.data().toString(), QStringLiteral("1"));
    const QImage cell = grid->viewport()->grab(grid->visualRect(heading)).toImage();
    int lightest = 0;
    for (int y = 0; y < cell.height(); ++y) {
        for (int x = 0; x < cell.width(); ++x)
            lightest = std::max(lightest, QColor(cell.pixel(x, y)).lightness());
    }
    QVERIFY2(lightest > 200, qPrintable(QStringLiteral("lightest pixel %1").arg(lightest)));

    // Water's characters run to two-digit further strokes; every heading
    // fits its cell.
    grid->setCurrentIndex(rowWithText(grid, QStringLiteral("Radical 85"), Qt::ToolTipRole));
    int twoDigits = 0;
    for (int row = 0; row < characters->model()->rowCount(); ++row) {
        const QModelIndex at = characters->model()->index(row, 0);
        const QString text = at.data().toString();
        if (!text.startsWith(u'+'))
            continue;
        twoDigits += text.size() == 3;
        const QFontMetrics metrics(at.data(Qt::FontRole).value<QFont>());
        QVERIFY2(metrics.horizontalAdvance(text) < characters->visualRect(at).width(),
                 qPrintable(text));
    }
    QVERIFY(twoDigits > 0);
    DisposeWindow(window);
}

// A write that fails keeps the old file; one that succeeds replaces it.
void TestRadicalLookup::flashcardsAreTabSeparatedUtf8OldestFirst()
{
    history = {uint32_t(entryOf(0x4E2D)), uint32_t(entryOf(0x6C34))};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cards.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("old\n");
    file.close();
    auto previous = SetSaveDialogPresenter(std::make_unique<ChosenPathSaveDialogPresenter>(path));
    if (geteuid() != 0) { // root writes anyway
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        alerts->requests.clear();
        sendApplicationCommand("FLSH"_4cc);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(int(alerts->requests.size()), 1);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "old\n");
        file.close();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no half-written file left
    }
    sendApplicationCommand("FLSH"_4cc);
    SetSaveDialogPresenter(std::move(previous));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(
        file.readAll(),
        QStringLiteral(
            "中\tzhōng\tcentral; center, middle; in the midst of; hit (target); attain\tzung1\n"
            "水\tshuǐ\twater, liquid, lotion, juice\tseoi2\n")
            .toUtf8());
}

void TestRadicalLookup::readingsAreSpokenInTheirVoice()
{
    // A voice name the speech library does not know would leave the button mute.
    for (SpeechVoice voice : {SpeechVoice::Mandarin, SpeechVoice::Cantonese}) {
        const SpeechAudio audio = synthesizeSpeech(speechVoiceName(voice), "si1");
        QCOMPARE(audio.status, noErr);
        QVERIFY(!audio.samples.empty());
    }
    // The voice reads a stored "lu:4" as "lu si"; "lü4" is one syllable.
    const char* voice = speechVoiceName(SpeechVoice::Mandarin);
    const auto stored = double(synthesizeSpeech(voice, speechText("lu:4")).samples.size());
    const auto spelled = double(synthesizeSpeech(voice, "l\u00FC4").samples.size());
    QVERIFY2(std::abs(stored - spelled) < spelled / 10,
             qPrintable(u"%1, %2"_s.arg(stored).arg(spelled)));

    // A missing voice and two readings: one alert for the request, not one
    // per syllable.
    alerts->requests.clear();
    speakText("no-such-voice", "ma1, ma3");
    QTRY_COMPARE(alerts->requests.size(), std::size_t(1));
    QVERIFY2(alerts->requests[0].explanation.contains(u"no-such-voice"_s),
             qPrintable(alerts->requests[0].explanation));
    QTest::qWait(300);
    QCOMPARE(alerts->requests.size(), std::size_t(1));
}

// An entry without a Cantonese reading makes the button's request visible
// as an alert naming the reading chosen.
void TestRadicalLookup::speakerButtonSpeaksTheChosenReading()
{
    const int cantonese = dict.findField("kCantonese");
    QVERIFY(cantonese >= 0);
    const auto without = std::find_if(dict.entries.begin(), dict.entries.end(),
                                      [&](auto* e) { return !e->lookup(cantonese); });
    QVERIFY(without != dict.entries.end());
    globals.floatingRomanType = dict.fields[std::size_t(cantonese)]->code;
    createFloatingWindow();
    WindowRef window = FindMyWindow(kFloatingWindowTag, false);
    QVERIFY(window);
    loadFloatingWindowData(window, SInt32((*without)->index));
    auto* speak = GetWindowWidget(window)->findChild<QToolButton*>(u"speakButton"_s);
    QVERIFY(speak && !speak->icon().isNull());
    alerts->requests.clear();
    QTest::mouseClick(speak, Qt::LeftButton);
    QCOMPARE(alerts->requests.size(), std::size_t(1));
    QVERIFY2(alerts->requests[0].explanation.contains(u"Cantonese"_s),
             qPrintable(alerts->requests[0].explanation));
}

QTEST_MAIN(TestRadicalLookup)
#include "tst_radicallookup.moc"
