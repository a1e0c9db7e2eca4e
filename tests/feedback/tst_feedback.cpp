// The feedback form and its post, against an HTTP server of the test's own
// on 127.0.0.1: the request as it arrives, the alerts of every outcome, the
// window's life and its logo. No request ever leaves the loopback address.

#include "app/appcommands.h"
#include "app/globals.h"
#include "app/servicesbridge.h"
#include "app/windowlookup.h"
#include "platform/alerts.h"
#include "platform/controls.h"
#include "platform/folders.h"
#include "platform/imageview.h"
#include "platform/nib.h"
#include "platform/urlaccess.h"
#include "platform/windows.h"
#include "tests/common/stdoutcapture.h"
#include "tests/common/testdoubles.h"
#include "tests/common/windowtesting.h"
#include "windows/feedback/feedbackendpoint.h"
#include "windows/feedback/feedbackwindow.h"

#include <QNetworkProxy>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>

#include <unistd.h>

namespace {

const QByteArray kSubject = "subject=Tavi%200%2E8b1%20Feedback%20%28in%2Dapp%29";
const QByteArray kRecipient = "comments@tavi.test";

struct Received {
    QByteArray method, path, contentType, body;
};

// Records each complete request and answers it as told.
class LoopbackServer : public QObject {
public:
    enum Answer { Ok, ServerError, Never };

    LoopbackServer()
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        });
    }
    bool listen() { return server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return server.serverPort(); }

    Answer answer = Ok;
    QList<Received> requests;

private:
    void read(QTcpSocket* socket)
    {
        QByteArray data = socket->property("data").toByteArray() + socket->readAll();
        socket->setProperty("data", data);
        const qsizetype end = data.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = data.left(end).split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        Received request{requestLine.value(0), requestLine.value(1), {}, {}};
        qsizetype length = 0;
        for (const QByteArray& line : lines.mid(1)) {
            const QByteArray name = line.left(line.indexOf(':')).trimmed().toLower();
            const QByteArray value = line.mid(line.indexOf(':') + 1).trimmed();
            if (name == "content-length")
                length = value.toLongLong();
            else if (name == "content-type")
                request.contentType = value;
        }
        if (data.size() < end + 4 + length)
            return;
        request.body = data.mid(end + 4, length);
        requests << request;
        if (answer == Never)
            return;
        socket->write(answer == Ok
                          ? "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nok\n"
                          : "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
        socket->disconnectFromHost();
    }

    QTcpServer server;
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

// Clicks Send; returns what the post printed.
QByteArray clickSend(WindowRef window)
{
    auto* send = GetWindowWidget(window)->findChild<QPushButton*>(u"sendButton"_qs);
    return send ? captureStdout([&] { QTest::mouseClick(send, Qt::LeftButton); }) : QByteArray("no button");
}

int feedbackWindowCount()
{
    int count = 0;
    for (WindowRef window : GetWindowList())
        count += GetWRefCon(window) == SRefCon(kFeedbackWindowTag);
    return count;
}

} // namespace

class FeedbackTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sendingPostsTheEscapedFormAndClosesTheWindow_data();
    void sendingPostsTheEscapedFormAndClosesTheWindow();
    void aFailedSendShowsTwoAlertsAndKeepsTheText_data();
    void aFailedSendShowsTwoAlertsAndKeepsTheText();
    void fbakWithTheFormOpenBringsItForwardWithoutASecond();
    void theLogoOrAnAlertNamingWhyNot_data();
    void theLogoOrAnAlertNamingWhyNot();
    void aMissingWindowResourceIsReported();
    void theShippedEndpointIsHttps();

private:
    void writeConfig(const QByteArray& text);
    QByteArray loopbackConfig(quint16 port) const;
    WindowRef openForm();

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
    SetBundleResourcesFolderOverride(m_bundle.path());
    QCOMPARE(CreateNibReference(QStringLiteral("Tavi"), &nibRef), noErr);
    QVERIFY(m_server.listen());
    InstallApplicationEventHandler(NewEventHandlerUPP(applicationEventHandler),
                                   GetEventTypeCount(kApplicationEventTypes), kApplicationEventTypes,
                                   nullptr, nullptr);
}

void FeedbackTest::init()
{
    writeConfig(loopbackConfig(m_server.port()));
    g_alerts->requests.clear();
    m_server.requests.clear();
    m_server.answer = LoopbackServer::Ok;
    SetURLAccessTimeLimit(kURLDefaultTimeLimit);
}

void FeedbackTest::cleanup()
{
    wtest::disposeAllWindows();
}

