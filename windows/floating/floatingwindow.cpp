#include "windows/floating/floatingwindow.h"

#include "app/globals.h"
#include "app/prefs.h"
#include "app/speech.h"
#include "app/windowlookup.h"
#include "platform/controls.h"
#include "platform/drawnicon.h"
#include "platform/databrowser.h"
#include "platform/menus.h"
#include "platform/nib.h"
#include "platform/searchfield.h"
#include "platform/windowgroups.h"
#include "platform/windows.h"
#include "store/dictionary.h"
#include "store/textutil.h"
#include "store/trace.h"
#include "windows/wordentry.h"

#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QStyle>
#include <QToolButton>
#include <QWidget>

#include <algorithm>
#include <cstdio>

uint32_t ukBuffer[kNotFoundCharacterLimit];
std::size_t ukBufferLen = 0;

namespace {

SInt32 lastIndex = 0;
// False while the window shows a text that is not in the dictionary.
bool showsEntry = true;

constexpr EventTypeSpec kFloatingWindowEvents[] = {
    {kEventClassCommand, kEventCommandProcess},
    {kEventClassWindow, kEventWindowClose},
    {kEventClassWindow, kEventWindowToolbarSwitchMode},
};

ControlRef floatingControl(WindowRef window, FourCharCode signature)
{
    const ControlID id{signature, 128};
    ControlRef control = nullptr;
    GetControlByID(window, &id, &control);
    return control;
}

// Characters of a text: a surrogate pair is one.
std::size_t characterCount(const QString& text)
{
    return std::size_t(tavi_text::codePointCount(text));
}

// A variant field lists forms apart by blanks, often the entry's own
// character among them (叶 lists 叶 and 葉 as its traditional forms): the
// first form that differs from the character, or none.
QString alternativeForm(const QString& listed, const QString& own)
{
    for (const QStringView form : QStringView(listed).split(u' ', Qt::SkipEmptyParts)) {
        if (form != own)
            return form.toString();
    }
    return QString();
}

OSStatus setText(ControlRef control, const QString& text)
{
    return SetControlData(control, kControlEntireControl, kControlStaticTextCFStringTag,
                          sizeof text, &text);
}

QString shownCharacterText;
std::function<void(const QString&)> characterObserver;
// The character's size relative to the designed one: less than 1 on a
// screen too short for the designed character box.
double characterScale = 1.0;

// The character text, sized by the size rule (or at the size given) and centred.
void setCharacterText(WindowRef window, const QString& text, std::size_t characters,
                      SInt16 size = 0)
{
    ControlRef control = floatingControl(window, "CHAR"_4cc);
    ControlFontStyleRec style{};
    style.flags = kControlUseSizeMask | kControlUseJustMask;
    style.size = size > 0 ? size : characterTextSize(characters);
    style.size = SInt16(std::max(1.0, style.size * characterScale));
    style.just = teCenter;
    OSStatus err =
        SetControlData(control, kControlEntireControl, kControlFontStyleTag, sizeof style, &style);
    if (err != noErr)
        minorError("Error", "Could not set floating window data", err);
    err = setText(control, text);
    if (err != noErr) {
        minorError("Error", "Could not set floating window data", err);
        qCDebug(taviTrace, "Got char error %d", int(err));
    }
    shownCharacterText = text;
    if (characterObserver)
        characterObserver(text);
}

void setFieldText(WindowRef window, FourCharCode signature, const QString& text)
{
    const OSStatus err = setText(floatingControl(window, signature), text);
    if (err != noErr)
        minorError("Error", "Could not set floating window data", err);
}

// Refills a pop-up with the fields of one kind and chooses the field whose
// code is `chosen`; keepFirst keeps the resource's first item.
void fillFieldPopup(WindowRef window, FourCharCode signature, int32_t kind, uint32_t chosen,
                    bool keepFirst, const char* menuError, const char* textError)
{
    ControlRef popup = floatingControl(window, signature);
    MenuRef menu = nullptr;
    const OSStatus err =
        GetControlData(popup, kControlEntireControl, kControlPopupButtonMenuHandleTag, sizeof menu,
                       &menu, nullptr);
    if (err != noErr || !menu) {
        if (menuError)
            minorError("Error", menuError, err);
        return;
    }
    const MenuItemIndex first = keepFirst ? 2 : 1;
    while (CountMenuItems(menu) >= first)
        DeleteMenuItem(menu, first);
    SetControl32BitMaximum(popup, 1);
    SInt32 count = keepFirst ? 1 : 0;
    // The first item of the character pop-up stands for the entry's own
    // character, which is shown when no field has the chosen code; the other
    // pop-ups then show no choice.
    SInt32 choice = keepFirst ? 1 : 0;
    bool matched = false;
    for (const dictFields* f : dict.fields) {
        if (f->kind != kind)
            continue;
        const OSStatus status = AppendMenuItemTextWithCFString(menu, f->title, 0, f->code, nullptr);
        ++count;
        if (status != noErr && textError)
            minorError("Error", textError, status);
        if (!matched && f->code == chosen) {
            choice = count;
            matched = true;
        }
    }
    SetControl32BitMaximum(popup, count);
    SetControl32BitValue(popup, choice);
}

// Folds the window up to its title strip, or opens it out again. The strip
// with the toolbar button stays, so the window can be opened out again.
void setFloatingWindowExpanded(WindowRef window, bool expanded)
{
    if (QWidget* top = GetWindowWidget(window)) {
        if (auto* content = top->findChild<QWidget*>(QStringLiteral("floatingContent")))
            content->setVisible(expanded);
        if (auto* button = top->findChild<QToolButton*>(QStringLiteral("toolbarButton")))
            button->setArrowType(expanded ? Qt::UpArrow : Qt::DownArrow);
        if (top->layout())
            top->layout()->activate(); // the minimum size follows at once
    }
    SizeWindow(window, kFloatingWidth,
               expanded ? kFloatingExpandedHeight : kFloatingCollapsedHeight, true);
}

// A screen too short for the whole window (a large scale factor on a small
// screen) gets a lower character box and a smaller character, down to half
// of each, so that the reading, the definition and the button stay on the
// screen with it.
void fitCharacterBoxToScreen(WindowRef window)
{
    QWidget* top = GetWindowWidget(window);
    auto* box = top ? top->findChild<QLabel*>(QStringLiteral("characterText")) : nullptr;
    characterScale = 1.0;
    if (!box || !top->layout())
        return;
    // The add button shows only for a text the dictionary lacks.
    HideControl(floatingControl(window, "ADD "_4cc));
    const int designed = box->minimumHeight();
    const int room = GetWindowAvailableSize(window).height();
    // A hidden window's layouts wait for it to show: measure them now.
    const auto remeasure = [box, top] {
        box->parentWidget()->updateGeometry();
        top->layout()->activate();
    };
    remeasure();
    const int over = top->minimumSizeHint().height() - room;
    if (over <= 0)
        return;
    const int height = std::max(designed / 2, designed - over);
    box->setMinimumHeight(height);
    characterScale = double(height) / designed;
    // The window's minimum follows now, before it is fitted to the screen.
    remeasure();
}

bool isExpanded(WindowRef window)
{
    Rect bounds{};
    GetWindowBounds(window, kWindowContentRgn, &bounds);
    return bounds.bottom - bounds.top > kFloatingExpandedLimit;
}

// Opens the window at its saved corner while its title bar, by which it is
// dragged, lies on a screen (a screen may have gone since it was saved).
// Otherwise it opens beside the dictionary window's top-right corner (or
// the screen's), frame and all on that screen.
void placeFloatingWindow(WindowRef window)
{
    if (WindowPositionsAreHidden())
        return; // the compositor places it

    Rect content{};
    GetWindowBounds(window, kWindowContentRgn, &content);
    const int width = content.right - content.left;
    const int height = content.bottom - content.top;
    Rect frame{}; // the widths of the frame at each side
    GetWindowStructureWidths(window, &frame);
    Rect placed;

    if (globals.FloatLeftCorner != -1 && globals.FloatTopCorner != -1) {
        // The corners are those of the content; placing the content keeps the
        // window where it was, whatever frame the window system adds.
        const auto left = SInt16(globals.FloatLeftCorner);
        const auto top = SInt16(globals.FloatTopCorner);
        Rect titleBar;
        SetRect(&titleBar, left, short(top - std::max<int>(frame.top, 1)), short(left + width),
                top);
        if (GetAvailableWindowPositioningBounds(&titleBar, nullptr)) {
            SetRect(&placed, left, top, short(left + width), short(top + height));
            SetWindowBounds(window, kWindowContentRgn, &placed);
            return;
        }
    }

    constexpr int kGap = 8;
    Rect beside{};
    WindowRef dictionaryWindow = FindMyWindow(kDictionaryWindowTag, false);
    const bool nearDictionary =
        dictionaryWindow &&
        GetWindowBounds(dictionaryWindow, kWindowStructureRgn, &beside) == noErr;
    Rect screen{};
    GetAvailableWindowPositioningBounds(nearDictionary ? &beside : nullptr, &screen);
    if (!nearDictionary)
        beside = screen;
    const int frameWidth = frame.left + width + frame.right;
    const int frameHeight = frame.top + height + frame.bottom;
    // Right of the corner when there is room, else just inside it.
    int left = nearDictionary ? beside.right + kGap : beside.right - frameWidth - kGap;
    if (left + frameWidth > screen.right)
        left = beside.right - frameWidth - kGap;
    int top = beside.top + (nearDictionary ? 0 : kGap);
    left =
        std::clamp(left, int(screen.left), std::max<int>(screen.left, screen.right - frameWidth));
    top = std::clamp(top, int(screen.top), std::max<int>(screen.top, screen.bottom - frameHeight));
    SetRect(&placed, short(left + frame.left), short(top + frame.top),
            short(left + frame.left + width), short(top + frame.top + height));
    SetWindowBounds(window, kWindowContentRgn, &placed);
}

// The list of words below a character's definition: made on first use in
// the definition's scroll area, each word a link that shows it.
QLabel* wordListLabel(WindowRef window, bool make)
{
    QWidget* top = GetWindowWidget(window);
    if (!top)
        return nullptr;
    auto* label = top->findChild<QLabel*>(QStringLiteral("wordsText"));
    auto* layout = top->findChild<QLayout*>(QStringLiteral("definitionLayout"));
    if (label || !make || !layout)
        return label;
    label = new QLabel(layout->parentWidget());
    label->setObjectName(QStringLiteral("wordsText"));
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    layout->addWidget(label);
    QObject::connect(label, &QLabel::linkActivated, label, [](const QString& link) {
        bool ok = false;
        const uint ref = link.section(u':', 1).toUInt(&ok);
        WindowRef floating = FindMyWindow(kFloatingWindowTag, false);
        if (ok && floating && isKnownWordRef(ref))
            loadFloatingWindowData(floating, SInt32(ref));
    });
    return label;
}

void showWordsWith(WindowRef window, const characterEntry* e)
{
    const std::vector<uint32_t> refs = e && e->codes.size() == 1
                                           ? wordRefsWithCharacter(e->codes.front())
                                           : std::vector<uint32_t>();
    QLabel* label = wordListLabel(window, !refs.empty());
    if (!label)
        return;
    label->setVisible(!refs.empty());
    QString html;
    if (!refs.empty())
        html = QStringLiteral("<p>Words with %1:</p>").arg(e->display.toHtmlEscaped());
    for (uint32_t ref : refs) {
        const words::Word w = wordOfWordRef(ref);
        const QString gloss = w.senses.isEmpty() ? QString() : w.senses.front().section(u';', 0, 0);
        html += QStringLiteral("<a href=\"word:%1\">%2</a> %3 <i>%4</i><br>")
                    .arg(ref)
                    .arg(wordRefForm(ref).toHtmlEscaped(), wordReading(w).toHtmlEscaped(),
                         gloss.toHtmlEscaped());
    }
    label->setText(html);
}

// A word on one line where it fits: up to four characters at full width.
SInt16 wordTextSize(std::size_t n)
{
    return SInt16(std::clamp<std::size_t>(132 / std::max<std::size_t>(n, 1), 14, 57));
}

void showWord(WindowRef window, int64_t ref)
{
    const words::Word w = wordOfWordRef(ref);
    QString shown = wordRefForm(ref);
    // The traditional and simplified modes show the word in that script.
    const FloatingFields fields = chooseFloatingFields();
    if (fields.character >= 0) {
        const QByteArray& name = dict.fields[std::size_t(fields.character)]->name;
        if (name == "kTraditionalVariant")
            shown = w.traditional;
        else if (name == "kSimplifiedVariant")
            shown = w.simplified;
    }
    const std::size_t n = characterCount(shown);
    setCharacterText(window, shown, n, wordTextSize(n));
    setFieldText(window, "ROMN"_4cc, wordReading(w));
    applyFloatingReadingSize(window);
    setFieldText(window, "DEFN"_4cc, wordSenses(w));
    showWordsWith(window, nullptr);
}

} // namespace

