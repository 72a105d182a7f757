#pragma once

#include <QList>
#include <QString>

// Message boxes and questions go through this, so that tests answer them and nothing unattended
// waits for a click.
class Prompter {
public:
    enum class Icon { None, Critical, Warning };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~Prompter();
    virtual Answer ask(const QString& title, const QString& text, Icon icon, Buttons buttons,
                       Answer defaultAnswer) = 0;

    // An OK box.
    void inform(const QString& title, const QString& text, Icon icon);

    // Closes the questions that are open (a Yes/No one as No): the client is ending and
    // nobody may be left to answer them.
    virtual void dismissOpen();

    // The prompter of the running program (set by its main function); null until set.
    static Prompter* current();
    static void setCurrent(Prompter* prompter);
};

// Answers every question with a fixed answer and records what was asked (tests, unattended runs).
class ScriptedPrompter : public Prompter {
public:
    struct Asked {
        QString title;
        QString text;
        Icon icon;
        Buttons buttons;
    };

    explicit ScriptedPrompter(Answer yesNoAnswer = Answer::No);
    Answer ask(const QString& title, const QString& text, Icon icon, Buttons buttons,
               Answer defaultAnswer) override;
    void setYesNoAnswer(Answer answer);
    const QList<Asked>& asked() const;

private:
    Answer m_yesNoAnswer;
    QList<Asked> m_asked;
};