void FeedbackTest::writeConfig(const QByteArray& text)
{
    QFile file(m_bundle.filePath(QLatin1String(kFeedbackConfigFileName)));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

QByteArray FeedbackTest::loopbackConfig(quint16 port) const
{
    return "scheme = http\nhost = 127.0.0.1\nport = " + QByteArray::number(port) +
           "\nrecipient = " + kRecipient + '\n';
}

WindowRef FeedbackTest::openForm()
{
    createFeedbackWindow();
    return FindMyWindow(kFeedbackWindowTag, false);
}

void FeedbackTest::sendingPostsTheEscapedFormAndClosesTheWindow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("comments");
    QTest::addColumn<QByteArray>("fields"); // realname, email and description as sent
    QTest::newRow("empty fields") << QString() << QString() << QString()
                                  << QByteArray("realname=&email=&description=");
    QTest::newRow("punctuation and blanks")
        << u"Ann-Marie O'Neil"_qs << u"a.b_c~d@x.org"_qs << u"1+1=2 & 50%"_qs
        << QByteArray("realname=Ann%2DMarie%20O%27Neil&email=a%2Eb%5Fc%7Ed%40x%2Eorg"
                      "&description=1%2B1%3D2%20%26%2050%25");
    QTest::newRow("control characters as %0X")
        << u"tab\there"_qs << QString() << u"one\ntwo\n"_qs
        << QByteArray("realname=tab%09here&email=&description=one%0Atwo%0A");
    QTest::newRow("Chinese, accents and emoji as UTF-8")
        << u"王é"_qs << QString() << u"中文\U0001F600"_qs
        << QByteArray("realname=%E7%8E%8B%C3%A9&email=&description=%E4%B8%AD%E6%96%87%F0%9F%98%80");
}

void FeedbackTest::sendingPostsTheEscapedFormAndClosesTheWindow()
{
    QFETCH(QString, name);
    QFETCH(QString, email);
    QFETCH(QString, comments);
    QFETCH(QByteArray, fields);

    WindowRef window = openForm();
    QVERIFY(window);
    setText(window, kFeedbackNameID, name);
    setText(window, kFeedbackEmailID, email);
    setText(window, kFeedbackCommentsID, comments);
    const QByteArray printed = clickSend(window);

    const QByteArray body = "recipient=" + kRecipient + '&' + kSubject + '&' + fields;
    QCOMPARE(m_server.requests.size(), 1);
    const Received& request = m_server.requests.first();
    QCOMPARE(QByteArrayList({request.method, request.path, request.contentType, request.body}),
             QByteArrayList({"POST", "/cgi-bin/formmail.cgi", "application/x-www-form-urlencoded",
                             body}));
    QVERIFY(printed.contains('\n' + body + '\n')); // the trace line

    QCOMPARE(wtest::alertTexts(g_alerts), QStringList{u"Thanks! / Comments submitted successfully."_qs});
    QCOMPARE(FindMyWindow(kFeedbackWindowTag, false), nullptr);
}

void FeedbackTest::aFailedSendShowsTwoAlertsAndKeepsTheText_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("config"); // empty: the loopback server's
    QTest::addColumn<int>("requests");      // how many reach the server
    QTest::addColumn<QString>("firstAlert");

    const QString transmit =
        u" / Tavi encountered an error while trying to transmit the mesage."_qs;
    const QString opening = u" / Error opening connection"_qs;
    QTest::newRow("500 answer") << int(LoopbackServer::ServerError) << QByteArray() << 1
                                << u"Error (500)"_qs + transmit;
    QTest::newRow("no answer within the time limit")
        << int(LoopbackServer::Never) << QByteArray() << 1 << u"Error (-3259)"_qs + transmit;

    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const quint16 closedPort = closed.serverPort();
    closed.close();
    QTest::newRow("closed port") << int(LoopbackServer::Ok)
                                 << ("scheme=http\nhost=127.0.0.1\nport=" +
                                     QByteArray::number(closedPort) + "\nrecipient=a@b.test\n")
                                 << 0 << u"Error (-3260)"_qs + transmit;

    // A configuration that cannot be trusted posts nowhere.
    const QString badConfig = u"Error (-30773)"_qs + opening;
    QTest::newRow("config: no file")
        << int(LoopbackServer::Ok) << QByteArray("-") << 0 << badConfig;
    QTest::newRow("config: ftp") << int(LoopbackServer::Ok)
                                 << QByteArray("scheme=ftp\nhost=127.0.0.1\nrecipient=a@b.test\n")
                                 << 0 << badConfig;
    QTest::newRow("config: bad port") << int(LoopbackServer::Ok)
                                      << QByteArray("scheme=http\nhost=127.0.0.1\nport=70000\n"
                                                    "recipient=a@b.test\n")
                                      << 0 << badConfig;
    QTest::newRow("config: recipient adds a field")
        << int(LoopbackServer::Ok)
        << QByteArray("scheme=http\nhost=127.0.0.1\nrecipient=a@b.test&subject=x\n") << 0
        << badConfig;
}

