#pragma once

// Presenters that stand in for the modal alert and save dialog, so tests see
// what would be shown and answer it at once.

#include "platform/alerts.h"
#include "platform/savedialog.h"

#include <functional>
#include <vector>

// Keeps every request and answers at once: with `answer` when set, else OK.
class RecordingAlertPresenter : public AlertPresenter {
public:
    SInt16 present(const AlertRequest& request) override;
    std::vector<AlertRequest> requests;
    std::function<SInt16(const AlertRequest&)> answer;
};

// Answers every request with one path (cancels when it is empty) and keeps
// the requests.
class ChosenPathSaveDialogPresenter : public SaveDialogPresenter {
public:
    explicit ChosenPathSaveDialogPresenter(QString path = QString()) : path(std::move(path)) {}
    SaveDialogAnswer present(const SaveDialogRequest& request) override;
    QString path;
    std::vector<SaveDialogRequest> requests;
};
