// The feedback form and its post, against an HTTP server of the test's own
// on 127.0.0.1: the request as it arrives, the alerts of every outcome, the
// window's life and its logo. No request ever leaves the loopback address.

#include "app/globals.h"
#include "app/windowlookup.h"
#include "platform/menubar.h"
#include "platform/menus.h"
#include "program/appcommands.h"
#include "platform/alerts.h"
#include "platform/controls.h"
#include "platform/folders.h"
#include "platform/imageview.h"
#include "platform/nib.h"
#include "platform/urlaccess.h"
#include "platform/windows.h"
#include "tests/common/testdoubles.h"
#include "tests/common/windowtesting.h"
#include "tests/floating/floatingtest.h"
#include "windows/feedback/feedbackendpoint.h"
#include "windows/feedback/feedbackwindow.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QNetworkProxy>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kSubject = "subject=Tavi%200%2E8b1%20Feedback%20%28in%2Dapp%29";
const QByteArray kRecipient = "comments@tavi.test";
const QString kEmail = u"a.b_c~d@x.org"_qs;
const QByteArray kEmailSent = "a%2Eb%5Fc%7Ed%40x%2Eorg";

// Records each complete request as it arrived and answers it as told.
struct LoopbackServer : QObject {
    enum Answer { Ok, ServerError, Never };

    LoopbackServer()
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        });
    }

    void read(QTcpSocket* socket)
    {
        const QByteArray data = socket->property("data").toByteArray() + socket->readAll();
        socket->setProperty("data", data);
        static const QRegularExpression length(u"content-length: *(\\d+)"_qs,
                                               QRegularExpression::CaseInsensitiveOption);
        const qsizetype end = data.indexOf("\r\n\r\n");
        if (end < 0 ||
            data.size() < end + 4 + length.match(QString::fromLatin1(data)).captured(1).toInt())
            return;
        requests << data;
        if (answer == Never)
            return;
        socket->write(answer == Ok
                          ? "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nok\n"
                          : "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
        socket->disconnectFromHost();
    }

    QTcpServer server;
    Answer answer = Ok;
    QByteArrayList requests;
};

RecordingAlertPresenter* g_alerts = nullptr;

ControlRef control(WindowRef window, const ControlID& id)
{
    ControlRef found = nullptr;
    GetControlByID(window, &id, &found);
    return found;
}

void setText(WindowRef window, const ControlID& id, const QString& text)
{
    SetControlData(control(window, id), 0, kControlEditTextCFStringTag, sizeof text, &text);
}

QString text(WindowRef window, const ControlID& id)
{
    QString result;
    GetControlData(control(window, id), 0, kControlEditTextCFStringTag, sizeof result, &result,
                   nullptr);
    return result;
}

void clickSend(WindowRef window)
{
    auto* send = GetWindowWidget(window)->findChild<QPushButton*>(u"sendButton"_qs);
    QVERIFY(send);
    QTest::mouseClick(send, Qt::LeftButton);
}

} // namespace

class FeedbackTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void sendingPostsTheEscapedFormOrKeepsItOpen_data();
    void sendingPostsTheEscapedFormOrKeepsItOpen();
    void reopeningTheFormBringsItForwardWithoutASecond();
    void theMenuItemIsOfferedOnlyWithARealEndpoint_data();
    void theMenuItemIsOfferedOnlyWithARealEndpoint();

private:
    void writeConfig(const QByteArray& text);

    QTemporaryDir m_bundle;
    LoopbackServer m_server;
};

