#pragma once

#include <QString>
#include <QWidget>

class ExecutableSwap;
class Prompter;
class QLabel;
class QTimer;

// The updater's only window: it shows that an update is being configured, waits 20 seconds for
// the client to end, then swaps the executables, starts the client and closes.
class frmUpdate : public QWidget {
    Q_OBJECT
public:
    static constexpr int WaitMs = 20000;

    frmUpdate(ExecutableSwap* swap, const QString& commandLine, Prompter* prompter,
              QWidget* parent = nullptr);

    // Shows the window at once and starts the wait.
    void start();

    QLabel* lblStatus() const;
    QTimer* tmrUpdate() const;
    // True when the swap failed and the error box was shown.
    bool failed() const;

public slots:
    // The one tick of tmrUpdate.
    void tmrUpdate_Timer();

private:
    ExecutableSwap* m_swap;
    QString m_commandLine;
    Prompter* m_prompter;
    QLabel* m_lblStatus;
    QTimer* m_tmrUpdate;
    bool m_failed = false;
};
