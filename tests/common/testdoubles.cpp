#include "tests/common/testdoubles.h"

#include "platform/internal.h"

#include <QFileInfo>

SInt16 RecordingAlertPresenter::present(const AlertRequest& request)
{
    requests.push_back(request);
    return answer ? answer(request) : kAlertStdAlertOKButton;
}

SaveDialogAnswer ChosenPathSaveDialogPresenter::present(const SaveDialogRequest& request)
{
    requests.push_back(request);
    if (path.isEmpty())
        return {};
    const QFileInfo chosen(path);
    return {true, chosen.absolutePath(), chosen.fileName()};
}
