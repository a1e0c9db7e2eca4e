// The radical index against the shipped radical list and radical-stroke
// values, the radical window driven by keys and clicks, the flashcard file
// byte for byte, the larger-characters choice, and the reading's speech.

#include "app/appcommands.h"
#include "app/servicesbridge.h"
#include "app/globals.h"
#include "app/speech.h"
#include "app/windowlookup.h"
#include "platform/alerts.h"
#include "platform/databrowser.h"
#include "platform/nib.h"
#include "platform/savedialog.h"
#include "platform/windows.h"
#include "store/dictionary.h"
#include "store/radicals.h"
#include "tests/common/testdoubles.h"
#include "windows/dictionary/dictionarywindow.h"
#include "windows/floating/floatingwindow.h"
#include "windows/history/history.h"
#include "windows/history/historyfile.h"
#include "windows/radical/radicalwindow.h"

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QListView>
#include <QRegularExpression>
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
    const QRegularExpression form(QStringLiteral("(?:^| )%1%2\\.(-?\\d+)")
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

// The mean pitch in hertz of the voiced parts, by autocorrelation over
// frames of 40 ms.
double meanPitch(const SpeechAudio& audio)
{
    const std::vector<int16_t>& s = audio.samples;
    const int rate = audio.sampleRate;
    const int window = rate / 25;
    const int longest = rate / 60;
    double sum = 0;
    int voiced = 0;
    for (std::size_t at = 0; at + std::size_t(window + longest) < s.size(); at += std::size_t(rate / 50)) {
        const auto product = [&](int lag) {
            double c = 0;
            for (int i = 0; i < window; ++i)
                c += double(s[at + std::size_t(i)]) * s[at + std::size_t(i + lag)];
            return c;
        };
        const double energy = product(0);
        if (energy < window * 500.0 * 500.0)
            continue; // silence or a quiet consonant
        int best = 0;
        double bestCorrelation = 0;
        for (int lag = rate / 400; lag <= longest; ++lag) {
            double shifted = 0;
            for (int i = 0; i < window; ++i)
                shifted += double(s[at + std::size_t(i + lag)]) * s[at + std::size_t(i + lag)];
            const double c = product(lag) / std::sqrt(energy * shifted);
            if (c > bestCorrelation) {
                bestCorrelation = c;
                best = lag;
            }
        }
        if (bestCorrelation > 0.6) {
            sum += double(rate) / best;
            ++voiced;
        }
    }
    return voiced ? sum / voiced : 0;
}

} // namespace

class TestRadicalLookup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void radicalsFollowTheRadicalList_data();
    void radicalsFollowTheRadicalList();
    void radicalListsMatchTheRadicalStrokeValues_data();
    void radicalListsMatchTheRadicalStrokeValues();
    void windowFindsACharacterByKeysAndClicks();
    void flashcardsAreTabSeparatedUtf8OldestFirst();
    void aFailedFlashcardWriteAlertsAndKeepsTheOldFile();
    void largerCharactersDoubleTheCharacterColumn();
    void readingsSynthesiseToDistinctAudio_data();
    void readingsSynthesiseToDistinctAudio();
    void storedUmlautIsSpokenAsOneSyllable();
    void aFailedReadingGivesOneAlert_data();
    void aFailedReadingGivesOneAlert();
    void speakerButtonSpeaksTheChosenReading_data();
    void speakerButtonSpeaksTheChosenReading();
    void cleanupTestCase();

private:
    std::unique_ptr<AlertPresenter> previousAlerts;
    RecordingAlertPresenter* alerts = nullptr;
};

