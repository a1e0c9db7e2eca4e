#pragma once
// Where Tavi offers its desktop services on the D-Bus session bus. Shared by
// the program and the tavi-service client.
//
//   bus name   com.Quillon.Tavi
//   object     /com/Quillon/Tavi
//   interface  com.Quillon.Tavi.Services
//     Perform(s message, s text) -> v reply
//       message: "Lookup", "LookupQuickly", "ConvertPinyin", "ConvertUnicode"
//       or "Convert". reply: a string for a Unicode reply, a byte array for
//       an 8-bit reply, the empty string when the service sends nothing back.
//       Refused with the error com.Quillon.Tavi.Error.UnknownMessage for
//       any other message, and com.Quillon.Tavi.Error.TextTooLong for a text
//       of more than maxTextUnits UTF-16 units.
//   interface  org.freedesktop.Application
//     Activate(a{sv} platformData): brings the dictionary window forward.
//     ActivateAction(s action, av parameters, a{sv} platformData): action
//       "Lookup" or "LookupQuickly", parameters the text (one string); the
//       same as Perform, for a caller that holds an activation token.
//   platformData: "activation-token" (Wayland's xdg-activation token) and
//   "desktop-startup-id" (X11's startup notification id), both strings,
//   which let the window come forward on desktops that ask for them.

#include <QString>
#include <QVariantMap>
#include <QtGlobal>

namespace tavi_dbus {

inline QString busName()
{
    return QStringLiteral("com.Quillon.Tavi");
}
inline QString objectPath()
{
    return QStringLiteral("/com/Quillon/Tavi");
}
inline QString servicesInterface()
{
    return QStringLiteral("com.Quillon.Tavi.Services");
}
inline QString performMethod()
{
    return QStringLiteral("Perform");
}
inline QString applicationInterface()
{
    return QStringLiteral("org.freedesktop.Application");
}
inline QString activateMethod()
{
    return QStringLiteral("Activate");
}
inline QString activateActionMethod()
{
    return QStringLiteral("ActivateAction");
}
inline QString activationTokenKey()
{
    return QStringLiteral("activation-token");
}
inline QString startupIdKey()
{
    return QStringLiteral("desktop-startup-id");
}
// The services that bring a window forward, and so take ActivateAction.
inline bool isActionMessage(const QString& message)
{
    return message == u"Lookup" || message == u"LookupQuickly";
}

// The platform data that passes this process's activation token
// (XDG_ACTIVATION_TOKEN, from a Wayland launcher) and startup id
// (DESKTOP_STARTUP_ID, from an X11 one) on; empty without them.
inline QVariantMap activationPlatformData()
{
    QVariantMap data;
    const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    const QString startupId = qEnvironmentVariable("DESKTOP_STARTUP_ID");
    if (!token.isEmpty())
        data.insert(activationTokenKey(), token);
    if (!startupId.isEmpty())
        data.insert(startupIdKey(), startupId);
    return data;
}

// The longest text a service takes: the most the search field holds. A
// look-up or a conversion is of a word or a few lines, and a text of
// megabytes would hold the program for seconds.
constexpr qsizetype maxTextUnits = 32767;

inline bool isServiceMessage(const QString& message)
{
    return message == u"Lookup" || message == u"LookupQuickly" || message == u"ConvertPinyin" ||
           message == u"ConvertUnicode" || message == u"Convert";
}
// Text shown on one line as it is, but for what could break or disguise the
// line (control and format characters, line separators, lone surrogates),
// which becomes \uXXXX.
inline QString escapedForOneLine(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool pair =
            c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (pair) {
            out += c;
            out += text[++i];
            continue;
        }
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            out += QStringLiteral("\\u") +
                   QString::number(c.unicode(), 16).rightJustified(4, u'0').toUpper();
            break;
        default:
            out += c;
        }
    }
    return out;
}

inline QString unknownMessageError()
{
    return QStringLiteral("com.Quillon.Tavi.Error.UnknownMessage");
}
inline QString textTooLongError()
{
    return QStringLiteral("com.Quillon.Tavi.Error.TextTooLong");
}

} // namespace tavi_dbus
