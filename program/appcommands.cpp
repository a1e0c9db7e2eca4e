#include "program/appcommands.h"

#include "app/globals.h"
#include "program/about.h"
#include "program/services.h"
#include "app/speech.h"
#include "app/windowlookup.h"
#include "store/trace.h"
#include "windows/dictionary/dictionarywindow.h"
#include "windows/feedback/feedbackendpoint.h"
#include "windows/feedback/feedbackwindow.h"
#include "windows/floating/floatingwindow.h"
#include "platform/menubar.h"
#include "platform/menus.h"
#include "windows/history/history.h"
#include "windows/history/historyfile.h"
#include "windows/radical/radicalwindow.h"
#include "windows/wordentry.h"
#include "windows/strokeorder/practicesheet.h"
#include "windows/strokeorder/strokeorderwindow.h"
#include "store/dictionary.h"

#include <QAction>
#include <QDir>
#include <QMenu>

#include <cstdio>

const EventTypeSpec kApplicationEventTypes[5] = {
    {kEventClassCommand, kEventCommandProcess},  {kEventClassService, kEventServicePerform},
    {kEventClassService, kEventServiceGetTypes}, {kEventClassService, kEventServiceCopy},
    {kEventClassService, kEventServicePaste},
};

namespace {

// What the stroke order and the practice sheet show: the quick look-up's
// character when its window is open, else the dictionary window's entry.
QString currentCharacterText()
{
    if (FindMyWindow(kFloatingWindowTag, false))
        return floatingCharacterText();
    const characterEntry* e = shownTextEntry();
    return e ? e->display : QString();
}

void openStrokeOrderWindow()
{
    // From now on the window follows the quick look-up.
    setFloatingCharacterObserver([](const QString& text) { showStrokeOrderOf(text); });
    createStrokeOrderWindow(currentCharacterText());
}

// A character's line on the practice sheet, with the floating window's
// reading and meaning.
PracticeItem practiceItemOf(char32_t code)
{
    PracticeItem item;
    item.character = QString::fromUcs4(&code, 1);
    const characterEntry* e = dict.lookup(long(code));
    if (!e)
        return item;
    const FloatingFields fields = chooseFloatingFields();
    if (const dictValue* v = fields.romanization >= 0 ? e->lookup(fields.romanization) : nullptr)
        item.reading = v->display();
    if (const dictValue* v = fields.definition >= 0 ? e->lookup(fields.definition) : nullptr)
        item.meaning = v->display();
    return item;
}

void appendPracticeItems(const QString& text, std::vector<PracticeItem>* items)
{
    for (char32_t code : text.toUcs4()) {
        if (QChar::script(code) != QChar::Script_Han)
            continue;
        const bool listed = std::any_of(items->begin(), items->end(), [&](const PracticeItem& i) {
            return i.character.toUcs4() == QList<uint>{uint(code)};
        });
        if (!listed)
            items->push_back(practiceItemOf(code));
    }
}

void printPracticeSheetOfLookUps()
{
    std::vector<PracticeItem> shown, past;
    appendPracticeItems(currentCharacterText(), &shown);
    // The history, newest first, as its list shows it.
    for (auto it = history.rbegin(); it != history.rend(); ++it) {
        if (isKnownWordRef(*it))
            appendPracticeItems(wordRefForm(*it), &past);
        else if (*it < dict.entries.size())
            appendPracticeItems(dict.entries[*it]->display, &past);
    }
    printPracticeSheet(shown, past);
}

void processCommand(UInt32 commandID)
{
    switch (commandID) {
    case "DWIN"_4cc:
        createDictionaryWindow();
        break;
    case "LWIN"_4cc:
        createFloatingWindow();
        break;
    case "LHWN"_4cc:
        createHistoryWindow();
        break;
    case "VIEW"_4cc:
        createViewPrefWindow();
        break;
    case "FBAK"_4cc:
        createFeedbackWindow();
        break;
    case "ADD "_4cc:
        addCharacter();
        break;
    case "RADL"_4cc:
        createRadicalWindow();
        break;
    case "STRK"_4cc:
        openStrokeOrderWindow();
        break;
    case "PRAC"_4cc:
        printPracticeSheetOfLookUps();
        break;
    case "ABOU"_4cc:
        showAboutBox();
        break;
    case "FLSH"_4cc:
        writeOutFlashcards();
        break;
    case "BIGF"_4cc:
        setLargerCharacters(!globals.biggerFonts);
        break;
    case "SPEK"_4cc:
        // From a window without a reading of its own: the quick look-up's.
        if (FindMyWindow(kFloatingWindowTag, false))
            speakFloatingReading();
        else
            speakReading(shownTextEntry(), SpeechVoice::Mandarin);
        break;
    default:
        qCDebug(taviTrace, "Unknown app command: %c%c%c%c", FOUR_CHAR_ARGS(commandID));
        break;
    }
}

OSStatus handleServiceEvent(EventKind kind)
{
    qCDebug(taviTrace, "got a service class event");
    switch (kind) {
    case kEventServiceGetTypes:
        qCDebug(taviTrace, "Got get types service event");
        break;
    case kEventServiceCopy:
        qCDebug(taviTrace, "Got service copy service event");
        break;
    case kEventServicePaste:
        qCDebug(taviTrace, "Got service paste service event");
        break;
    default:
        break;
    }
    return noErr;
}

} // namespace

void showLargerCharactersChoice()
{
    for (QMenu* menu : GetMenuBarMenus()) {
        for (QAction* action : menu->actions()) {
            MenuCommand command = 0;
            if (GetMenuActionCommand(action, &command) && command == "BIGF"_4cc) {
                action->setCheckable(true);
                action->setChecked(globals.biggerFonts != 0);
            }
        }
    }
}

void showFeedbackChoice()
{
    const bool setUp = readFeedbackEndpoint().isSetUp();
    for (QMenu* menu : GetMenuBarMenus()) {
        for (QAction* action : menu->actions()) {
            MenuCommand command = 0;
            if (!GetMenuActionCommand(action, &command) || command != "FBAK"_4cc)
                continue;
            // The tooltip of the interface resource, kept for when it is set up.
            if (!action->property("setUpToolTip").isValid())
                action->setProperty("setUpToolTip", action->toolTip());
            action->setEnabled(setUp);
            action->setToolTip(
                setUp ? action->property("setUpToolTip").toString()
                      : QStringLiteral("Feedback is not set up: put the host of a form-mail "
                                       "server and the recipient's address in %1")
                            .arg(QDir::toNativeSeparators(feedbackConfigPath())));
            menu->setToolTipsVisible(true);
        }
    }
}

void setLargerCharacters(bool larger)
{
    globals.biggerFonts = larger ? 1 : 0;
    showLargerCharactersChoice();
    if (WindowRef window = FindMyWindow(kDictionaryWindowTag, false))
        applyCharacterSizes(window);
    if (WindowRef window = FindMyWindow(kFloatingWindowTag, false))
        applyFloatingReadingSize(window);
    applyHistoryCharacterSize();
}

OSStatus applicationEventHandler(EventHandlerCallRef, EventRef event, void*)
{
    const EventClass eventClass = GetEventClass(event);
    const EventKind kind = GetEventKind(event);

    if (eventClass == kEventClassCommand && kind == kEventCommandProcess) {
        HICommand command{};
        if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr,
                              sizeof command, nullptr, &command) == noErr)
            processCommand(command.commandID);
        return eventNotHandledErr;
    }

    if (eventClass == kEventClassService) {
        if (kind == kEventServicePerform)
            return performService(event);
        return handleServiceEvent(kind);
    }

    return eventNotHandledErr;
}
