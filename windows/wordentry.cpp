#include "windows/wordentry.h"

#include "store/dictionary.h"

bool isKnownWordRef(int64_t ref)
{
    return isWordRef(ref) && wordOfRef(ref) < words::programWords().size();
}

QString wordRefForm(int64_t ref)
{
    if (!isKnownWordRef(ref))
        return QString();
    return words::programWords().form(wordOfRef(ref), isTraditionalRef(ref));
}

words::Word wordOfWordRef(int64_t ref)
{
    return isKnownWordRef(ref) ? words::programWords().word(wordOfRef(ref)) : words::Word();
}

QString wordReading(const words::Word& word)
{
    QString marked = dict.pinyinize(word.pinyin.toUtf8().constData());
    if (marked.isNull())
        return word.pinyin;
    // A name keeps its capitals: "Zhong1 guo2" is "Zhōng guó".
    const QStringList given = word.pinyin.split(u' ');
    QStringList syllables = marked.split(u' ');
    for (qsizetype i = 0; i < syllables.size() && i < given.size(); ++i) {
        if (!given[i].isEmpty() && given[i][0].isUpper() && !syllables[i].isEmpty())
            syllables[i][0] = syllables[i][0].toUpper();
    }
    return syllables.join(u' ');
}

QByteArray wordSpeechText(const words::Word& word)
{
    return word.pinyin.toLower().toUtf8().replace("u:", "v");
}

QString wordSenses(const words::Word& word)
{
    return word.senses.join(QStringLiteral("; "));
}

int64_t wordRefOfCodes(const std::vector<uint32_t>& codes)
{
    const QString form =
        QString::fromUcs4(reinterpret_cast<const char32_t*>(codes.data()), qsizetype(codes.size()));
    const words::WordStore& store = words::programWords();
    const std::vector<uint32_t> found = store.wordsOfForm(form);
    if (form.isEmpty() || found.empty())
        return -1;
    // The simplified form unless only the traditional one is this text.
    return wordRef(found.front(), store.form(found.front(), false) != form);
}

std::vector<uint32_t> wordRefsWithCharacter(char32_t character)
{
    const words::WordStore& store = words::programWords();
    const QString c = QString::fromUcs4(&character, 1);
    std::vector<uint32_t> refs;
    for (uint32_t w : store.wordsContaining(character, kWordsWithCharacter))
        refs.push_back(wordRef(w, !store.form(w, false).contains(c)));
    return refs;
}
