#pragma once
// The practice sheet: a printable PDF with, for each character, its strip of
// steps, its reading and meaning, and two rows of practice squares, the first
// few with the character in light grey to trace over. A4 or Letter.

#include <QRectF>
#include <QString>

#include <vector>

struct PracticeItem {
    QString character; // one character
    QString reading;
    QString meaning;
};

enum class PaperSize { A4, Letter };

// Where the first character's squares are on the first page, as fractions
// of the page, for checking a print-out.
struct PracticeSheetLayout {
    QRectF firstStep;  // the strip's first frame
    QRectF firstTrace; // the first square to trace over
    QRectF firstBlank; // the first empty square
    int pages = 0;
};

// Writes the sheet; false (with the reason) when it cannot be written, in
// which case no file is left behind.
bool writePracticeSheet(const QString& path, const std::vector<PracticeItem>& items,
                        PaperSize paper, QString* why = nullptr,
                        PracticeSheetLayout* layout = nullptr);

// File › Print Practice Sheet…: asks whether to print the character shown or
// the history and on which paper, then where to save the PDF, and writes it.
void printPracticeSheet(const std::vector<PracticeItem>& shown,
                        const std::vector<PracticeItem>& history);
