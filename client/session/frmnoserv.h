#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class PacedTimer;

// Whether the user hid the notice, and the seconds since. Lives for the whole run, beyond the
// notice window itself.
struct NoticeState {
    bool hidden = false;
    qint16 hideCounter = 0;
};

// The small notice that reports server trouble. HIDE keeps it away for about a minute.
class frmNoServ : public QWidget {
    Q_OBJECT
public:
    static constexpr int HideSeconds = 60;

    explicit frmNoServ(NoticeState* state);
    ~frmNoServ() override;

    void startTimer();
    void setTexts(const QString& retry, const QString& message);
    // Visible and on top, without taking the focus, moving or resizing.
    void showOnTop();
    // tmrHideCounter, every 1000 ms while the notice is hidden.
    void hideCounterTick();

    QLabel* lblMessage() const;
    QLabel* retry() const;
    QLabel* message() const;
    QPushButton* cmdHide() const;
    PacedTimer* tmrHideCounter() const;

private:
    void onHide();

    NoticeState* m_state;
    QLabel* m_lblMessage;
    QLabel* m_retry;
    QLabel* m_message;
    QPushButton* m_cmdHide;
    PacedTimer* m_tmrHideCounter;
};
