#pragma once
// Standard alerts: a modal alert with a main text, an explanation, a default
// button and, when asked for, a cancel button. The default presenter shows a QMessageBox (main text
// as its text, explanation as its informative text); tests install a presenter that records what
// would be shown.

#include "platform/types.h"

#include <QString>

#include <memory>

using AlertType = SInt16;
constexpr AlertType kAlertNoteAlert = 1;
constexpr AlertType kAlertCautionAlert = 2;

// A Pascal string: a length byte, then that many bytes (UTF-8 here).
using ConstStr255Param = const unsigned char*;

struct AlertStdAlertParamRec {
    Boolean movable;
};

// The items an alert answers.
constexpr SInt16 kAlertStdAlertOKButton = 1;
constexpr SInt16 kAlertStdAlertCancelButton = 2;

struct AlertRequest {
    AlertType type = kAlertNoteAlert;
    QString message;     // the bold main text
    QString explanation; // the informative text; may be empty
    QString defaultText; // the default button's text; empty: OK
    QString cancelText;  // a second button when not empty
};

class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // Shows the alert modally; returns the item pressed (kAlertStdAlertOKButton
    // for the default button, kAlertStdAlertCancelButton for the other).
    virtual SInt16 present(const AlertRequest& request) = 0;
};

// For tests: installs a presenter and returns the previous one; null
// restores the QMessageBox presenter.
std::unique_ptr<AlertPresenter> SetAlertPresenter(std::unique_ptr<AlertPresenter> presenter);

// error and explanation are Pascal strings; explanation may be null.
OSStatus StandardAlert(AlertType type, ConstStr255Param error, ConstStr255Param explanation,
                       const AlertStdAlertParamRec* param, SInt16* outItemHit);
// The same with texts.
OSStatus StandardAlert(const AlertRequest& request, SInt16* outItemHit);