void TestRadicalLookup::initTestCase()
{
    const QByteArray path = (kShare + QStringLiteral("/dictionary.txt")).toLocal8Bit();
    QVERIFY(dict.loadIndex(path.constData()));
    dict.load(path.constData(), nullptr);
    QVERIFY(dict.entries.size() > 50000);
    globals = Globals{};
    globals.filterState = -1;
    globals.searchState = -1;
    globals.floatingCharType = FOUR_CHAR_CODE("CHAR");
    globals.floatingRomanType = FOUR_CHAR_CODE("PYIN");
    globals.floatingDefnType = FOUR_CHAR_CODE("EDEF");
    globals.dividerRatio = 500;
    globals.DictLeftCorner = globals.DictTopCorner = -1;
    globals.DictRightCorner = globals.DictBottomCorner = -1;
    globals.FloatLeftCorner = globals.FloatTopCorner = -1;
    QCOMPARE(CreateNibReference(QStringLiteral("Tavi"), &nibRef), noErr);
    auto recording = std::make_unique<RecordingAlertPresenter>();
    alerts = recording.get();
    previousAlerts = SetAlertPresenter(std::move(recording));
    QVERIFY(radicalIndex());
    InstallEventHandler(GetApplicationEventTarget(), NewEventHandlerUPP(applicationEventHandler),
                        GetEventTypeCount(kApplicationEventTypes), kApplicationEventTypes, nullptr,
                        nullptr);
}

void TestRadicalLookup::cleanupTestCase()
{
    stopSpeech();
    for (WindowRef w : GetWindowList())
        DisposeWindow(w);
    DisposeNibReference(nibRef);
    nibRef = nullptr;
    SetAlertPresenter(std::move(previousAlerts));
}

void TestRadicalLookup::radicalsFollowTheRadicalList_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("simplified");
    QTest::addColumn<uint>("glyph");
    QTest::addColumn<int>("strokes");
    QTest::newRow("first of one stroke") << 1 << false << 0x4E00u << 1;
    QTest::newRow("last of one stroke") << 6 << false << 0x4E85u << 1;
    QTest::newRow("first of two strokes") << 7 << false << 0x4E8Cu << 2;
    QTest::newRow("water") << 85 << false << 0x6C34u << 4;
    QTest::newRow("simplified silk beside silk") << 120 << true << 0x7E9Fu << 6;
    QTest::newRow("gold") << 167 << false << 0x91D1u << 8;
    QTest::newRow("last, seventeen strokes") << 214 << false << 0x9FA0u << 17;
}

void TestRadicalLookup::radicalsFollowTheRadicalList()
{
    QFETCH(int, number);
    QFETCH(bool, simplified);
    QFETCH(uint, glyph);
    QFETCH(int, strokes);
    const radicals::RadicalIndex& index = *radicalIndex();
    QFile list(kShare + QStringLiteral("/CJKRadicals.txt"));
    QVERIFY(list.open(QIODevice::ReadOnly));
    int forms = 0, marked = 0;
    for (const QByteArray& line : list.readAll().split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        ++forms;
        marked += line.split(';')[0].endsWith('\'');
    }
    QCOMPARE(int(index.radicals().size()), forms);
    QCOMPARE(forms - marked, 214);

    const int at = index.find(number, simplified);
    QVERIFY(at >= 0);
    const radicals::Radical& r = index.radicals()[std::size_t(at)];
    QCOMPARE(r.glyph, glyph);
    QCOMPARE(r.strokes, strokes);
    // A simplified form comes right after its radical.
    if (simplified)
        QCOMPARE(index.find(number, false), at - 1);
}

void TestRadicalLookup::radicalListsMatchTheRadicalStrokeValues_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("simplified");
    QTest::newRow("water, over 1500") << 85 << false;
    QTest::newRow("gold") << 167 << false;
    QTest::newRow("simplified gold") << 167 << true;
    QTest::newRow("simplified silk") << 120 << true;
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
        if (i == 0)
            continue;
        // By further strokes, then the more common first.
        QVERIFY(list[i - 1].residual <= list[i].residual);
        if (list[i - 1].residual == list[i].residual)
            QVERIFY(list[i - 1].frequency <= list[i].frequency);
    }
}

