#pragma once
// Where the feedback form goes: the form-mail endpoint and the recipient
// address, read from "feedback.conf" in the bundle resources. The file holds
// `key = value` lines ('#' or ';' starts a comment):
//
//   scheme = https                 http or https
//   host = feedback.example.org    a host name or address
//   port = 443                     optional; the scheme's own port otherwise
//   recipient = tavi@example.org   letters, digits and . _ - @ only
//
// The recipient is written into the form body as it is, so characters that
// the form encoding gives a meaning ('&', '=', '+', '%', blanks) are refused.
// A host or recipient under a name reserved for examples (.example,
// .invalid, example.com, .net, .org), as the shipped file has, is a
// placeholder: the form is not set up.

#include <QByteArray>
#include <QString>

inline constexpr char kFeedbackConfigFileName[] = "feedback.conf";
inline constexpr char kFormMailPath[] = "/cgi-bin/formmail.cgi";

struct FeedbackEndpoint {
    QByteArray url;           // scheme://host[:port]/cgi-bin/formmail.cgi; empty when unusable
    QByteArray recipient;     // empty when unusable
    bool placeholder = false; // usable in form, but names no real host or recipient

    // A post can reach someone.
    bool isSetUp() const { return !url.isEmpty() && !placeholder; }
};

// Where the configuration is read from.
QString feedbackConfigPath();

// Reads the configuration from the bundle resources. A missing file or a bad
// value prints a diagnostic and gives an endpoint whose url and recipient are
// both empty, so nothing is posted anywhere.
FeedbackEndpoint readFeedbackEndpoint();
// The same from a given file.
FeedbackEndpoint readFeedbackEndpoint(const QString& path);
