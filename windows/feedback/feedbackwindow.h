#pragma once
// The feedback form: a window in which the user writes to the maker, sent as
// an HTTP form post to the form-mail endpoint (feedbackendpoint.h).

#include "platform/events.h"

#include <QString>

// The form's controls.
constexpr ControlID kFeedbackLogoID = {FOUR_CHAR_CODE("IMAG"), 128};
constexpr ControlID kFeedbackNameID = {FOUR_CHAR_CODE("name"), 300};
constexpr ControlID kFeedbackEmailID = {FOUR_CHAR_CODE("emal"), 301};
constexpr ControlID kFeedbackCommentsID = {FOUR_CHAR_CODE("feed"), 302};

// Opens the feedback window, or brings the open one to the front.
void createFeedbackWindow();

// The window's command handler; userData is the window. Sends the form on
// 'ok  ' and passes every other command on.
OSStatus FeedbackWindowCommandHandler(EventHandlerCallRef call, EventRef event, void* userData);

// Builds the form body and posts it; true when the endpoint accepted it.
// Shows its own alert naming the step that failed.
bool postComment(const QString& name, const QString& email, const QString& description);

// The text as UTF-8 with every byte that is not an ASCII letter or digit
// written as '%' and two uppercase hex digits. NUL-terminated, allocated with
// new[]; the caller releases it with delete[].
char* convertCFSTRtoEscapedHTML(const QString& text);
