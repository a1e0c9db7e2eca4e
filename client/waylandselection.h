#pragma once
// The selected text under Wayland, read through the data-control protocol
// (wlroots compositors, KDE): a client without a window may read the primary
// selection and the clipboard there, which it cannot through Qt.

#include <QByteArray>
#include <QList>
#include <QString>

struct WaylandSelection {
    enum class Status {
        Read,          // text holds what was found (maybe nothing)
        NoCompositor,  // no Wayland compositor could be reached
        NoDataControl, // the compositor does not offer the protocol
        Failed,        // error says why
    };
    Status status = Status::Failed;
    QByteArray text; // the bytes of the primary selection, else of the clipboard
    QString error;
};

// Reads at most `maxBytes` + 1 bytes of the primary selection, or of the
// clipboard when the primary selection holds no text; a selection that
// does not answer within `timeoutMs` counts as empty.
WaylandSelection readWaylandSelection(qsizetype maxBytes, int timeoutMs);

// The preferred text type among the MIME types a selection offers, or an
// empty string when it offers no text.
QByteArray preferredTextType(const QList<QByteArray>& types);