FloatingFields chooseFloatingFields()
{
    FloatingFields chosen;
    for (std::size_t i = 0; i < dict.fields.size(); ++i) {
        const dictFields* f = dict.fields[i];
        if (chosen.romanization < 0 && f->kind == kRomanization &&
            f->code == globals.floatingRomanType)
            chosen.romanization = int(i);
        if (chosen.definition < 0 && f->kind == kDefinition && f->code == globals.floatingDefnType)
            chosen.definition = int(i);
        if (chosen.character < 0 && f->kind == kAltCharacter && f->code == globals.floatingCharType)
            chosen.character = int(i);
    }
    return chosen;
}

SInt16 characterTextSize(std::size_t n)
{
    // The smallest k with k * k >= n; an empty text is sized as one character.
    std::size_t k = 1;
    while (k * k < n)
        ++k;
    return SInt16(114 / k);
}

void createFloatingWindow()
{
    if (WindowRef window = FindMyWindow(kFloatingWindowTag, true)) {
        if (!isExpanded(window))
            setFloatingWindowExpanded(window, true);
        return;
    }

    WindowRef window = nullptr;
    const OSStatus err = CreateWindowFromNib(nibRef, QStringLiteral("FloatingWindow"), &window);
    if (err != noErr || !window) {
        minorError("Error", "Could not load floating window", err);
        return;
    }
    HIWindowChangeClass(window, kUtilityWindowClass);
    if (WindowRef dictionaryWindow = FindMyWindow(kDictionaryWindowTag, false))
        SetWindowParentWindow(window, dictionaryWindow);
    ChangeWindowAttributes(window, kWindowToolbarButtonAttribute, kWindowNoAttributes);

    fitCharacterBoxToScreen(window);
    placeFloatingWindow(window);

    InstallWindowEventHandler(window, NewEventHandlerUPP(floatingWindowCommandHandler),
                              GetEventTypeCount(kFloatingWindowEvents), kFloatingWindowEvents,
                              window, nullptr);
    SetWRefCon(window, kFloatingWindowTag);

    if (QWidget* top = GetWindowWidget(window)) {
        if (auto* speak = top->findChild<QToolButton*>(QStringLiteral("speakButton")))
            speak->setIcon(
                QIcon::fromTheme(QStringLiteral("audio-volume-high"), DrawnSpeakerIcon()));
    }

    fillFieldPopup(window, "RSEL"_4cc, kRomanization, globals.floatingRomanType, false,
                   "Could not load floating window control menus",
                   "Could not set floating window menu text");
    fillFieldPopup(window, "DSEL"_4cc, kDefinition, globals.floatingDefnType, false,
                   "Could not load floating window menu",
                   "Could not set flaoting window menu text");
    fillFieldPopup(window, "CSEL"_4cc, kAltCharacter, globals.floatingCharType, true, nullptr,
                   nullptr);

    // The newest look-up: the one the user made last.
    loadFloatingWindowData(window, SInt32(newestLookup()));
    ShowWindow(window);
}

