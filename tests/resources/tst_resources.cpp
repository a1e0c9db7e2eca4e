// Loads the interface resources from the build tree's
// share/tavi/ exactly as the program does, and checks every name, control
// identifier and command the code looks up: a missing one would otherwise
// only show at run time.

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRawFont>
#include <QSet>
#include <QTest>
#include <QUiLoader>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString shareDir()
{
    return QStringLiteral(TAVI_BUILD_SHARE_DIR);
}

// Warnings that QUiLoader prints while building (unknown property, enum or
// class); a resource that causes any is broken even if it loads.
QStringList* gLoaderWarnings = nullptr;
QtMessageHandler gPreviousHandler = nullptr;

void collectWarnings(QtMsgType type, const QMessageLogContext& ctx, const QString& msg)
{
    if (gLoaderWarnings && type != QtDebugMsg && type != QtInfoMsg)
        gLoaderWarnings->append(msg);
    else if (gPreviousHandler)
        gPreviousHandler(type, ctx, msg);
}

std::unique_ptr<QWidget> loadResource(const QString& name, QString* error)
{
    QFile file(shareDir() + u"/Tavi/"_s + name + u".ui"_s);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"cannot open "_s + file.fileName();
        return nullptr;
    }
    QStringList warnings;
    gLoaderWarnings = &warnings;
    gPreviousHandler = qInstallMessageHandler(collectWarnings);
    QUiLoader loader;
    std::unique_ptr<QWidget> w(loader.load(&file));
    qInstallMessageHandler(gPreviousHandler);
    gLoaderWarnings = nullptr;
    if (!w)
        *error = u"QUiLoader: "_s + loader.errorString();
    else if (!warnings.isEmpty())
        *error = u"warnings while loading: "_s + warnings.join(u"; "_s);
    return warnings.isEmpty() ? std::move(w) : nullptr;
}

