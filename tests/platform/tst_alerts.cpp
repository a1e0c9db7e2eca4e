// Alerts through a replaceable presenter, and scraps.

#include "platform/alerts.h"
#include "platform/events.h"
#include "platform/scrap.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTextDocument>

namespace {

// A Pascal string of a C string.
std::string pascal(const std::string& text)
{
    return std::string(1, char(text.size())) + text;
}

const unsigned char* bytes(const std::string& s)
{
    return reinterpret_cast<const unsigned char*>(s.data());
}

} // namespace

class AlertsTest : public QObject {
    Q_OBJECT
private slots:
    void thePresenterReceivesTheTexts();
    void theMessageBoxShowsTitleOverExplanation();
    void markupInTheExplanationIsShownAsWritten();
    void scrapFlavours();
    void scrapTravelsAsAnEventParameter();
};

void AlertsTest::thePresenterReceivesTheTexts()
{
    auto recorder = std::make_unique<RecordingAlertPresenter>();
    RecordingAlertPresenter* recorded = recorder.get();
    auto previous = SetAlertPresenter(std::move(recorder));
    const std::string title = pascal("Error (-43)");
    const std::string message = pascal("Could not load nib resource file");
    const std::string chinese = pascal("\xE4\xB8\xAD");
    SInt16 item = 0;
    QCOMPARE(StandardAlert(kAlertNoteAlert, bytes(title), bytes(message), nullptr, &item), noErr);
    QCOMPARE(item, kAlertStdAlertOKButton);
    QCOMPARE(StandardAlert(kAlertNoteAlert, bytes(chinese), nullptr, nullptr, nullptr), noErr);
    QCOMPARE(StandardAlert(kAlertNoteAlert, nullptr, bytes(message), nullptr, nullptr), paramErr);
    QCOMPARE(recorded->requests.size(), std::size_t(2));
    QCOMPARE(recorded->requests[0].type, kAlertNoteAlert);
    QCOMPARE(recorded->requests[0].message, QStringLiteral("Error (-43)"));
    QCOMPARE(recorded->requests[0].explanation, QStringLiteral("Could not load nib resource file"));
    QCOMPARE(recorded->requests[1].message, QStringLiteral("\u4E2D"));
    QVERIFY(recorded->requests[1].explanation.isEmpty());
    SetAlertPresenter(std::move(previous));
}

void AlertsTest::theMessageBoxShowsTitleOverExplanation()
{
    auto box = MakeAlertMessageBox({kAlertNoteAlert, QStringLiteral("Error"), QStringLiteral("Unknown error (-43)")});
    QCOMPARE(box->text(), QStringLiteral("Error"));
    QCOMPARE(box->informativeText(), QStringLiteral("Unknown error (-43)"));
    QCOMPARE(box->icon(), QMessageBox::Information);
    QCOMPARE(box->buttons().size(), 1);
    QCOMPARE(box->textFormat(), Qt::PlainText);
}

void AlertsTest::markupInTheExplanationIsShownAsWritten()
{
    auto box = MakeAlertMessageBox({kAlertNoteAlert, QStringLiteral("Error"), QStringLiteral("<b>x</b> & y")});
    QTextDocument document;
    document.setHtml(box->informativeText());
    QCOMPARE(document.toPlainText(), QStringLiteral("<b>x</b> & y"));
}

void AlertsTest::scrapFlavours()
{
    ScrapRef scrap = nullptr;
    QCOMPARE(CreateScrap(&scrap), noErr);
    Size size = -1;
    QCOMPARE(GetScrapFlavorSize(scrap, kScrapFlavorTypeUnicode, &size), noTypeErr);
    scrap->putText(QStringLiteral("\u4E2D\u6587"));
    QCOMPARE(GetScrapFlavorSize(scrap, kScrapFlavorTypeUnicode, &size), noErr);
    QCOMPARE(size, Size(4));
    char16_t units[3] = {0, 0, 0xFFFF};
    Size count = 2;  // a short buffer gets the first bytes only
    QCOMPARE(GetScrapFlavorData(scrap, kScrapFlavorTypeUnicode, &count, units), noErr);
    QCOMPARE(count, Size(2));
    QCOMPARE(units[0], char16_t(0x4E2D));
    QCOMPARE(units[1], char16_t(0));
    QCOMPARE(ClearScrap(&scrap), noErr);
    QCOMPARE(GetScrapFlavorSize(scrap, kScrapFlavorTypeUnicode, &size), noTypeErr);
    QCOMPARE(PutScrapFlavor(scrap, kScrapFlavorTypeText, kScrapFlavorMaskNone, 6, "0x4E2D"), noErr);
    QCOMPARE(scrap->flavor(kScrapFlavorTypeText).value(), QByteArray("0x4E2D"));
    // An odd byte count drops the half unit.
    PutScrapFlavor(scrap, kScrapFlavorTypeUnicode, 0, 3, "a\0b");
    QCOMPARE(scrap->text().value(), QStringLiteral("a"));
    DisposeScrap(scrap);
}

void AlertsTest::scrapTravelsAsAnEventParameter()
{
    ScrapRef scrap = nullptr;
    CreateScrap(&scrap);
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassService, kEventServicePerform, 0, kEventAttributeNone, &event);
    SetEventParameter(event, kEventParamScrapRef, typeScrapRef, sizeof scrap, &scrap);
    ScrapRef read = nullptr;
    QCOMPARE(GetEventParameter(event, kEventParamScrapRef, typeScrapRef, nullptr, sizeof read, nullptr, &read),
             noErr);
    QCOMPARE(read, scrap);
    ReleaseEvent(event);
    DisposeScrap(scrap);
}

QTEST_MAIN(AlertsTest)
#include "tst_alerts.moc"