void applyFloatingReadingSize(WindowRef window)
{
    ControlFontStyleRec style{};
    if (globals.biggerFonts) {
        style.flags = kControlUseSizeMask;
        style.size = 14;
    }
    SetControlFontStyle(floatingControl(window, "ROMN"_4cc), &style);
}

void loadFloatingWindowData(WindowRef window, SInt32 index)
{
    HideControl(floatingControl(window, "ADD "_4cc));
    if (index == -1)
        index = lastIndex;
    else
        lastIndex = index;
    if (window && isKnownWordRef(index)) {
        showsEntry = true;
        showWord(window, index);
        return;
    }
    if (!window || index < 0 || std::size_t(index) >= dict.entries.size())
        return;
    showsEntry = true;
    const characterEntry* e = dict.entries[std::size_t(index)];
    const FloatingFields fields = chooseFloatingFields();

    const dictValue* alternative = fields.character >= 0 ? e->lookup(fields.character) : nullptr;
    const QString form =
        alternative ? alternativeForm(alternative->display(), e->display) : QString();
    if (!form.isEmpty())
        setCharacterText(window, form, characterCount(form));
    else
        setCharacterText(window, e->display, e->codes.size());

    const dictValue* reading = fields.romanization >= 0 ? e->lookup(fields.romanization) : nullptr;
    setFieldText(window, "ROMN"_4cc, reading ? reading->display() : QString());
    applyFloatingReadingSize(window);

    const dictValue* meaning = fields.definition >= 0 ? e->lookup(fields.definition) : nullptr;
    setFieldText(window, "DEFN"_4cc, meaning ? meaning->display() : QString());
    showWordsWith(window, e);
}

