#pragma once

#include "client/foundation/prompter.h"

#include <QList>
#include <QPointer>

class QMessageBox;

// Shows questions and notices as real message boxes.
class WidgetPrompter : public Prompter {
public:
    Answer ask(const QString& title, const QString& text, Icon icon, Buttons buttons,
               Answer defaultAnswer) override;
    void dismissOpen() override;

private:
    QList<QPointer<QMessageBox>> m_open;
};
