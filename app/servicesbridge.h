#pragma once
// The desktop services bridge: Tavi's services and its single instance on
// the D-Bus session bus (names in app/servicenames.h). A call of Perform
// becomes a services perform event on the application target with a scrap
// that holds the caller's text; what the handler puts back on the scrap is
// the answer. A second start of Tavi finds the name taken and asks the
// running one, through Activate, to bring its dictionary window forward.

#include "platform/types.h"

#include <QByteArray>
#include <QString>

// What a service put back on the scrap.
struct ServiceReply {
    enum class Kind { None, Unicode, Text };
    Kind kind = Kind::None;
    QString unicode; // Kind::Unicode: the 'utxt' flavour
    QByteArray text; // Kind::Text: the 'TEXT' flavour, its bytes as they are
};

// Puts `text` on a new scrap as 'utxt' (UTF-16 units in host order, no
// byte-order mark, no terminator), sends the perform event with `message`
// and the scrap to the application target and returns the reply: a 'utxt'
// flavour that the handler put back (also when its text is the same as the
// input), else a 'TEXT' flavour, else none.
ServiceReply performServiceMessage(const QString& message, const QString& text);

// Why a call of Perform is refused before it reaches the handler: an error
// name of app/servicenames.h and its message; both empty when it is served.
struct ServiceRefusal {
    QString name;
    QString message;
};
ServiceRefusal checkServiceCall(const QString& message, const QString& text);

// Sends a command-process event with the command to the application target,
// as the menu bar does when no window is in front.
void sendApplicationCommand(UInt32 commandID);

enum class DesktopServices {
    Offered,         // this process owns the name and answers calls
    NoSessionBus,    // no session bus: Tavi runs without services
    NameUnavailable, // the bus refused the name: Tavi runs without services
    HandedOver,      // another Tavi runs and brought its window forward
    HandOverFailed,  // another Tavi owns the name but did not answer
};

// Connects to the session bus and offers the services there, or hands over
// to the Tavi that owns the name. Needs a QCoreApplication. Prints one
// diagnostic line for each outcome but Offered (on standard error for
// HandOverFailed). Calls that come before desktopServicesReady are held.
DesktopServices startDesktopServices();
// The application handler is installed: held calls are answered once the
// event loop runs, later ones at once.
void desktopServicesReady();
// Gives up the name (when the run ends, so that a client that comes after
// that starts a new Tavi) and withdraws the object; safe to call when the
// services were never offered.
void stopDesktopServices();