void FeedbackTest::initTestCase()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    auto recorder = std::make_unique<RecordingAlertPresenter>();
    g_alerts = recorder.get();
    SetAlertPresenter(std::move(recorder));

    // A bundle of our own: the form, the logo and an endpoint on loopback.
    QVERIFY(m_bundle.isValid());
    QVERIFY(QDir(m_bundle.path()).mkpath(QStringLiteral("Tavi")));
    const QString share = QStringLiteral(TAVI_BUILD_SHARE_DIR);
    QVERIFY(QFile::copy(share + u"/Tavi/FeedbackWindow.ui"_qs,
                        m_bundle.filePath(u"Tavi/FeedbackWindow.ui"_qs)));
    QVERIFY(QFile::copy(share + u"/small_logo.png"_qs, m_bundle.filePath(u"small_logo.png"_qs)));
    QVERIFY(QFile::copy(share + u"/Tavi/MenuBar.ui"_qs, m_bundle.filePath(u"Tavi/MenuBar.ui"_qs)));
    SetBundleResourcesFolderOverride(m_bundle.path());
    QCOMPARE(CreateNibReference(QStringLiteral("Tavi"), &nibRef), noErr);
    QVERIFY(m_server.server.listen(QHostAddress::LocalHost));
    ftest::installApplicationHandler();
    SetURLAccessTimeLimit(300);
}

void FeedbackTest::init()
{
    wtest::disposeAllWindows();
    writeConfig("scheme = http\nhost = 127.0.0.1\nport = " +
                QByteArray::number(m_server.server.serverPort()) + "\nrecipient = " + kRecipient +
                '\n');
    g_alerts->requests.clear();
    m_server.requests.clear();
    m_server.answer = LoopbackServer::Ok;
}

void FeedbackTest::writeConfig(const QByteArray& text)
{
    QFile file(m_bundle.filePath(QLatin1String(kFeedbackConfigFileName)));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

void FeedbackTest::sendingPostsTheEscapedFormOrKeepsItOpen_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("comments");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("config"); // empty: the loopback server's
    QTest::addColumn<QByteArray>("fields"); // realname and description as sent
    QTest::addColumn<QString>("failure");   // the first of two alerts; empty: sent

    const int ok = LoopbackServer::Ok;
    QTest::newRow("punctuation, blanks and control characters")
        << u"Ann-Marie O'Neil\t"_qs << u"1+1=2 & 50%\n"_qs << ok << QByteArray()
        << QByteArray("realname=Ann%2DMarie%20O%27Neil%09&email=" + kEmailSent +
                      "&description=1%2B1%3D2%20%26%2050%25%0A")
        << QString();
    QTest::newRow("Chinese, accents and emoji as UTF-8")
        << u"王é"_qs << u"中文\U0001F600"_qs << ok << QByteArray()
        << QByteArray("realname=%E7%8E%8B%C3%A9&email=" + kEmailSent +
                      "&description=%E4%B8%AD%E6%96%87%F0%9F%98%80")
        << QString();

    // A failure keeps the form and its text.
    const auto failing = [](const char* row, int answer, const QByteArray& config,
                            const QString& alert) {
        QTest::newRow(row) << u"Wang"_qs << u"中文 please"_qs << answer << config << QByteArray()
                           << alert;
    };
    const QString transmit =
        u" / Tavi encountered an error while trying to transmit the message."_qs;
    failing("500 answer", LoopbackServer::ServerError, {}, u"Error (500)"_qs + transmit);
    failing("no answer within the time limit", LoopbackServer::Never, {},
            u"Error (-3259)"_qs + transmit);
    // A configuration that cannot be trusted posts nowhere.
    const QString badConfig = u"Error (-30773) / Error opening connection"_qs;
    failing("config: ftp", ok, "scheme=ftp\nhost=127.0.0.1\nrecipient=a@b.test\n", badConfig);
    failing("config: recipient adds a field", ok,
            "scheme=http\nhost=127.0.0.1\nrecipient=a@b.test&subject=x\n", badConfig);
}

