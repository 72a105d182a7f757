#include "client/display/progressbar.h"

#include "client/widgets/twips.h"

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QWidget>

#include <cmath>

namespace {

// Far beyond anything shown; keeps the fill arithmetic inside an int.
constexpr int MaxPercent = 100000;

const QColor Grey(150, 150, 150);
const QColor Navy(0, 0, 140);
const QColor Blue(0, 0, 255);
const QColor FillColour(100, 220, 255);

// Positions are given inside the container's border, as the boxes' client areas are.
void place(QWidget* widget, const QFrame* container, int top, int left, int width, int height) {
    const int edge = container ? container->frameWidth() : 0;
    widget->setGeometry(Twips::toNearestPixels(left) + edge, Twips::toNearestPixels(top) + edge,
                        Twips::toNearestPixels(width), Twips::toNearestPixels(height));
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

} // namespace

void ProgressBar::CreateProgressBar(QWidget* window, int top, int left, int width, int height) {

    m_outer = new QFrame(window);
    m_outer->setObjectName(QStringLiteral("fPicBoxBorder"));
    place(m_outer, nullptr, top, left, width, height);
    m_outer->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_outer->setLineWidth(1);
    setBackground(m_outer, Grey);
    m_outer->setVisible(true);
    m_outer->raise();
    m_outer->repaint();

    const int innerHeight = height - 105;
    const int innerWidth = width - 120;
    m_inner = new QFrame(m_outer);
    m_inner->setObjectName(QStringLiteral("fPicBox"));
    m_inner->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_inner->setLineWidth(1);
    place(m_inner, m_outer, 30, 45, innerWidth, innerHeight);
    setBackground(m_inner, Qt::white);
    m_inner->setVisible(true);
    m_inner->repaint();

    m_label = new QLabel(m_inner);
    m_label->setObjectName(QStringLiteral("fLabel"));
    place(m_label, m_inner, 0, 0, innerWidth, innerHeight + 30);
    m_label->setFrameStyle(QFrame::NoFrame);
    // Centred across and from the top, as the label was drawn: it is taller than the box it shows
    // through, so a text centred downwards too would lose its bottom line of pixels.
    m_label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_label->setAutoFillBackground(false);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    font.setBold(true);
    m_label->setFont(font);
    setTextColour(m_label, Navy);
    m_label->setVisible(true);
    m_label->repaint();

    m_fill = new QWidget(m_inner);
    m_fill->setObjectName(QStringLiteral("fShape"));
    m_fillHeight = innerHeight + 30;
    place(m_fill, m_inner, 0, 0, 0, m_fillHeight);
    setBackground(m_fill, FillColour);
    m_fill->setVisible(true);
    m_fillWidth = 0;
    m_fill->repaint();
    // The caption stays readable over the fill.
    m_label->raise();

    m_fullFillWidth = innerWidth;
}

int ProgressBar::percentage(qint64 maximum, qint64 value) {
    if (maximum <= 0)
        return 0;
    const double ratio = double(value) / double(maximum) * 100.0;
    // Four decimals first (halves to even), then the whole part.
    const double rounded = std::nearbyint(ratio * 10000.0) / 10000.0;
    if (!(rounded > 0))
        return 0;
    if (rounded >= MaxPercent)
        return MaxPercent;
    return int(std::trunc(rounded));
}

int ProgressBar::fillWidthFor(int percent, int fullWidth) {
    const qint64 scaled = qint64(percent) * fullWidth;
    qint64 whole = scaled / 100;
    const qint64 rest = scaled % 100;
    if (rest > 50 || (rest == 50 && whole % 2 != 0))
        ++whole;
    return int(whole);
}

void ProgressBar::UpdateProgressBar(qint64 maximum, qint64 value, bool receiving) {
    if (!m_outer || !m_label || !m_fill)
        return;
    const int p = percentage(maximum, value);

    m_fillWidth = fillWidthFor(p, m_fullFillWidth);
    place(m_fill, m_inner, 0, 0, m_fillWidth, m_fillHeight);
    m_fill->repaint();

    const bool finishing = p >= 95;
    setTextColour(m_label, finishing ? QColor(Qt::black) : Navy);
    m_label->repaint();
    setBackground(m_outer, finishing ? Blue : QColor(Qt::white));
    m_outer->repaint();

    if (p == 0) {
        m_label->setText(QStringLiteral("IDLE"));
    } else if (p <= 94) {
        const QString word =
            receiving ? QStringLiteral("Receiving   ") : QStringLiteral("Sending   ");
        m_label->setText((word + QString::number(p) + QLatin1Char('%')).toUpper());
    } else if (p >= 100) {
        m_label->setText(QStringLiteral("Done...Awaiting next Command").toUpper());
    }
    // From 95 to 99 the last caption stays.
    m_label->repaint();
}

int ProgressBar::fullFillWidth() const {
    return m_fullFillWidth;
}

int ProgressBar::fillWidth() const {
    return m_fillWidth;
}

QFrame* ProgressBar::outerBox() const {
    return m_outer;
}

QFrame* ProgressBar::innerBox() const {
    return m_inner;
}

QLabel* ProgressBar::caption() const {
    return m_label;
}

QWidget* ProgressBar::fill() const {
    return m_fill;
}
