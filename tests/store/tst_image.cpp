#include "storetest.h"

#include "store/dictionary.h"
#include "store/image.h"
#include "store/locations.h"
#include "store/searchindex.h"

#include <QtTest>

namespace {

// Lines that take every path of the loader: each display rule, invalid
// UTF-8, a key of several code points, a key without fields, a key that
// comes back later, and a field given twice.
const QByteArray kText =
    QByteArrayLiteral("U+4E00\tkMandarin\tyi1\n"
                      "U+4E00\tkDefinition\tone; a, an\n"
                      "U+4E00\tkRSUnicode\t1.0\n"
                      "U+570B\tkSimplifiedVariant\tU+56FD<kMatthews U+20000\n"
                      "U+570B\tkHangul\t\xea\xb5\xad:0E\n"
                      "U+570B\tkDefinition\tbad \xff byte\n"
                      "U+6C34+6C34\tkDefinition\ttwo waters\n"
                      "U+4E2D\n"
                      "U+4E00\tkTotalStrokes\t1\n"
                      "U+4E00\tkDefinition\tone, replaced\n"
                      "U+20000\tkDefinition\t(same as U+5316 \xe5\x8c\x96) to change\n");

// Each entry's key and its values as text, in the store's order.
QStringList describe(const dictionary& d)
{
    QStringList out;
    for (const characterEntry* e : d.entries) {
        QString line = e->display + QString::number(e->index);
        for (const dictValue* v : e->values)
            line += u'|' + QString::fromUtf8(d.fields[size_t(v->field)]->name) + u'=' +
                    QString::fromUtf8(v->text()) + u'>' +
                    (v->hasDisplay() ? v->display() : QStringLiteral("(none)"));
        out << line;
    }
    for (const dictFields* f : d.fields)
        out << QString::fromUtf8(f->name) + u' ' + QString::number(f->width);
    return out;
}

// Every entry's search form in each field, and the entries some needles find.
QStringList searchesOf(const dictionary& d, dictsearch::SearchIndex& index)
{
    QStringList out;
    for (int field = -1; field < int(d.fields.size()); ++field) {
        for (const characterEntry* e : d.entries) {
            QStringView form;
            if (index.valueForm(field, e, &form))
                out << QString::number(field) + u' ' + e->display + u' ' + form.toString();
        }
        for (const char16_t* needle : {u"one", u"yi", u"\u56FD", u"mine", u"edited", u"change"}) {
            std::vector<uint8_t> hits(d.entries.size(), 0);
            index.markWords(field, QStringView(needle), hits);
            const QByteArray marks(reinterpret_cast<const char*>(hits.data()),
                                   qsizetype(hits.size()));
            out << QString::number(field) + u' ' + QStringView(needle).toString() + u' ' +
                       QString::fromLatin1(marks.toHex());
        }
    }
    return out;
}

void loadIndex(dictionary& d)
{
    StdoutCapture out;
    d.loadIndex(fixturePath("small.txt").constData());
}

} // namespace

class ImageTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    // The text and the image made of it, as the build leaves them.
    void writeResources(const QByteArray& text)
    {
        QVERIFY(writeFile(path("dictionary.txt"), text));
        QVERIFY(QFile::copy(QString::fromUtf8(fixturePath("small.txt.index")),
                            path("dictionary.txt.index")) ||
                QFile::exists(path("dictionary.txt.index")));
        dictionary d;
        loadIndex(d);
        StderrCapture err;
        d.load(path("dictionary.txt").toUtf8().constData(), nullptr);
        err.finish();
        QVERIFY(stampOfText(path("dictionary.txt").toUtf8().constData(), &stamp));
        QVERIFY(writeFile(path("dictionary.dat"), makeDictionaryImage(d, stamp)));
    }
    TextStamp stamp;

