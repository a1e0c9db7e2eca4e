#include "platform/savedialog.h"

#include "platform/windows.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>

#include <cstdio>

namespace {

constexpr NavUserAction kNavUserActionNone = 0;
constexpr NavUserAction kNavUserActionCancel = 1;

} // namespace

class NavDialog {
public:
    NavDialogCreationOptions options;
    NavUserAction action = kNavUserActionNone;
    SaveDialogAnswer answer;
};

namespace {

// A QFileDialog inside a dialog of our own, so that the message can stand
// above the file chooser (QFileDialog has no place for one).
class FileDialogPresenter : public SaveDialogPresenter {
public:
    SaveDialogAnswer present(const SaveDialogRequest& request) override
    {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            std::fprintf(stderr, "No save dialog without a window system\n");
            return {};
        }
        QDialog frame(request.parent);
        frame.setWindowTitle(request.windowTitle);
        frame.setWindowModality(request.parent && request.modality == kWindowModalityWindowModal
                                    ? Qt::WindowModal
                                    : Qt::ApplicationModal);
        auto* layout = new QVBoxLayout(&frame);
        if (!request.message.isEmpty()) {
            auto* label = new QLabel(request.message, &frame);
            label->setTextFormat(Qt::PlainText);
            layout->addWidget(label);
        }
        auto* chooser = new QFileDialog(&frame);
        chooser->setWindowFlags(Qt::Widget);
        chooser->setOption(QFileDialog::DontUseNativeDialog);
        chooser->setAcceptMode(QFileDialog::AcceptSave);
        chooser->setFileMode(QFileDialog::AnyFile);
        chooser->setDirectory(QDir::home());
        if (!request.saveFileName.isEmpty())
            chooser->selectFile(request.saveFileName);
        if (!request.actionButtonLabel.isEmpty())
            chooser->setLabelText(QFileDialog::Accept, request.actionButtonLabel);
        if (!request.cancelButtonLabel.isEmpty())
            chooser->setLabelText(QFileDialog::Reject, request.cancelButtonLabel);
        layout->addWidget(chooser);
        QObject::connect(chooser, &QFileDialog::accepted, &frame, &QDialog::accept);
        QObject::connect(chooser, &QFileDialog::rejected, &frame, &QDialog::reject);
        if (frame.exec() != QDialog::Accepted || chooser->selectedFiles().isEmpty())
            return {};
        const QFileInfo chosen(chooser->selectedFiles().constFirst());
        return {true, chosen.absolutePath(), chosen.fileName()};
    }
};

std::unique_ptr<SaveDialogPresenter>& presenter()
{
    static auto* p =
        new std::unique_ptr<SaveDialogPresenter>(std::make_unique<FileDialogPresenter>());
    return *p;
}

} // namespace

std::unique_ptr<SaveDialogPresenter>
SetSaveDialogPresenter(std::unique_ptr<SaveDialogPresenter> replacement)
{
    if (!replacement)
        replacement = std::make_unique<FileDialogPresenter>();
    std::swap(presenter(), replacement);
    return replacement;
}

OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions* outOptions)
{
    if (!outOptions)
        return paramErr;
    *outOptions = NavDialogCreationOptions{};
    return noErr;
}

OSStatus NavCreatePutFileDialog(const NavDialogCreationOptions* options, OSType, OSType,
                                NavEventUPP, void*, NavDialogRef* outDialog)
{
    if (!outDialog)
        return paramErr;
    *outDialog = nullptr;
    auto* dialog = new NavDialog;
    if (options)
        dialog->options = *options;
    *outDialog = dialog;
    return noErr;
}

OSStatus NavDialogRun(NavDialogRef dialog)
{
    if (!dialog)
        return paramErr;
    const NavDialogCreationOptions& o = dialog->options;
    SaveDialogRequest request;
    request.windowTitle = o.windowTitle.isNull() ? o.clientName : o.windowTitle;
    request.message = o.message;
    request.saveFileName = o.saveFileName;
    request.actionButtonLabel = o.actionButtonLabel;
    request.cancelButtonLabel = o.cancelButtonLabel;
    request.modality = o.modality;
    // A hidden parent (a drawer closed for the dialog) cannot carry a sheet.
    QWidget* parent = GetWindowWidget(o.parentWindow);
    request.parent = parent && parent->isVisible() ? parent : nullptr;
    dialog->answer = presenter()->present(request);
    dialog->action = dialog->answer.saved ? kNavUserActionSaveAs : kNavUserActionCancel;
    return noErr;
}

NavUserAction NavDialogGetUserAction(NavDialogRef dialog)
{
    return dialog ? dialog->action : kNavUserActionNone;
}

OSStatus NavDialogGetReply(NavDialogRef dialog, NavReplyRecord* outReply)
{
    if (!dialog || !outReply)
        return paramErr;
    *outReply = NavReplyRecord{};
    if (dialog->action != kNavUserActionSaveAs)
        return paramErr;
    outReply->validRecord = !dialog->answer.folder.isEmpty() && !dialog->answer.fileName.isEmpty();
    if (!dialog->answer.folder.isEmpty())
        outReply->selection.push_back(dialog->answer.folder);
    outReply->saveFileName = dialog->answer.fileName;
    return noErr;
}

OSStatus NavDisposeReply(NavReplyRecord* reply)
{
    if (!reply)
        return paramErr;
    *reply = NavReplyRecord{};
    return noErr;
}

void NavDialogDispose(NavDialogRef dialog)
{
    delete dialog;
}