void loadFloatingWindowData(WindowRef window, const UniChar* units, SInt32 count)
{
    if (!window || count < 0 || (count > 0 && !units))
        return;
    const std::vector<uint32_t> characters =
        tavi_text::codePoints(QStringView(reinterpret_cast<const char16_t*>(units), count));
    ukBufferLen = std::min(characters.size(), kNotFoundCharacterLimit);
    std::copy_n(characters.begin(), ukBufferLen, ukBuffer);

    showsEntry = false;
    // Only a key the dictionary can keep may be added: a lone surrogate (a
    // damaged selection) would be saved, then skipped by the next load.
    if (tavi_text::isCharacterKey(ukBuffer, ukBufferLen))
        ShowControl(floatingControl(window, "ADD "_4cc));
    else
        HideControl(floatingControl(window, "ADD "_4cc));
    // Only the kept characters are shown: they are what "Add" adds, and a
    // text of any length would otherwise be laid out whole.
    QString shown;
    for (std::size_t i = 0; i < ukBufferLen; ++i)
        shown += QString::fromUcs4(reinterpret_cast<const char32_t*>(&ukBuffer[i]), 1);
    setCharacterText(window, shown, ukBufferLen);
    const QString notFound = QStringLiteral("not in dictionary");
    setFieldText(window, "ROMN"_4cc, notFound);
    setFieldText(window, "DEFN"_4cc, notFound);
    showWordsWith(window, nullptr);
}