private slots:
    // The image gives the store that loading its text gives, and the user's
    // edits then go on top of it as they do on top of the text.
    void sameStoreAsTheText()
    {
        writeResources(kText);
        dictionary fromText, fromImage;
        loadIndex(fromText);
        loadIndex(fromImage);
        StderrCapture err;
        fromText.load(path("dictionary.txt").toUtf8().constData(), nullptr);
        QString why;
        const bool ok = fromImage.loadImage(path("dictionary.dat"), stamp, &why);
        err.finish();
        QVERIFY2(ok, qPrintable(why));
        QCOMPARE(describe(fromImage), describe(fromText));
        QCOMPARE(fromImage.lookup(0x570B)->lookup(fromImage.findField("kHangul"))->display(),
                 QStringLiteral("국"));

        const QByteArray user = "U+4E00\tkDefinition\tmine\nU+9F8D\tkMandarin\tlong2\n";
        QVERIFY(writeFile(path("user.txt"), user));
        for (dictionary* d : {&fromText, &fromImage}) {
            StderrCapture quiet;
            d->load(path("user.txt").toUtf8().constData(), nullptr);
            d->setValue(d->lookup(0x20000)->values[0], "edited", QStringLiteral("edited"));
        }
        QCOMPARE(describe(fromImage), describe(fromText));
    }

    // The image's search forms find what forms made from the store find,
    // also after the user's file and edits change values of its entries.
    void searchFormsAsMade()
    {
        writeResources(kText);
        QVERIFY(
            writeFile(path("user.txt"), "U+4E00\tkDefinition\tmine\nU+9F8D\tkMandarin\tlong2\n"));
        dictionary fromText, fromImage;
        loadIndex(fromText);
        loadIndex(fromImage);
        dictsearch::SearchIndex byText(&fromText), byImage(&fromImage);
        {
            StderrCapture quiet;
            fromText.load(path("dictionary.txt").toUtf8().constData(), nullptr);
            QVERIFY(fromImage.loadImage(path("dictionary.dat"), stamp, nullptr));
            QVERIFY(!fromImage.imageForms.isEmpty());
            for (dictionary* d : {&fromText, &fromImage})
                d->load(path("user.txt").toUtf8().constData(), nullptr);
        }
        // An edit before the forms are wanted, and one after.
        auto edit = [](dictionary& d, dictsearch::SearchIndex& index, const char* text) {
            characterEntry* e = d.lookup(0x20000);
            d.setValue(e->values[0], text, QString::fromUtf8(text));
            index.valueChanged(e, e->values[0]->field);
        };
        edit(fromText, byText, "edited");
        edit(fromImage, byImage, "edited");
        QCOMPARE(searchesOf(fromImage, byImage), searchesOf(fromText, byText));
        edit(fromText, byText, "changed again");
        edit(fromImage, byImage, "changed again");
        QCOMPARE(searchesOf(fromImage, byImage), searchesOf(fromText, byText));

        // Damaged forms are made anew from the store, and said once.
        QByteArray bytes = readFile(path("dictionary.dat"));
        uint32_t formsSize;
        memcpy(&formsSize, bytes.constData() + 12, 4);
        const qsizetype forms = bytes.size() - formsSize;
        uint32_t record[4];
        memcpy(record, bytes.constData() + forms + 4 + 16 * 3, sizeof record); // a field's
        memset(bytes.data() + forms + record[0], 0x7F, 8);                     // its first starts
        QVERIFY(writeFile(path("damaged.dat"), bytes));
        dictionary damaged;
        loadIndex(damaged);
        QVERIFY(damaged.loadImage(path("damaged.dat"), stamp, nullptr));
        dictsearch::SearchIndex byDamaged(&damaged);
        dictionary plain;
        loadIndex(plain);
        StderrCapture err;
        plain.load(path("dictionary.txt").toUtf8().constData(), nullptr);
        dictsearch::SearchIndex byPlain(&plain);
        const QStringList expected = searchesOf(plain, byPlain);
        err.finish();
        StderrCapture damageErr;
        const QStringList got = searchesOf(damaged, byDamaged);
        const QByteArray said = damageErr.finish();
        QCOMPARE(got, expected);
        QCOMPARE(said.count("search forms of the dictionary image are damaged"), 1);
    }

    // A damaged or foreign image is refused before the store changes: its
    // header, and every entry, value and value's strings.
    void damagedImageIsRefused()
    {
        writeResources(kText);
        const QByteArray good = readFile(path("dictionary.dat"));
        uint32_t counts[6];
        memcpy(counts, good.constData() + 32, sizeof counts);
        const qsizetype values =
            (56 + 12 * counts[0] + 8 * (counts[1] + 1) + 4 * counts[2] + 7) & ~7;
        const qsizetype strings = (values + 16 * counts[3] + counts[4] + 7) & ~7;
        // The first value's distance to its strings, which come first.
        const uint32_t distance = uint32_t(strings - values);
        const qsizetype kCut = -1; // the file cut short where `to` says
        const struct {
            qsizetype at;
            uint32_t to;
            const char* reason;
        } cases[] = {
            {kCut, 0, "not a dictionary image"},
            {kCut, uint32_t(good.size() - 3), "its size does not match its header"},
            {0, 'X', "not a dictionary image of this machine"},
            {16, 0x7F, "made from another dictionary.txt"}, // the text's size
            {24, 0x7F, "made from another dictionary.txt"}, // its hash
            {36, 0x7F, "its size does not match its header"},
            {56 + 4, 0x7F, "a field name lies outside the file"},
            {values, 99, "a value is damaged"},
            {values + 4, 1, "a value is damaged"},
            {values + 8, distance + counts[5], "a value lies outside the file"},
            {values + 8, distance + 2, "a value lies outside the file"},
            {values + 8, 0, "a value lies outside the file"},
            {values + 8, distance - 8, "a value lies outside the file"},
            {strings, 0x7FFFFFF0, "a value's text lies outside the file"},
            {strings + 4, 0x7FFFFFF0, "a value's display lies outside the file"},
            {strings + 4, uint32_t(-7), "a value's display is damaged"},
            {56 + 12 * counts[0] + 8, 0, "an entry lies outside the file"},
        };
        for (const auto& c : cases) {
            QByteArray bytes = good;
            if (c.at == kCut)
                bytes.truncate(c.to);
            else
                memcpy(bytes.data() + c.at, &c.to, 4);
            QVERIFY(writeFile(path("damaged.dat"), bytes));
            dictionary d;
            loadIndex(d);
            QString why;
            QVERIFY(!d.loadImage(path("damaged.dat"), stamp, &why));
            QCOMPARE(why, QString::fromUtf8(c.reason));
            QCOMPARE(d.count, 0u);
            QVERIFY(d.entries.empty());
        }
    }

    // The start uses the image when it was made of the text beside it, and
    // otherwise reads the text and says why.
    void startReadsTheTextWhenTheImageCannotBeUsed()
    {
        writeResources(kText);
        const std::string resources = dir.path().toStdString();
        auto start = [&](QByteArray* said) {
            dictionary d;
            StderrCapture err;
            const DictionaryLoadReport report = loadDictionaries(&d, nullptr, resources);
            *said = err.finish();
            return report.shippedReadable() ? describe(d).join(u'\n') : QString();
        };
        // The text's line of invalid UTF-8 is said only when it is read.
        QByteArray said;
        QVERIFY(start(&said).contains(QStringLiteral("two waters")));
        QCOMPARE(said, QByteArray());

        // Another text of the same size.
        QByteArray other = kText;
        other.replace("two waters", "TWO WATERS");
        QVERIFY(writeFile(path("dictionary.txt"), other));
        QVERIFY(start(&said).contains(QStringLiteral("TWO WATERS")));
        QVERIFY2(said.contains("could not be used (made from another dictionary.txt); reading"),
                 said);

        // No image is no fault: only the text's own diagnostics.
        QVERIFY(QFile::remove(path("dictionary.dat")));
        QVERIFY(start(&said).contains(QStringLiteral("TWO WATERS")));
        QVERIFY2(said.contains("invalid UTF-8") && !said.contains("dictionary image"), said);
    }
};

QTEST_GUILESS_MAIN(ImageTest)
#include "tst_image.moc"