#define LOAD_OR_FAIL(var, name)                                                                    \
    QString var##Error;                                                                            \
    const std::unique_ptr<QWidget> var = loadResource(name, &var##Error);                          \
    QVERIFY2(var, qPrintable(var##Error))

// Every object of the tree: widgets and actions alike.
QList<QObject*> allObjects(QWidget* root)
{
    QList<QObject*> all{root};
    all += root->findChildren<QObject*>();
    return all;
}

QAction* menuBarAction(QMainWindow* w, const QString& command)
{
    for (QAction* top : w->menuBar()->actions()) {
        if (!top->menu())
            continue;
        for (QAction* a : top->menu()->actions()) {
            if (a->property("command").toString() == command)
                return a;
        }
    }
    return nullptr;
}

} // namespace

class TestResources : public QObject {
    Q_OBJECT

private slots:
    void resourceLoadsWithWellFormedCodes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("topClass");
        QTest::newRow("MenuBar") << u"MenuBar"_s << u"QMainWindow"_s;
        QTest::newRow("LoadWindow") << u"LoadWindow"_s << u"QWidget"_s;
        QTest::newRow("DataBrowserWindow") << u"DataBrowserWindow"_s << u"QWidget"_s;
        QTest::newRow("ViewWindow") << u"ViewWindow"_s << u"QDialog"_s;
        QTest::newRow("FloatingWindow") << u"FloatingWindow"_s << u"QWidget"_s;
        QTest::newRow("HistoryWindow") << u"HistoryWindow"_s << u"QWidget"_s;
        QTest::newRow("FeedbackWindow") << u"FeedbackWindow"_s << u"QDialog"_s;
    }

    void resourceLoadsWithWellFormedCodes()
    {
        QFETCH(QString, name);
        QFETCH(QString, topClass);
        LOAD_OR_FAIL(w, name);
        QCOMPARE(w->objectName(), name);
        QVERIFY2(w->inherits(qPrintable(topClass)), w->metaObject()->className());
        QVERIFY(!w->windowTitle().isEmpty());
        QVERIFY(w->width() > 0 && w->height() > 0);
        // A command or signature trimmed of its blanks ("ok" for "ok  ") or an
        // id stored as text would silently never match.
        for (QObject* o : allObjects(w.get())) {
            QStringList codes;
            for (const char* prop : {"controlSignature", "command"}) {
                const QVariant v = o->property(prop);
                if (v.isValid()) {
                    QCOMPARE(v.typeId(), QMetaType::QString);
                    codes << v.toString();
                }
            }
            codes += o->property("itemCommands").toStringList();
            codes += o->property("columnProperties").toStringList();
            for (const QString& code : codes) {
                const bool latin1 = std::all_of(code.cbegin(), code.cend(), [](QChar c) {
                    return c.unicode() > 0x1F && c.unicode() < 0x7F;
                });
                QVERIFY2(code.size() == 4 && latin1,
                         qPrintable(o->objectName() + u": \""_s + code + u'"'));
            }
            const QVariant id = o->property("controlID");
            if (id.isValid())
                QVERIFY2(id.typeId() == QMetaType::Int, qPrintable(o->objectName()));
            QCOMPARE(id.isValid(), o->property("controlSignature").isValid());
        }
    }

    void requiredControlExistsOnceWithFittingType_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("signature"); // with "command": the command it issues
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("widgetClass");
        // The controls the window tests do not reach.
        const auto row = [](const QString& res, const QString& sig, int id, const QString& cls) {
            QTest::addRow("%s %s %d", qPrintable(res), qPrintable(sig), id)
                << res << sig << id << cls;
        };
        row(u"LoadWindow"_s, u"LOAD"_s, 128, u"QProgressBar"_s);
        row(u"DataBrowserWindow"_s, u"THNK"_s, 128, u"QProgressBar"_s);
        row(u"FloatingWindow"_s, u"SPEK"_s, 128, u"QToolButton"_s);
        // Buttons; menu bar items have a test of their own, and the
        // dictionary window test clicks "ok  ".
        row(u"FloatingWindow"_s, u"command ADD "_s, 0, u"QAbstractButton"_s);
        row(u"HistoryWindow"_s, u"command SHST"_s, 0, u"QAbstractButton"_s);
    }

    void requiredControlExistsOnceWithFittingType()
    {
        QFETCH(QString, name);
        QFETCH(QString, signature);
        QFETCH(int, id);
        QFETCH(QString, widgetClass);
        LOAD_OR_FAIL(w, name);
        QList<QObject*> found;
        for (QObject* o : allObjects(w.get())) {
            if (signature.startsWith(u"command "_s)
                    ? o->property("command").toString() == signature.mid(8)
                    : o->property("controlSignature").toString() == signature &&
                          o->property("controlID").toInt() == id)
                found.append(o);
        }
        QCOMPARE(found.size(), 1);
        QVERIFY2(found.first()->inherits(qPrintable(widgetClass)),
                 found.first()->metaObject()->className());
    }

    void menuBarCommandIsAMenuItemWithItsOwnShortcut_data()
    {
        QTest::addColumn<QString>("command");
        for (const QString& c :
             {u"DWIN"_s, u"LWIN"_s, u"LHWN"_s, u"VIEW"_s, u"FBAK"_s, u"SPEK"_s, u"quit"_s})
            QTest::newRow(qPrintable(c)) << c;
    }

    void menuBarCommandIsAMenuItemWithItsOwnShortcut()
    {
        QFETCH(QString, command);
        LOAD_OR_FAIL(w, u"MenuBar"_s);
        auto* mainWindow = qobject_cast<QMainWindow*>(w.get());
        QVERIFY(mainWindow);
        QAction* action = menuBarAction(mainWindow, command);
        QVERIFY2(action, "the command is not an item of any menu of the menu bar");
        QVERIFY(!action->text().isEmpty());
        QVERIFY(!action->shortcut().isEmpty());
        if (command == u"quit"_s)
            QCOMPARE(action->shortcut(), QKeySequence(u"Ctrl+Q"_s));

        // No other item of the menu bar shares the shortcut.
        for (QAction* top : mainWindow->menuBar()->actions()) {
            QVERIFY(top->menu());
            for (QAction* a : top->menu()->actions()) {
                if (a != action && !a->isSeparator())
                    QVERIFY2(a->shortcut() != action->shortcut(), qPrintable(a->objectName()));
            }
        }
    }

    // A character no installed font covers shows as an empty box in the list,
    // the caption and the floating window. The set-up installs fonts that cover
    // the whole shipped dictionary but for at most one character.
    void shippedCharactersHaveAGlyphInTheInstalledFonts()
    {
        QFile file(shareDir() + u"/dictionary.txt"_s);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QSet<char32_t> missing;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            if (!line.startsWith("U+"))
                continue;
            bool ok = false;
            const uint code = line.mid(2, line.indexOf('\t') - 2).toUInt(&ok, 16);
            if (ok)
                missing.insert(code);
        }
        QVERIFY(missing.size() > 40000);

        for (const QString& family : QFontDatabase::families()) {
            const QRawFont font = QRawFont::fromFont(QFont(family));
            if (!font.isValid())
                continue;
            for (auto it = missing.begin(); it != missing.end();)
                it = font.supportsCharacter(*it) ? missing.erase(it) : std::next(it);
        }

        QStringList names;
        for (char32_t c : missing)
            names.append(u"U+%1"_s.arg(uint(c), 4, 16, QChar(u'0')).toUpper());
        names.sort();
        QVERIFY2(missing.size() <= 1,
                 qPrintable(u"%1 characters without a glyph: %2"_s.arg(missing.size())
                                .arg(names.mid(0, 40).join(u' '))));
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