void TestRadicalLookup::windowFindsACharacterByKeysAndClicks()
{
    createRadicalWindow();
    WindowRef window = FindMyWindow(kRadicalWindowTag, false);
    QVERIFY(window);
    createRadicalWindow(); // one window only
    int count = 0;
    for (WindowRef w : GetWindowList())
        count += GetWRefCon(w) == SRefCon(kRadicalWindowTag);
    QCOMPARE(count, 1);

    QWidget* panel = GetWindowWidget(window);
    auto* grid = panel->findChild<QListView*>(QStringLiteral("radicalGrid"));
    auto* characters = panel->findChild<QListView*>(QStringLiteral("characterList"));
    auto* residual = panel->findChild<QSpinBox*>(QStringLiteral("residualStrokes"));
    auto* total = panel->findChild<QSpinBox*>(QStringLiteral("totalStrokes"));
    QVERIFY(grid && characters && residual && total);

    // Radical 166, then the right arrow to 167 (gold), and Return.
    grid->setCurrentIndex(rowWithText(grid, QStringLiteral("Radical 166"), Qt::ToolTipRole));
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(grid->currentIndex().data(Qt::ToolTipRole).toString(), QStringLiteral("Radical 167"));
    const int all = listedCharacterCount(window);
    QCOMPARE(all, int(charactersInFile(167, false).size()));

    residual->setValue(16);
    QVERIFY(listedCharacterCount(window) < all);
    const QModelIndex xin = rowWithText(characters, QStringLiteral("鑫"));
    QVERIFY(xin.isValid());
    QVERIFY(rowWithText(characters, QStringLiteral("鑑")) == QModelIndex()); // +14
    total->setValue(23);
    QVERIFY(rowWithText(characters, QStringLiteral("鑫")) == QModelIndex()); // 24 strokes
    total->setValue(24);

    // Return on 鑫: the floating window shows it and the history ends with it.
    characters->setCurrentIndex(rowWithText(characters, QStringLiteral("鑫")));
    QTest::keyClick(characters, Qt::Key_Return);
    QVERIFY(!history.empty());
    QCOMPARE(int(history.back()), entryOf(0x946B));
    QVERIFY(FindMyWindow(kFloatingWindowTag, false));

    // A double click on 鑑 also selects it in the dictionary window.
    residual->setValue(14);
    total->setValue(0);
    const QModelIndex jian = rowWithText(characters, QStringLiteral("鑑"));
    QVERIFY(jian.isValid());
    characters->scrollTo(jian);
    const QPoint centre = characters->visualRect(jian).center();
    QTest::mouseClick(characters->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(characters->viewport(), Qt::LeftButton, {}, centre);
    QCOMPARE(int(history.back()), entryOf(0x9451));
    WindowRef dictionaryWindow = FindMyWindow(kDictionaryWindowTag, false);
    QVERIFY(dictionaryWindow);
    ControlRef list = nullptr;
    QCOMPARE(GetControlByID(dictionaryWindow, &kDictBrowserPaneID, &list), noErr);
    QVERIFY(IsDataBrowserItemSelected(list, DataBrowserItemID(entryOf(0x9451)) + 1));
    auto* view = qobject_cast<QAbstractItemView*>(GetControlWidget(list));
    QVERIFY(view->viewport()->rect().intersects(view->visualRect(view->selectionModel()->selectedIndexes().value(0))));
    QVERIFY(alerts->requests.empty());
}

void TestRadicalLookup::flashcardsAreTabSeparatedUtf8OldestFirst()
{
    history = {uint32_t(entryOf(0x4E2D)), uint32_t(entryOf(0x6C34))};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cards.txt"));
    auto previous = SetSaveDialogPresenter(std::make_unique<ChosenPathSaveDialogPresenter>(path));
    sendApplicationCommand("FLSH"_4cc);
    SetSaveDialogPresenter(std::move(previous));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QStringLiteral("中\tzhōng\tcentral; center, middle; in the midst of; hit (target); attain\tzung1\n"
                            "水\tshuǐ\twater, liquid, lotion, juice\tseoi2\n")
                 .toUtf8());
}

