#include "client/widgets/widgetprompter.h"

#include <QMessageBox>

Prompter::Answer WidgetPrompter::ask(const QString& title, const QString& text, Icon icon,
                                     Buttons buttons, Answer defaultAnswer) {
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    if (icon == Icon::Critical)
        boxIcon = QMessageBox::Critical;
    else if (icon == Icon::Warning)
        boxIcon = QMessageBox::Warning;
    // The system's texts separate their lines with a carriage return alone, which a label
    // would show as one line.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(boxIcon, title, shown);
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(defaultAnswer == Answer::Yes ? QMessageBox::Yes : QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    m_open.append(&box);
    const int result = box.exec();
    m_open.removeAll(&box);
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void WidgetPrompter::dismissOpen() {
    for (const QPointer<QMessageBox>& box : std::as_const(m_open)) {
        if (box)
            box->done(box->standardButtons().testFlag(QMessageBox::No) ? QMessageBox::No
                                                                       : QMessageBox::Ok);
    }
}
