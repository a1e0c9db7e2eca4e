#pragma once
// The put-file save dialog: the user names a file and the folder to put it
// in. A dialog is made from creation options, run modally, and then yields
// the user's action and a reply (the chosen folder and file name). The
// presenter that shows it is replaceable: the default one runs a
// QFileDialog under the options' title with their message above it; tests
// install one that answers a chosen path at once.

#include "platform/types.h"

#include <QString>

#include <memory>
#include <vector>

class QWidget;

using NavDialogOptionFlags = UInt32;
constexpr NavDialogOptionFlags kNavSupportPackages = 0x1000;

using WindowModality = UInt32;
constexpr WindowModality kWindowModalityWindowModal = 3;

using NavUserAction = UInt32;
constexpr NavUserAction kNavUserActionSaveAs = 3;

constexpr UInt16 kNavDialogCreationOptionsVersion = 0;

// Texts that are null use the dialog's defaults.
struct NavDialogCreationOptions {
    UInt16 version = kNavDialogCreationOptionsVersion;
    NavDialogOptionFlags optionFlags = 0; // not used by the dialog
    Point location{-1, -1};               // -1, -1: the default place
    QString clientName;
    QString windowTitle;
    QString actionButtonLabel;
    QString cancelButtonLabel;
    QString saveFileName;
    QString message;
    UInt32 preferenceKey = 0;
    void* popupExtension = nullptr;
    WindowModality modality = 0; // application-modal unless kWindowModalityWindowModal
    WindowRef parentWindow = nullptr;
};

struct NavReplyRecord {
    Boolean validRecord = false;
    std::vector<QString> selection; // the chosen folder, as a local path
    QString saveFileName;
};

class NavDialog;
using NavDialogRef = NavDialog*;
using NavEventUPP = void (*)(UInt32 selector, void* params, void* callbackUserData);

OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions* outOptions);
// fileType and fileCreator are kept for the callers' sake and not used.
OSStatus NavCreatePutFileDialog(const NavDialogCreationOptions* options, OSType fileType,
                                OSType fileCreator, NavEventUPP eventProc, void* clientData,
                                NavDialogRef* outDialog);
// Shows the dialog and returns when the user has saved or cancelled.
OSStatus NavDialogRun(NavDialogRef dialog);
NavUserAction NavDialogGetUserAction(NavDialogRef dialog);
// paramErr when the dialog has not been saved from.
OSStatus NavDialogGetReply(NavDialogRef dialog, NavReplyRecord* outReply);
OSStatus NavDisposeReply(NavReplyRecord* reply);
void NavDialogDispose(NavDialogRef dialog);

// What a presenter is asked to show.
struct SaveDialogRequest {
    QString windowTitle;
    QString message;
    QString saveFileName;
    QString actionButtonLabel;
    QString cancelButtonLabel;
    WindowModality modality = 0; // application-modal unless kWindowModalityWindowModal
    QWidget* parent = nullptr;   // null when the parent window is missing or hidden
};

// The user's answer: saved, with the folder and the file name, or cancelled.
struct SaveDialogAnswer {
    bool saved = false;
    QString folder;
    QString fileName;
};

class SaveDialogPresenter {
public:
    virtual ~SaveDialogPresenter() = default;
    virtual SaveDialogAnswer present(const SaveDialogRequest& request) = 0;
};

// Installs a presenter and returns the previous one; null restores the
// QFileDialog presenter.
std::unique_ptr<SaveDialogPresenter>
SetSaveDialogPresenter(std::unique_ptr<SaveDialogPresenter> presenter);
