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

#include <QByteArray>
#include <QString>

inline constexpr char kFeedbackConfigFileName[] = "feedback.conf";
inline constexpr char kFormMailPath[] = "/cgi-bin/formmail.cgi";

struct FeedbackEndpoint {
    QByteArray url;       // scheme://host[:port]/cgi-bin/formmail.cgi; empty when unusable
    QByteArray recipient; // empty when unusable
};

// Reads the configuration from the bundle resources. A missing file or a bad
// value prints a diagnostic and gives an endpoint whose url and recipient are
// both empty, so nothing is posted anywhere.
FeedbackEndpoint readFeedbackEndpoint();
// The same from a given file.
FeedbackEndpoint readFeedbackEndpoint(const QString& path);
