// Alerts through a replaceable presenter, and scraps.

#include "platform/alerts.h"
#include "platform/scrap.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTextDocument>

class AlertsTest : public QObject {
    Q_OBJECT
private slots:
    void thePresenterReceivesTheTexts();
    void theMessageBoxShowsPlainTitleOverExplanation();
    void scrapFlavours();
};

void AlertsTest::thePresenterReceivesTheTexts()
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

void AlertsTest::theMessageBoxShowsPlainTitleOverExplanation()
{
    auto box = MakeAlertMessageBox({kAlertNoteAlert, u"<i>Error</i>"_qs, u"<b>x</b> & y"_qs});
    QCOMPARE(box->text(), u"<i>Error</i>"_qs);
    QCOMPARE(box->textFormat(), Qt::PlainText);
    QCOMPARE(box->icon(), QMessageBox::Information);
    QCOMPARE(box->buttons().size(), 1);
    // Markup in the explanation is shown as written.
    QTextDocument document;
    document.setHtml(box->informativeText());
    QCOMPARE(document.toPlainText(), u"<b>x</b> & y"_qs);
}

void AlertsTest::scrapFlavours()
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
    QCOMPARE(PutScrapFlavor(scrap, kScrapFlavorTypeText, kScrapFlavorMaskNone, 6, "0x4E2D"), noErr);
    QCOMPARE(scrap->flavor(kScrapFlavorTypeText).value(), QByteArray("0x4E2D"));
    // An odd byte count drops the half unit.
    PutScrapFlavor(scrap, kScrapFlavorTypeUnicode, 0, 3, "a\0b");
    QCOMPARE(scrap->text().value(), u"a"_qs);
    DisposeScrap(scrap);
}

QTEST_MAIN(AlertsTest)
#include "tst_alerts.moc"
