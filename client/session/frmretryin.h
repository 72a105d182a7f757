#pragma once

#include <QWidget>

class ClientApp;
class QComboBox;
class QLabel;
class QPushButton;

// Offered after Cancel: in how many minutes to try again ("0" ends the client).
class frmRetryIn : public QWidget {
    Q_OBJECT
public:
    explicit frmRetryIn(ClientApp* app);
    ~frmRetryIn() override;

    QLabel* lblRetry() const;
    QComboBox* cmbMin() const;
    QLabel* label1() const;
    QPushButton* cmdOK() const;

private:
    ClientApp* m_app;
    QLabel* m_lblRetry;
    QComboBox* m_cmbMin;
    QLabel* m_label1;
    QPushButton* m_cmdOK;
};