void FeedbackTest::sendingPostsTheEscapedFormOrKeepsItOpen()
{
    QFETCH(QString, name);
    QFETCH(QString, comments);
    QFETCH(int, answer);
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, fields);
    QFETCH(QString, failure);

    m_server.answer = LoopbackServer::Answer(answer);
    if (!config.isEmpty())
        writeConfig(config);

    createFeedbackWindow();
    WindowRef window = FindMyWindow(kFeedbackWindowTag, false);
    QVERIFY(window);
    setText(window, kFeedbackNameID, name);
    setText(window, kFeedbackEmailID, kEmail);
    setText(window, kFeedbackCommentsID, comments);
    clickSend(window);
    QCOMPARE(m_server.requests.size(), config.isEmpty() ? 1 : 0);

    if (!failure.isEmpty()) {
        QCOMPARE(wtest::alertTexts(g_alerts),
                 (QStringList{failure, u"Error / Tavi was not able to submit your comments."_qs}));
        QCOMPARE(FindMyWindow(kFeedbackWindowTag, false), window);
        QCOMPARE(text(window, kFeedbackCommentsID), comments);
        return;
    }
    const QByteArray body = "recipient=" + kRecipient + '&' + kSubject + '&' + fields;
    const QByteArray& request = m_server.requests.first();
    QVERIFY(request.startsWith("POST /cgi-bin/formmail.cgi "));
    QVERIFY(request.contains("\r\nContent-Type: application/x-www-form-urlencoded\r\n"));
    QVERIFY(request.endsWith("\r\n\r\n" + body));
    QCOMPARE(wtest::alertTexts(g_alerts),
             QStringList{u"Thanks! / Comments submitted successfully."_qs});
    QCOMPARE(FindMyWindow(kFeedbackWindowTag, false), nullptr);
}

void FeedbackTest::reopeningTheFormBringsItForwardWithoutASecond()
{
    createFeedbackWindow();
    WindowRef form = FindMyWindow(kFeedbackWindowTag, false);
    QVERIFY(form);
    auto* logo = qobject_cast<QLabel*>(GetControlWidget(control(form, kFeedbackLogoID)));
    QVERIFY(!logo->pixmap().isNull()); // the logo is shown

    WindowRef other = nullptr;
    CreateWindowFromWidget(new QWidget, &other);
    ShowWindow(other);
    createFeedbackWindow();
    QCOMPARE(GetWindowList().size(), std::size_t(2)); // the form and the other
    QCOMPARE(FrontWindow(), form);
    QVERIFY(g_alerts->requests.empty());
}

void FeedbackTest::theMenuItemIsOfferedOnlyWithARealEndpoint_data()
{
    QTest::addColumn<QByteArray>("config"); // empty: the shipped one
    QTest::addColumn<bool>("offered");
    QTest::newRow("shipped placeholder") << QByteArray() << false;
    QTest::newRow("example.org recipient")
        << QByteArray("scheme=https\nhost=mail.quillon.net\nrecipient=me@example.org\n") << false;
    QTest::newRow("unreadable") << QByteArray("scheme=gopher\n") << false;
    QTest::newRow("a real host") << QByteArray("scheme=https\nhost=mail.quillon.net\n"
                                               "recipient=me@quillon.net\n")
                                 << true;
}

void FeedbackTest::theMenuItemIsOfferedOnlyWithARealEndpoint()
{
    QFETCH(QByteArray, config);
    QFETCH(bool, offered);
    if (GetMenuBarMenus().isEmpty())
        QCOMPARE(SetMenuBarFromNib(nibRef, QStringLiteral("MenuBar")), noErr);
    const QString shipped = QStringLiteral(TAVI_BUILD_SHARE_DIR "/feedback.conf");
    if (config.isEmpty()) { // its endpoint is a secure one, once it is filled in
        QVERIFY(readFeedbackEndpoint(shipped).url.startsWith("https://"));
        QVERIFY(readFeedbackEndpoint(shipped).recipient.contains('@'));
    }
    writeConfig(config.isEmpty() ? wtest::readFile(shipped) : config);
    showFeedbackChoice();
    QMenu* help = nullptr;
    QAction* send = wtest::menuItem("FBAK"_4cc, &help);
    QVERIFY(send);
    QCOMPARE(send->isEnabled(), offered);
    QVERIFY(help->toolTipsVisible());
    QCOMPARE(send->toolTip().contains(u"feedback.conf"_qs), !offered);
    send->trigger();
    QCOMPARE(FindMyWindow(kFeedbackWindowTag, false) != nullptr, offered);
    wtest::disposeAllWindows();
}

QTEST_MAIN(FeedbackTest)
#include "tst_feedback.moc"
