#include "client/session/frmmain.h"

#include "client/display/ftpeventhandler.h"
#include "client/display/progressbar.h"
#include "client/foundation/statuslog.h"
#include "client/foundation/version.h"
#include "client/session/clientapp.h"
#include "client/session/clientstate.h"
#include "client/session/pacedtimer.h"
#include "client/session/sessionclient.h"
#include "client/widgets/twips.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>

namespace {
QLabel* label(QWidget* parent, const QString& text, const QRect& geometry) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(geometry);
    return l;
}
} // namespace

frmMain::frmMain(ClientApp* app) : QWidget(nullptr), m_app(app) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Skyvane"));
    setFixedSize(Twips::toPixels(6015), Twips::toPixels(5175));

    m_lblTitle = label(this, QStringLiteral("Skyvane 1.0.0"), Twips::rect(360, 120, 5295, 375));
    QFont titleFont(QStringLiteral("Tahoma"), 12, QFont::Bold);
    m_lblTitle->setFont(titleFont);
    m_lblTitle->setAlignment(Qt::AlignCenter);

    m_lstStatus = new QListView(this);
    m_lstStatus->setGeometry(Twips::rect(360, 600, 5295, 2295));
    m_lstStatus->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lstStatus->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lstStatus->setModel(StatusLog::instance().model());
    connect(StatusLog::instance().model(), &QAbstractItemModel::rowsInserted, this,
            &frmMain::showNewestStatus);

    m_frame1 = new QGroupBox(QStringLiteral("File Transfer Status"), this);
    m_frame1->setGeometry(Twips::rect(360, 3000, 5295, 1455));
    // Frame-relative 180,300 to 5115,675 stays free: the progress bar goes there.
    m_lblTotalBytes =
        label(m_frame1, QStringLiteral("Total Bytes Expected:"), Twips::rect(180, 780, 2415, 195));
    m_lblTransfered =
        label(m_frame1, QStringLiteral("Bytes Transfered:"), Twips::rect(2640, 780, 2475, 195));
    m_lblByteRate = label(m_frame1, QStringLiteral("Transfer Rate (Bytes Per Second):"),
                          Twips::rect(180, 1080, 4935, 195));
    QFont small = font();
    small.setPointSize(7);
    for (QLabel* l : {m_lblTotalBytes, m_lblTransfered, m_lblByteRate})
        l->setFont(small);

    m_cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cmdCancel->setGeometry(Twips::rect(360, 4620, 1455, 375));
    connect(m_cmdCancel, &QPushButton::clicked, app, &ClientApp::cancelClicked);
    m_cmdMin = new QPushButton(QStringLiteral("&Minimize"), this);
    m_cmdMin->setGeometry(Twips::rect(4200, 4620, 1455, 375));
    connect(m_cmdMin, &QPushButton::clicked, this, &QWidget::showMinimized);

    // Each timer sleeps while its tick has nothing to do and wakes on the beat it would have
    // kept: 250 wake-ups a second with nothing to dispatch cost an idle client over a percent
    // of a core, and the paces of sending, keep-alives and retries stay as they were.
    m_tmrPulse = addTimer(1000, &SessionClient::pulseTick, &SessionClient::pulseDue);
    m_spltimer = addTimer(4, &SessionClient::dispatchTick, &SessionClient::dispatchDue);
    m_clientspltimer = addTimer(750, &SessionClient::sendTick, &SessionClient::sendDue);
    m_socktimer = addTimer(250, &SessionClient::socketWatchTick, &SessionClient::socketWatchDue);
    m_tmrRetrySec = addTimer(1000, &SessionClient::retryTick, &SessionClient::retryDue);
    connect(&app->session(), &SessionClient::timerWorkChanged, this, [this] {
        for (PacedTimer* timer :
             {m_tmrPulse, m_spltimer, m_clientspltimer, m_socktimer, m_tmrRetrySec})
            timer->update();
    });

    // Load: the version line, then the progress bar in its idle state.
    m_lblTitle->setText(QStringLiteral("Skyvane ") + Versions::Skyvane.text());
    m_progressBar.reset(new ProgressBar);
    m_progressBar->CreateProgressBar(this, ProgressBarTop, ProgressBarLeft, ProgressBarWidth,
                                     ProgressBarHeight);
    m_progressBar->UpdateProgressBar(100, 0, false);
    m_transferEvents = new FtpEventHandler(m_lblTotalBytes, m_lblTransfered, m_lblByteRate,
                                           m_progressBar.get(), this);
    connect(m_transferEvents, &FtpEventHandler::ftpDone, this,
            [] { clientFlags().ftpDone = true; });
}

frmMain::~frmMain() = default;

PacedTimer* frmMain::addTimer(int intervalMs, void (SessionClient::*tick)(),
                              bool (SessionClient::*due)() const) {
    SessionClient* session = &m_app->session();
    auto* timer = new PacedTimer(
        intervalMs, [session, due] { return (session->*due)(); }, this);
    timer->setClock(&session->clock());
    connect(timer, &PacedTimer::timeout, session, tick);
    return timer;
}

void frmMain::startTimers() {
    for (PacedTimer* timer : {m_tmrPulse, m_spltimer, m_clientspltimer, m_socktimer, m_tmrRetrySec})
        timer->start();
}

QRect frmMain::progressBarRect() const {
    return Twips::rect(ProgressBarLeft, ProgressBarTop, ProgressBarWidth, ProgressBarHeight);
}

void frmMain::showNewestStatus() {
    QAbstractItemModel* model = m_lstStatus->model();
    const QModelIndex newest = model->index(model->rowCount() - 1, 0);
    m_lstStatus->setCurrentIndex(newest);
    m_lstStatus->scrollTo(newest);
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (m_app->closeRequest()) {
        event->accept();
        m_app->mainWindowClosed(this);
    } else {
        event->ignore();
    }
}

ProgressBar* frmMain::progressBar() const {
    return m_progressBar.get();
}

FtpEventHandler* frmMain::transferEvents() const {
    return m_transferEvents;
}

QLabel* frmMain::lblTitle() const {
    return m_lblTitle;
}

QListView* frmMain::lstStatus() const {
    return m_lstStatus;
}

QGroupBox* frmMain::frame1() const {
    return m_frame1;
}

QLabel* frmMain::lblTotalBytes() const {
    return m_lblTotalBytes;
}

QLabel* frmMain::lblTransfered() const {
    return m_lblTransfered;
}

QLabel* frmMain::lblByteRate() const {
    return m_lblByteRate;
}

QPushButton* frmMain::cmdCancel() const {
    return m_cmdCancel;
}

QPushButton* frmMain::cmdMin() const {
    return m_cmdMin;
}

PacedTimer* frmMain::tmrPulse() const {
    return m_tmrPulse;
}

PacedTimer* frmMain::spltimer() const {
    return m_spltimer;
}

PacedTimer* frmMain::clientspltimer() const {
    return m_clientspltimer;
}

PacedTimer* frmMain::socktimer() const {
    return m_socktimer;
}

PacedTimer* frmMain::tmrRetrySec() const {
    return m_tmrRetrySec;
}
