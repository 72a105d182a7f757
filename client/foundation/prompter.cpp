#include "client/foundation/prompter.h"

#include <QList>

namespace {
Prompter*& currentPrompter() {
    static Prompter* prompter = nullptr;
    return prompter;
}
} // namespace

Prompter::~Prompter() = default;

void Prompter::dismissOpen() {}

void Prompter::inform(const QString& title, const QString& text, Icon icon) {
    ask(title, text, icon, Buttons::Ok, Answer::Ok);
}

Prompter* Prompter::current() {
    return currentPrompter();
}

void Prompter::setCurrent(Prompter* prompter) {
    currentPrompter() = prompter;
}

ScriptedPrompter::ScriptedPrompter(Answer yesNoAnswer) : m_yesNoAnswer(yesNoAnswer) {}

Prompter::Answer ScriptedPrompter::ask(const QString& title, const QString& text, Icon icon,
                                       Buttons buttons, Answer) {
    m_asked.append({title, text, icon, buttons});
    return buttons == Buttons::Ok ? Answer::Ok : m_yesNoAnswer;
}

void ScriptedPrompter::setYesNoAnswer(Answer answer) {
    m_yesNoAnswer = answer;
}

const QList<ScriptedPrompter::Asked>& ScriptedPrompter::asked() const {
    return m_asked;
}
