#pragma once
// What Tavi says about itself: its version, its licence and the sources of
// the data it ships, in the About box (Help › About Tavi, command 'ABOU')
// and in `tavi --version` and `tavi --help`.

#include <QString>

const char* taviVersion();

// `tavi --version`: the version line, the copyright and the licences.
QString versionText();
// `tavi --help`: usage and options.
QString helpText();

// Opens the About box, or brings the open one to the front. It is not
// modal: the dictionary goes on working beside it.
void showAboutBox();
