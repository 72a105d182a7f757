#include "tests/widgets/controlfit.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>

namespace {

// QLineEdit keeps these inside its contents rectangle (qlineedit_p.h), and one pixel for the
// cursor beyond the text.
constexpr int lineEditHorizontalMargin = 2;
constexpr int lineEditVerticalMargin = 1;

QString describe(const QWidget* control, const QString& text, const QSize& needed,
                 const QSize& available) {
    const QString name = control->objectName().isEmpty()
                             ? QString::fromLatin1(control->metaObject()->className())
                             : control->objectName();
    return QStringLiteral("%1 \"%2\" in %3 needs %4x%5 px, has %6x%7 (font %8 %9pt)")
        .arg(name, text, control->window()->windowTitle())
        .arg(needed.width())
        .arg(needed.height())
        .arg(available.width())
        .arg(available.height())
        .arg(QFontInfo(control->font()).family())
        .arg(control->font().pointSizeF());
}

// The part of a control that its window shows: the control cut by each of its parents.
QRect visibleArea(const QWidget* control) {
    const QWidget* window = control->window();
    const QPoint origin = control->mapTo(window, QPoint());
    QRect area = control->rect();
    for (const QWidget* parent = control->parentWidget(); parent; parent = parent->parentWidget()) {
        area &= QRect(parent->mapTo(window, QPoint()) - origin, parent->size());
        if (parent == window)
            break;
    }
    return area;
}

// The text, placed in room as the control aligns it, must lie within room and within the part
// of the control that can be seen.
void checkText(QStringList& found, const QWidget* control, const QString& text, const QRect& room,
               int flags, int extraWidth = 0) {
    if (text.isEmpty())
        return;
    const QFontMetrics metrics(control->font());
    QRect drawn = metrics.boundingRect(room, flags, text);
    drawn.setWidth(drawn.width() + extraWidth);
    if (drawn.height() < metrics.height())
        drawn.setHeight(metrics.height());
    const QRect shown = room & visibleArea(control);
    if (!shown.contains(drawn))
        found << describe(control, text, drawn.size(), shown.size());
}

void checkLabel(QStringList& found, const QLabel* label) {
    if (!label->pixmap().isNull())
        return;
    const int margin = label->margin();
    const QRect room = label->contentsRect().adjusted(margin, margin, -margin, -margin);
    const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    checkText(found, label, label->text(), room, flags);
}

void checkCheckBox(QStringList& found, const QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    const QRect room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    checkText(found, box, box->text(), room,
              Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic);
}

void checkButton(QStringList& found, const QPushButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect room =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    checkText(found, button, button->text(), room, Qt::AlignCenter | Qt::TextShowMnemonic);
}

// The room a line edit gives its text, as its own painting computes it.
QRect lineEditRoom(const QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    QRect room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    room = room.marginsRemoved(edit->textMargins());
    return room.adjusted(lineEditHorizontalMargin, lineEditVerticalMargin,
                         -lineEditHorizontalMargin, -lineEditVerticalMargin);
}

void checkLineEdit(QStringList& found, const QLineEdit* edit, const QString& text) {
    checkText(found, edit, text, lineEditRoom(edit), Qt::AlignLeft | Qt::AlignVCenter, 1);
}

void checkComboBox(QStringList& found, const QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    if (!texts.contains(combo->currentText()))
        texts << combo->currentText();
    if (const QLineEdit* edit = combo->lineEdit()) {
        for (const QString& text : texts)
            checkLineEdit(found, edit, text);
        return;
    }
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = false;
    option.frame = combo->hasFrame();
    const QRect room = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                      QStyle::SC_ComboBoxEditField, combo);
    for (const QString& text : texts)
        checkText(found, combo, text, room, Qt::AlignLeft | Qt::AlignVCenter);
}

void checkGroupBox(QStringList& found, const QGroupBox* group) {
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect frame = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                       QStyle::SC_GroupBoxFrame, group);
    const QRect label = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                       QStyle::SC_GroupBoxLabel, group);
    // The title must lie on the frame's top edge, between its corners.
    const QRect room(label.left(), label.top(), frame.right() - label.left(), label.height());
    checkText(found, group, group->title(), room,
              Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic);
}

// A line of a list is clipped when it is cut short (elided) or when the list cannot scroll to
// its end.
void checkList(QStringList& found, const QAbstractItemView* view) {
    const QAbstractItemModel* model = view->model();
    if (!model)
        return;
    const QFontMetrics metrics(view->font());
    const int viewportWidth = view->viewport()->width();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        const QString text = index.data().toString();
        const QRect line = view->visualRect(index);
        const int needed = metrics.horizontalAdvance(text);
        const bool scrolls = view->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
        if (needed > line.width() || (!scrolls && needed > viewportWidth) ||
            line.height() < metrics.height())
            found << describe(
                view, text, QSize(needed, metrics.height()),
                QSize(scrolls ? line.width() : qMin(line.width(), viewportWidth), line.height()));
    }
}

} // namespace

QStringList clippedControls(QWidget* window) {
    QStringList found;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!control->isVisibleTo(window))
            continue;
        if (auto* label = qobject_cast<QLabel*>(control))
            checkLabel(found, label);
        else if (auto* box = qobject_cast<QCheckBox*>(control))
            checkCheckBox(found, box);
        else if (auto* button = qobject_cast<QPushButton*>(control))
            checkButton(found, button);
        else if (auto* combo = qobject_cast<QComboBox*>(control))
            checkComboBox(found, combo);
        else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            // A combo box's own field is checked with the combo box's items.
            if (qobject_cast<QComboBox*>(edit->parentWidget()))
                continue;
            checkLineEdit(found, edit, edit->displayText());
        } else if (auto* group = qobject_cast<QGroupBox*>(control))
            checkGroupBox(found, group);
        else if (auto* view = qobject_cast<QAbstractItemView*>(control)) {
            // A combo box's drop-down list sizes itself to its items.
            if (view->window() != window)
                continue;
            checkList(found, view);
        }
    }
    return found;
}
