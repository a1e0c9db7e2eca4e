#include "platform/alerts.h"

#include "platform/internal.h"

#include "platform/eventloop.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>

#include <cstdio>

namespace {

std::unique_ptr<QMessageBox> MakeAlertMessageBox(const AlertRequest& request)
{
    auto box = std::make_unique<QMessageBox>();
    switch (request.type) {
    case kAlertCautionAlert:
        box->setIcon(QMessageBox::Warning);
        break;
    default:
        box->setIcon(QMessageBox::Information);
        break;
    }
    box->setWindowTitle(QApplication::applicationDisplayName());
    box->setTextFormat(Qt::PlainText);
    box->setText(request.message);
    // The informative text has no format setting of its own: text that Qt
    // would take for markup is escaped, so it shows as written.
    QString explanation = request.explanation;
    if (Qt::mightBeRichText(explanation))
        explanation = QStringLiteral("<span style=\"white-space: pre-wrap\">") +
                      explanation.toHtmlEscaped() + QStringLiteral("</span>");
    box->setInformativeText(explanation);
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    if (!request.defaultText.isEmpty())
        box->button(QMessageBox::Ok)->setText(request.defaultText);
    if (!request.cancelText.isEmpty()) {
        box->addButton(QMessageBox::Cancel);
        box->button(QMessageBox::Cancel)->setText(request.cancelText);
        // Escape and closing the alert answer the default button: only a
        // click chooses the other.
        box->setEscapeButton(QMessageBox::Ok);
    }
    return box;
}

class MessageBoxPresenter : public AlertPresenter {
public:
    SInt16 present(const AlertRequest& request) override
    {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            // No window system yet: the texts still reach the user's terminal.
            std::fprintf(stderr, "%s\n%s\n", qUtf8Printable(request.message),
                         qUtf8Printable(request.explanation));
            return kAlertStdAlertOKButton;
        }
        const auto box = MakeAlertMessageBox(request);
        box->exec();
        return box->clickedButton() == box->button(QMessageBox::Cancel) ? kAlertStdAlertCancelButton
                                                                        : kAlertStdAlertOKButton;
    }
};

std::unique_ptr<AlertPresenter>& presenter()
{
    static auto* p = new std::unique_ptr<AlertPresenter>(std::make_unique<MessageBoxPresenter>());
    return *p;
}

QString fromPascal(ConstStr255Param text)
{
    if (!text)
        return QString();
    return QString::fromUtf8(reinterpret_cast<const char*>(text + 1), text[0]);
}

} // namespace

std::unique_ptr<AlertPresenter> SetAlertPresenter(std::unique_ptr<AlertPresenter> replacement)
{
    if (!replacement)
        replacement = std::make_unique<MessageBoxPresenter>();
    std::swap(presenter(), replacement);
    return replacement;
}

OSStatus StandardAlert(const AlertRequest& request, SInt16* outItemHit)
{
    // Once a quit is on its way, nobody is there to answer an alert: it is
    // printed instead.
    if (IsApplicationQuitPending()) {
        std::fprintf(stderr, "Alert while quitting: %s %s\n", qUtf8Printable(request.message),
                     qUtf8Printable(request.explanation));
        if (outItemHit)
            *outItemHit = kAlertStdAlertOKButton;
        return noErr;
    }
    const SInt16 item = presenter()->present(request);
    if (outItemHit)
        *outItemHit = item;
    return noErr;
}

OSStatus StandardAlert(AlertType type, ConstStr255Param error, ConstStr255Param explanation,
                       const AlertStdAlertParamRec*, SInt16* outItemHit)
{
    if (!error)
        return paramErr;
    return StandardAlert(AlertRequest{type, fromPascal(error), fromPascal(explanation), {}, {}},
                         outItemHit);
}