void FeedbackTest::aFailedSendShowsTwoAlertsAndKeepsTheText()
{
    QFETCH(int, answer);
    QFETCH(QByteArray, config);
    QFETCH(int, requests);
    QFETCH(QString, firstAlert);

    m_server.answer = LoopbackServer::Answer(answer);
    SetURLAccessTimeLimit(300);
    if (config == "-")
        QFile::remove(m_bundle.filePath(QLatin1String(kFeedbackConfigFileName)));
    else if (!config.isEmpty())
        writeConfig(config);

    WindowRef window = openForm();
    QVERIFY(window);
    setText(window, kFeedbackNameID, u"Wang"_qs);
    setText(window, kFeedbackCommentsID, u"中文 please"_qs);
    clickSend(window);

    QCOMPARE(m_server.requests.size(), requests);
    QCOMPARE(wtest::alertTexts(g_alerts),
             (QStringList{firstAlert, u"Error / Tavi was not able to submit your comments."_qs}));
    QCOMPARE(FindMyWindow(kFeedbackWindowTag, false), window);
    QCOMPARE(text(window, kFeedbackNameID), u"Wang"_qs);
    QCOMPARE(text(window, kFeedbackCommentsID), u"中文 please"_qs);
}

void FeedbackTest::fbakWithTheFormOpenBringsItForwardWithoutASecond()
{
    sendApplicationCommand("FBAK"_4cc);
    WindowRef form = FindMyWindow(kFeedbackWindowTag, false);
    QVERIFY(form);

    auto* other = new QWidget;
    WindowRef front = nullptr;
    CreateWindowFromWidget(other, &front);
    ShowWindow(front);
    QCOMPARE(FrontWindow(), front);

    sendApplicationCommand("FBAK"_4cc);
    QCOMPARE(feedbackWindowCount(), 1);
    QCOMPARE(FrontWindow(), form);
    QVERIFY(g_alerts->requests.empty());
}

void FeedbackTest::theLogoOrAnAlertNamingWhyNot_data()
{
    QTest::addColumn<QByteArray>("logo"); // null: no file
    QTest::addColumn<QStringList>("alerts");
    QTest::addColumn<bool>("shown");
    QFile good(QStringLiteral(TAVI_BUILD_SHARE_DIR "/small_logo.png"));
    QVERIFY(good.open(QIODevice::ReadOnly));
    QTest::newRow("the logo") << good.readAll() << QStringList() << true;
    QTest::newRow("no file") << QByteArray()
                             << QStringList{u"Error / Unable to create Quillon logo reference"_qs}
                             << false;
    QTest::newRow("not a PNG") << QByteArray("GIF89a not really")
                               << QStringList{u"Error / Unable to create image from file"_qs}
                               << false;
}

void FeedbackTest::theLogoOrAnAlertNamingWhyNot()
{
    QFETCH(QByteArray, logo);
    QFETCH(QStringList, alerts);
    QFETCH(bool, shown);

    const QString path = m_bundle.filePath(u"small_logo.png"_qs);
    QFile::remove(path);
    if (!logo.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(logo);
    }

    WindowRef window = openForm();
    QFile::remove(path);
    QVERIFY(QFile::copy(QStringLiteral(TAVI_BUILD_SHARE_DIR "/small_logo.png"), path));

    QVERIFY(window);
    QVERIFY(IsWindowVisible(window)); // with or without the logo
    QCOMPARE(wtest::alertTexts(g_alerts), alerts);
    CGImageRef image = HIImageViewCopyImage(control(window, kFeedbackLogoID));
    QCOMPARE(image != nullptr, shown);
    if (image) {
        QCOMPARE(CGImageGetWidth(image), std::size_t(240));
        QCOMPARE(CGImageGetHeight(image), std::size_t(64));
    }
    CGImageRelease(image);
}

void FeedbackTest::aMissingWindowResourceIsReported()
{
    QTemporaryDir empty;
    QVERIFY(QDir(empty.path()).mkpath(u"Tavi"_qs));
    IBNibRef saved = nibRef;
    nibRef = new NibReference(empty.filePath(u"Tavi"_qs));
    createFeedbackWindow();
    delete nibRef;
    nibRef = saved;
    QCOMPARE(wtest::alertTexts(g_alerts), QStringList{u"Error (-10962) / Could not load feedback window"_qs});
    QCOMPARE(feedbackWindowCount(), 0);
}

void FeedbackTest::theShippedEndpointIsHttps()
{
    const FeedbackEndpoint shipped =
        readFeedbackEndpoint(QStringLiteral(TAVI_BUILD_SHARE_DIR "/feedback.conf"));
    QVERIFY(shipped.url.startsWith("https://"));
    QVERIFY(shipped.url.endsWith("/cgi-bin/formmail.cgi"));
    QVERIFY(shipped.recipient.contains('@'));
}

QTEST_MAIN(FeedbackTest)
#include "tst_feedback.moc"