void showNoEntryFound(WindowRef window, const QString& text)
{
    if (!window)
        return;
    HideControl(floatingControl(window, "ADD "_4cc));
    // A long selection is shown by its start.
    constexpr qsizetype kShown = 40;
    QString shown = text.simplified();
    if (shown.size() > kShown) {
        qsizetype cut = kShown;
        if (shown.at(cut - 1).isHighSurrogate())
            --cut;
        shown = shown.left(cut) + QChar(0x2026);
    }
    setCharacterText(window, shown, characterCount(shown));
    setFieldText(window, "ROMN"_4cc, QString());
    setFieldText(window, "DEFN"_4cc,
                 QStringLiteral("No entry found for \u201C%1\u201D").arg(shown));
    showWordsWith(window, nullptr);
}

OSStatus floatingWindowCommandHandler(EventHandlerCallRef, EventRef event, void* userData)
{
    auto* window = static_cast<WindowRef>(userData);
    const EventClass eventClass = GetEventClass(event);
    const EventKind kind = GetEventKind(event);

    if (eventClass == kEventClassWindow && kind == kEventWindowClose) {
        updateWindowPrefValues();
        qCDebug(taviTrace, "GOT Close event!");
        return eventNotHandledErr;
    }
    if (eventClass == kEventClassWindow && kind == kEventWindowToolbarSwitchMode) {
        if (isExpanded(window)) {
            if (WindowRef drawer = FindMyWindow(kHistoryWindowTag, false))
                DisposeWindow(drawer);
            setFloatingWindowExpanded(window, false);
        } else {
            setFloatingWindowExpanded(window, true);
        }
        return eventNotHandledErr;
    }
    if (eventClass != kEventClassCommand)
        return eventNotHandledErr;

    HICommand command{};
    if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command,
                          nullptr, &command) != noErr)
        return eventNotHandledErr;
    if (command.commandID == "SPEK"_4cc) {
        speakFloatingReading();
        return noErr;
    }
    if (command.commandID == "CHAR"_4cc) {
        globals.floatingCharType = "CHAR"_4cc;
        loadFloatingWindowData(window, -1);
        return eventNotHandledErr;
    }
    const int field = dict.findField(uint32_t(command.commandID));
    if (field < 0) {
        qCDebug(taviTrace, "Unknown window command: %c%c%c%c", FOUR_CHAR_ARGS(command.commandID));
        return eventNotHandledErr;
    }
    switch (dict.fields[std::size_t(field)]->kind) {
    case kAltCharacter:
        qCDebug(taviTrace, "Changing alternate character to %c%c%c%c",
                FOUR_CHAR_ARGS(command.commandID));
        globals.floatingCharType = command.commandID;
        break;
    case kRomanization:
        qCDebug(taviTrace, "Changing romanization to %c%c%c%c", FOUR_CHAR_ARGS(command.commandID));
        globals.floatingRomanType = command.commandID;
        break;
    case kDefinition:
        qCDebug(taviTrace, "Changing definition to %c%c%c%c", FOUR_CHAR_ARGS(command.commandID));
        globals.floatingDefnType = command.commandID;
        break;
    default:
        return eventNotHandledErr;
    }
    loadFloatingWindowData(window, -1);
    return eventNotHandledErr;
}

