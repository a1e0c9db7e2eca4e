#include "platform/textview.h"

#include "platform/internal.h"

#include "platform/controls.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

constexpr TXNFrameOptions kTXNWantHScrollBarMask = 1u << 2;

} // namespace

OSStatus HITextViewCreate(const HIRect* frame, OptionBits, TXNFrameOptions frameOptions,
                          HIViewRef* outTextView)
{
    if (!outTextView)
        return paramErr;
    auto* edit = new QPlainTextEdit;
    edit->hide();
    edit->setReadOnly(frameOptions & kTXNReadOnlyMask);
    if (frameOptions & kTXNReadOnlyMask)
        edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    edit->setVerticalScrollBarPolicy(
        (frameOptions & kTXNWantVScrollBarMask) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (frameOptions & kTXNWantHScrollBarMask) {
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    } else {
        edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    if (frame)
        edit->setGeometry(int(frame->origin.x), int(frame->origin.y), int(frame->size.width),
                          int(frame->size.height));
    *outTextView = GetControlFromWidget(edit);
    return noErr;
}

TXNObject HITextViewGetTXNObject(HIViewRef textView)
{
    return qobject_cast<QPlainTextEdit*>(GetControlWidget(textView));
}

OSStatus TXNSetData(TXNObject object, TXNDataType type, const void* data, ByteCount size,
                    TXNOffset start, TXNOffset end)
{
    if (!object || (size > 0 && !data))
        return paramErr;
    QString text;
    if (type == kTXNTextData) {
        text = QString::fromUtf8(static_cast<const char*>(data), qsizetype(size));
    } else if (type == kTXNUnicodeTextData) {
        if (size % 2 != 0)
            return paramErr;
        text = QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    } else {
        return paramErr;
    }
    QTextDocument* document = object->document();
    const int length = std::max(0, document->characterCount() - 1); // without the final separator
    const int from = int(std::min<TXNOffset>(start, TXNOffset(length)));
    const int to = int(std::clamp<TXNOffset>(end, TXNOffset(from), TXNOffset(length)));
    if (from == 0 && to == length) {
        object->setPlainText(text);
        return noErr;
    }
    QTextCursor cursor(document);
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.insertText(text);
    return noErr;
}

OSStatus TXNSetRangeFont(TXNObject object, const QFont& font, TXNOffset start, TXNOffset end)
{
    if (!object)
        return paramErr;
    QTextDocument* document = object->document();
    const int length = std::max(0, document->characterCount() - 1);
    const int from = int(std::min<TXNOffset>(start, TXNOffset(length)));
    const int to = int(std::clamp<TXNOffset>(end, TXNOffset(from), TXNOffset(length)));
    QTextCharFormat format;
    format.setFont(font, QTextCharFormat::FontPropertiesSpecifiedOnly);
    QTextCursor cursor(document);
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(format);
    return noErr;
}

OSStatus TXNSetScrollbarState(TXNObject object, TXNScrollBarState state)
{
    if (!object)
        return paramErr;
    if (object->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
        object->setVerticalScrollBarPolicy(
            state == kScrollBarsAlwaysActive ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
    return noErr;
}

OSStatus TXNSetTXNObjectControls(TXNObject object, Boolean, ItemCount controlCount,
                                 const TXNControlTag* controlTags,
                                 const TXNControlData* controlData)
{
    if (!object || (controlCount > 0 && (!controlTags || !controlData)))
        return paramErr;
    for (ItemCount i = 0; i < controlCount; ++i) {
        switch (controlTags[i]) {
        case kTXNMarginsTag: {
            const TXNMargins* margins = controlData[i].marginsPtr;
            if (!margins)
                return paramErr;
            const int margin = std::max({int(margins->topMargin), int(margins->leftMargin),
                                         int(margins->bottomMargin), int(margins->rightMargin), 0});
            object->document()->setDocumentMargin(margin);
            break;
        }
        case kTXNTabSettingsTag:
            if (controlData[i].tabValue.value <= 0)
                return paramErr;
            object->setTabStopDistance(controlData[i].tabValue.value);
            break;
        default:
            return errDataNotSupported;
        }
    }
    return noErr;
}