void TestRadicalLookup::aFailedFlashcardWriteAlertsAndKeepsTheOldFile()
{
    history = {uint32_t(entryOf(0x6C34))};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cards.txt"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old\n");
    old.close();
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    alerts->requests.clear();
    auto previous = SetSaveDialogPresenter(std::make_unique<ChosenPathSaveDialogPresenter>(path));
    writeOutFlashcards();
    SetSaveDialogPresenter(std::move(previous));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (geteuid() != 0)
        QCOMPARE(int(alerts->requests.size()), 1);
    else
        QVERIFY(alerts->requests.size() <= 1); // root writes anyway
    QVERIFY(old.open(QIODevice::ReadOnly));
    const QByteArray now = old.readAll();
    QVERIFY(now == "old\n" || now.startsWith("水\t"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no half-written file left
}

void TestRadicalLookup::largerCharactersDoubleTheCharacterColumn()
{
    WindowRef window = FindMyWindow(kDictionaryWindowTag, false);
    QVERIFY(window);
    ControlRef list = nullptr;
    QCOMPARE(GetControlByID(window, &kDictBrowserPaneID, &list), noErr);
    auto* view = qobject_cast<QAbstractItemView*>(GetControlWidget(list));
    QVERIFY(view && view->model()->rowCount() > 0);
    const auto sizes = [&] {
        const QModelIndex cell = view->model()->index(0, 0);
        const int text = QFontInfo(view->font()).pixelSize();
        return std::pair(cell.data(Qt::FontRole).value<QFont>().pixelSize(), text);
    };
    for (const bool larger : {false, true, false}) {
        if (bool(globals.biggerFonts) != larger)
            sendApplicationCommand("BIGF"_4cc);
        QCOMPARE(bool(globals.biggerFonts), larger);
        const auto [character, text] = sizes();
        QCOMPARE(character, int(std::ceil(text * (larger ? 2.0 : 1.5))));
    }
}


void TestRadicalLookup::readingsSynthesiseToDistinctAudio_data()
{
    QTest::addColumn<bool>("cantonese");
    QTest::addColumn<QByteArray>("higher");
    QTest::addColumn<QByteArray>("lower");
    QTest::newRow("Mandarin high level over dipping") << false << "ma1"_ba << "ma3"_ba;
    QTest::newRow("Mandarin falling over dipping") << false << "shui4"_ba << "shui3"_ba;
    QTest::newRow("Cantonese high level over low falling") << true << "si1"_ba << "si4"_ba;
}

// Synthesis varies a little from run to run, so the tones are told apart by
// their pitch, not by their samples.
void TestRadicalLookup::readingsSynthesiseToDistinctAudio()
{
    QFETCH(bool, cantonese);
    QFETCH(QByteArray, higher);
    QFETCH(QByteArray, lower);
    const char* voice = speechVoiceName(cantonese ? SpeechVoice::Cantonese : SpeechVoice::Mandarin);
    const SpeechAudio high = synthesizeSpeech(voice, speechText(higher));
    const SpeechAudio low = synthesizeSpeech(voice, speechText(lower));
    QCOMPARE(high.status, noErr);
    QCOMPARE(low.status, noErr);
    // A syllable lasts a good part of a second.
    QVERIFY(high.samples.size() > std::size_t(high.sampleRate / 10));
    const double highPitch = meanPitch(high);
    const double lowPitch = meanPitch(low);
    QVERIFY2(highPitch > lowPitch + 4, qPrintable(u"%1 Hz, %2 Hz"_s.arg(highPitch).arg(lowPitch)));
}

void TestRadicalLookup::storedUmlautIsSpokenAsOneSyllable()
{
    // The voice reads a stored "lu:4" as "lu si"; "lü4" is one syllable.
    const char* voice = speechVoiceName(SpeechVoice::Mandarin);
    const auto stored = double(synthesizeSpeech(voice, speechText("lu:4")).samples.size());
    const auto spelled = double(synthesizeSpeech(voice, "l\u00FC4").samples.size());
    QVERIFY(spelled > 0);
    QVERIFY2(std::abs(stored - spelled) < spelled / 10, qPrintable(u"%1, %2"_s.arg(stored).arg(spelled)));
}

void TestRadicalLookup::aFailedReadingGivesOneAlert_data()
{
    QTest::addColumn<QByteArray>("voice");
    QTest::addColumn<QString>("told");
    QTest::newRow("missing voice") << "no-such-voice"_ba << u"no-such-voice"_s;
    QTest::newRow("no sound output") << QByteArray(speechVoiceName(SpeechVoice::Mandarin))
                                     << u"No sound output"_s;
}

void TestRadicalLookup::aFailedReadingGivesOneAlert()
{
    QFETCH(QByteArray, voice);
    QFETCH(QString, told);
    if (voice != "no-such-voice" && QDir(u"/dev/snd"_s).exists())
        QSKIP("this computer has a sound card");
    alerts->requests.clear();
    // Two readings: one alert for the request, not one per syllable.
    speakText(voice, "ma1, ma3");
    QTRY_COMPARE(alerts->requests.size(), std::size_t(1));
    QVERIFY2(alerts->requests[0].explanation.contains(told),
             qPrintable(alerts->requests[0].explanation));
    QTest::qWait(300);
    QCOMPARE(alerts->requests.size(), std::size_t(1));
}

void TestRadicalLookup::speakerButtonSpeaksTheChosenReading_data()
{
    QTest::addColumn<QByteArray>("chosen");
    QTest::addColumn<QByteArray>("missing");
    QTest::addColumn<QString>("told");
    QTest::newRow("Mandarin") << "kMandarin"_ba << "kMandarin"_ba << u"Mandarin"_s;
    QTest::newRow("Cantonese") << "kCantonese"_ba << "kCantonese"_ba << u"Cantonese"_s;
    QTest::newRow("another reading speaks Mandarin") << "kKorean"_ba << "kMandarin"_ba << u"Mandarin"_s;
}

// An entry without the reading makes the button's request visible as an
// alert; which reading it names shows the voice chosen.
void TestRadicalLookup::speakerButtonSpeaksTheChosenReading()
{
    QFETCH(QByteArray, chosen);
    QFETCH(QByteArray, missing);
    QFETCH(QString, told);
    const int chosenField = dict.findField(chosen.constData());
    const int missingField = dict.findField(missing.constData());
    QVERIFY(chosenField >= 0 && missingField >= 0);
    const auto without = std::find_if(dict.entries.begin(), dict.entries.end(), [&](auto* e) {
        return !e->lookup(missingField) && (chosen == missing || e->lookup(chosenField));
    });
    QVERIFY(without != dict.entries.end());
    globals.floatingRomanType = dict.fields[std::size_t(chosenField)]->code;
    createFloatingWindow();
    WindowRef window = FindMyWindow(kFloatingWindowTag, false);
    QVERIFY(window);
    loadFloatingWindowData(window, SInt32((*without)->index));
    auto* speak = GetWindowWidget(window)->findChild<QToolButton*>(u"speakButton"_s);
    QVERIFY(speak && !speak->icon().isNull());
    alerts->requests.clear();
    QTest::mouseClick(speak, Qt::LeftButton);
    QCOMPARE(alerts->requests.size(), std::size_t(1));
    QVERIFY2(alerts->requests[0].explanation.contains(told),
             qPrintable(alerts->requests[0].explanation));
    globals.floatingRomanType = FOUR_CHAR_CODE("PYIN");
}

QTEST_MAIN(TestRadicalLookup)
#include "tst_radicallookup.moc"