void speakFloatingReading()
{
    if (showsEntry && isKnownWordRef(lastIndex)) {
        // A word is read in Mandarin, its syllables as one word.
        speakText(speechVoiceName(SpeechVoice::Mandarin), wordSpeechText(wordOfWordRef(lastIndex)));
        return;
    }
    const bool known = showsEntry && lastIndex >= 0 && std::size_t(lastIndex) < dict.entries.size();
    const FloatingFields fields = chooseFloatingFields();
    const bool cantonese = fields.romanization >= 0 &&
                           dict.fields[std::size_t(fields.romanization)]->name == "kCantonese";
    speakReading(known ? dict.entries[std::size_t(lastIndex)] : nullptr,
                 cantonese ? SpeechVoice::Cantonese : SpeechVoice::Mandarin);
}

void addCharacter()
{
    if (!tavi_text::isCharacterKey(ukBuffer, ukBufferLen))
        return;
    std::vector<uint32_t> codes(ukBuffer, ukBuffer + ukBufferLen);

    // The kept characters are the start of a longer text that was not found;
    // an entry of just those characters may exist, and keys stay unique.
    characterEntry probe(codes);
    auto* e = static_cast<characterEntry*>(dict.table->IsIn(&probe));
    if (!e) {
        e = new characterEntry(std::move(codes));
        dict.addCharacterEntry(e);
        // The blank definition makes the user dictionary keep the entry. A
        // dictionary without a definition field keeps it in its first field.
        int field = dict.fields.empty() ? -1 : 0;
        for (std::size_t f = 0; f < dict.fields.size(); ++f) {
            if (dict.fields[f]->kind == kDefinition) {
                field = int(f);
                break;
            }
        }
        if (field >= 0)
            dict.addDictValue(e, field, " ", QStringLiteral(" "), 1);
        // Kept at once, as an edit is: a crash must not lose it.
        saveUserEdits();
    }

    searchDictionary(e->display);
    showEntryInDictionary(int32_t(e->index));

    if (WindowRef floating = FindMyWindow(kFloatingWindowTag, false))
        loadFloatingWindowData(floating, SInt32(e->index));
    else
        lastIndex = SInt32(e->index);
    ukBufferLen = 0;
}

QString floatingCharacterText()
{
    return shownCharacterText;
}

void setFloatingCharacterObserver(std::function<void(const QString&)> observer)
{
    characterObserver = std::move(observer);
}
