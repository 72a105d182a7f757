// A Qt input plugin for tests of the built skyvane. Loaded through
// QT_QPA_GENERIC_PLUGINS=windowdriver:<goal>, it presses the main window's Cancel as a user
// would and, for the goal "chooser", answers the question Yes; for "question" it leaves the
// question open. It prints "<goal> open" on stdout once that window is up.
#include <QApplication>
#include <QGenericPlugin>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

QWidget* visibleWindow(const QString& title) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowTitle() == title)
            return window;
    }
    return nullptr;
}

// The notice has the main window's title too, and the order of the top-level windows is not
// fixed: look in every visible window of that title.
QPushButton* enabledButton(const QString& title, const QString& text) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || window->windowTitle() != title)
            continue;
        for (QPushButton* button : window->findChildren<QPushButton*>()) {
            if (button->text() == text && button->isEnabled())
                return button;
        }
    }
    return nullptr;
}

QMessageBox* visibleQuestion() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (box && box->isVisible() && box->button(QMessageBox::Yes))
            return box;
    }
    return nullptr;
}

// Clicks from the event loop: the slot it runs may open a modal loop of its own.
void clickLater(QAbstractButton* button) {
    QTimer::singleShot(0, button, &QAbstractButton::click);
}

class WindowDriver : public QObject {
public:
    explicit WindowDriver(const QString& goal) : m_goal(goal) {
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, &WindowDriver::step);
        timer->start(50);
    }

private:
    void step() {
        if (m_reported)
            return;
        if (!m_cancelPressed) {
            // Cancel is enabled while the connection fails.
            if (QPushButton* cancel =
                    enabledButton(QStringLiteral("Skyvane"), QStringLiteral("&Cancel"))) {
                m_cancelPressed = true;
                clickLater(cancel);
            }
            return;
        }
        QMessageBox* question = visibleQuestion();
        if (m_goal == QLatin1String("question")) {
            if (question)
                report();
            return;
        }
        if (question && !m_answered) {
            m_answered = true;
            clickLater(question->button(QMessageBox::Yes));
        }
        if (visibleWindow(QStringLiteral("Retry In?")))
            report();
    }

    void report() {
        m_reported = true;
        std::printf("%s open\n", qPrintable(m_goal));
        std::fflush(stdout);
    }

    QString m_goal;
    bool m_cancelPressed = false;
    bool m_answered = false;
    bool m_reported = false;
};

} // namespace

class WindowDriverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "windowdriver.json")
public:
    QObject* create(const QString& key, const QString& goal) override {
        if (key.compare(QLatin1String("windowdriver"), Qt::CaseInsensitive) != 0)
            return nullptr;
        return new WindowDriver(goal);
    }
};

#include "windowdriver.moc"
