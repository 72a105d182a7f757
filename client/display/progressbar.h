#pragma once

#include <QPointer>
#include <QtGlobal>

class QFrame;
class QLabel;
class QWidget;

// The transfer progress bar of the main window, built at run time from an outer box
// (fPicBoxBorder), an inner box (fPicBox), a caption (fLabel) and a fill (fShape). The parts
// carry those object names. Measures are in twips; 15 twips are one pixel.
class ProgressBar {
public:
    // Builds the parts on window at the given position and size and remembers the full fill
    // width (the caption's width). Called once per window.
    void CreateProgressBar(QWidget* window, int top, int left, int width, int height);

    // Sets fill, colours and caption for value of maximum; receiving picks the caption word.
    void UpdateProgressBar(qint64 maximum, qint64 value, bool receiving);

    // Whole percent of value in maximum, after rounding to four decimals (2 of 3 is 66,
    // 99.99996 is 100). A maximum of 0 or less counts as 0 %.
    static int percentage(qint64 maximum, qint64 value);
    // The fill width in twips for a percentage, halves rounded to the even number.
    static int fillWidthFor(int percent, int fullWidth);

    int fullFillWidth() const;
    int fillWidth() const; // twips, as last set

    QFrame* outerBox() const;
    QFrame* innerBox() const;
    QLabel* caption() const;
    QWidget* fill() const;

private:
    QPointer<QFrame> m_outer;
    QPointer<QFrame> m_inner;
    QPointer<QLabel> m_label;
    QPointer<QWidget> m_fill;
    int m_fullFillWidth = 0;
    int m_fillWidth = 0;
    int m_fillHeight = 0;
};
