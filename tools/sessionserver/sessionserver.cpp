#include "tools/sessionserver/sessionserver.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
constexpr char Terminator = '\x08';
constexpr int SplitPauseMs = 200; // long enough for the two halves to arrive apart

int hexValue(QChar c) {
    const int v = QStringLiteral("0123456789abcdef").indexOf(c.toLower());
    return v;
}

// Turns a script text into bytes. Escapes: \\ \b (the terminator) \t \r \n \| \* \xHH.
// With splitBars an unescaped "|" starts the next message; with allowStar an unescaped "*" at
// the very end makes the text a prefix.
bool decodeText(const QString& text, bool splitBars, bool allowStar, QList<QByteArray>* parts,
                bool* star, QString* error) {
    parts->clear();
    QByteArray current;
    QString run;
    auto flushRun = [&] {
        current += run.toLocal8Bit();
        run.clear();
    };
    if (star)
        *star = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\')) {
            if (i + 1 >= text.size()) {
                *error = QStringLiteral("a lone \\ at the end");
                return false;
            }
            const QChar e = text[++i];
            flushRun();
            switch (e.toLatin1()) {
            case '\\':
            case '|':
            case '*':
                current += char(e.toLatin1());
                break;
            case 'b':
                current += Terminator;
                break;
            case 't':
                current += '\t';
                break;
            case 'r':
                current += '\r';
                break;
            case 'n':
                current += '\n';
                break;
            case 'x': {
                const int hi = i + 1 < text.size() ? hexValue(text[i + 1]) : -1;
                const int lo = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
                if (hi < 0 || lo < 0) {
                    *error = QStringLiteral("\\x needs two hex digits");
                    return false;
                }
                current += char(hi * 16 + lo);
                i += 2;
                break;
            }
            default:
                *error = QStringLiteral("unknown escape \\") + e;
                return false;
            }
        } else if (splitBars && c == QLatin1Char('|')) {
            flushRun();
            *parts << current;
            current.clear();
        } else if (allowStar && c == QLatin1Char('*') && i == text.size() - 1) {
            *star = true;
        } else {
            run += c;
        }
    }
    flushRun();
    *parts << current;
    return true;
}

QString printable(const QByteArray& bytes) {
    QString out;
    for (char ch : bytes) {
        const uchar c = uchar(ch);
        if (c == uchar(Terminator))
            out += QStringLiteral("\\b");
        else if (c < 0x20 || c == 0x7f)
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
        else
            out += QLatin1Char(char(c)); // 8-bit text shown byte by byte
    }
    return out;
}

bool toNumber(const QString& text, int* out) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < 0)
        return false;
    *out = v;
    return true;
}
} // namespace

bool parseSessionScript(const QString& text, QList<SessionStep>* steps, QString* error) {
    steps->clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        qsizetype first = 0;
        while (first < line.size() && line[first].isSpace())
            ++first;
        line = line.mid(first);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        const QString keyword = (blank < 0 ? line : line.left(blank)).toLower();
        const QString argument = blank < 0 ? QString() : line.mid(blank + 1);
        auto bad = [&](const QString& why) {
            if (error)
                *error = QStringLiteral("line %1: %2").arg(n + 1).arg(why);
            return false;
        };

        SessionStep step;
        step.line = n + 1;
        QString why;
        QList<QByteArray> parts;
        if (keyword == QLatin1String("expect") || keyword == QLatin1String("ignore")) {
            step.kind =
                keyword == QLatin1String("expect") ? SessionStep::Expect : SessionStep::Ignore;
            if (!decodeText(argument, false, true, &parts, &step.prefix, &why))
                return bad(why);
            step.messages = parts;
        } else if (keyword == QLatin1String("send") || keyword == QLatin1String("together")) {
            step.kind = SessionStep::Send;
            if (!decodeText(argument, keyword == QLatin1String("together"), false, &parts, nullptr,
                            &why))
                return bad(why);
            step.messages = parts;
        } else if (keyword == QLatin1String("raw")) {
            step.kind = SessionStep::Raw;
            if (!decodeText(argument, false, false, &parts, nullptr, &why))
                return bad(why);
            step.bytes = parts.value(0);
        } else if (keyword == QLatin1String("split")) {
            step.kind = SessionStep::Split;
            const qsizetype gap = argument.indexOf(QLatin1Char(' '));
            if (gap < 0 || !toNumber(argument.left(gap), &step.number))
                return bad(QStringLiteral("split needs a byte count and a message"));
            if (!decodeText(argument.mid(gap + 1), false, false, &parts, nullptr, &why))
                return bad(why);
            step.bytes = parts.value(0);
        } else if (keyword == QLatin1String("pause") || keyword == QLatin1String("timeout")) {
            step.kind =
                keyword == QLatin1String("pause") ? SessionStep::Pause : SessionStep::Timeout;
            if (!toNumber(argument, &step.number))
                return bad(keyword + QStringLiteral(" needs a whole number"));
        } else if (keyword == QLatin1String("close")) {
            step.kind = SessionStep::Close;
        } else if (keyword == QLatin1String("closed")) {
            step.kind = SessionStep::Closed;
        } else if (keyword == QLatin1String("refuse")) {
            step.kind = SessionStep::Refuse;
        } else if (keyword == QLatin1String("listen")) {
            step.kind = SessionStep::Listen;
        } else {
            return bad(QStringLiteral("unknown step \"") + keyword + QLatin1Char('"'));
        }
        steps->append(step);
    }
    return true;
}

SessionServer::SessionServer(QObject* parent)
    : QObject(parent), m_server(new QTcpServer(this)), m_pause(new QTimer(this)),
      m_waitLimit(new QTimer(this)) {
    m_pause->setSingleShot(true);
    m_waitLimit->setSingleShot(true);
    connect(m_server, &QTcpServer::newConnection, this, &SessionServer::onNewConnection);
    connect(m_pause, &QTimer::timeout, this, [this] {
        m_pauseElapsed = true;
        advance();
    });
    connect(m_waitLimit, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("line %1: nothing came within %2 seconds")
                 .arg(m_index < m_steps.size() ? m_steps[m_index].line : 0)
                 .arg(m_timeoutSeconds));
    });
    m_clock.start();
}

SessionServer::~SessionServer() = default;

bool SessionServer::listen(quint16 port, const QHostAddress& address) {
    if (!m_server->listen(address, port))
        return false;
    m_address = address;
    m_port = m_server->serverPort();
    return true;
}

quint16 SessionServer::port() const {
    return m_port;
}

bool SessionServer::setScript(const QString& text, QString* error) {
    QList<SessionStep> steps;
    if (!parseSessionScript(text, &steps, error))
        return false;
    setSteps(steps);
    return true;
}

void SessionServer::setSteps(const QList<SessionStep>& steps) {
    m_steps = steps;
}

void SessionServer::start() {
    m_index = 0;
    m_running = true;
    m_finished = false;
    m_failed = false;
    m_clock.restart();
    advance();
}

bool SessionServer::isFinished() const {
    return m_finished;
}

bool SessionServer::succeeded() const {
    return m_finished && !m_failed;
}

QString SessionServer::error() const {
    return m_error;
}

QByteArray SessionServer::received() const {
    return m_received;
}

QList<SessionServer::Message> SessionServer::messages() const {
    return m_messages;
}

int SessionServer::connectionCount() const {
    return m_connectionCount;
}

QStringList SessionServer::log() const {
    return m_log;
}

void SessionServer::note(const QString& line) {
    m_log << line;
    emit logLine(line);
}

void SessionServer::onNewConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        Connection connection;
        connection.number = ++m_connectionCount;
        m_connections.insert(socket, connection);
        m_waiting << socket;
        note(QStringLiteral("connection %1 accepted").arg(connection.number));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this,
                [this, socket] { onDisconnected(socket); });
    }
    advance();
}

void SessionServer::onReadyRead(QTcpSocket* socket) {
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    const QByteArray data = socket->readAll();
    m_received += data;
    emit bytesReceived(data);
    Connection& connection = it.value();
    connection.partial += data;
    qsizetype end;
    while ((end = connection.partial.indexOf(Terminator)) >= 0) {
        const QByteArray message = connection.partial.left(end);
        connection.partial.remove(0, end + 1);
        m_messages.append({connection.number, m_clock.elapsed(), message});
        connection.inbox << message;
        note(QStringLiteral("<- ") + printable(message));
    }
    advance();
}

void SessionServer::onDisconnected(QTcpSocket* socket) {
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    it->closed = true;
    note(QStringLiteral("connection %1 closed by the client").arg(it->number));
    advance();
}

bool SessionServer::takeConnection() {
    if (!m_current && !m_waiting.isEmpty())
        m_current = m_waiting.takeFirst();
    if (m_current)
        return true;
    startWaitLimit();
    return false;
}

bool SessionServer::isIgnored(const QByteArray& message) const {
    for (const SessionStep& ignore : m_ignores) {
        const QByteArray& text = ignore.messages.value(0);
        if (ignore.prefix ? message.startsWith(text) : message == text)
            return true;
    }
    return false;
}

void SessionServer::write(const QByteArray& bytes) {
    m_current->write(bytes);
    m_current->flush();
}

void SessionServer::dropCurrent() {
    if (!m_current)
        return;
    QTcpSocket* socket = m_current;
    m_current = nullptr;
    m_connections.remove(socket);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void SessionServer::startWaitLimit() {
    if (!m_waitLimit->isActive())
        m_waitLimit->start(m_timeoutSeconds * 1000);
}

void SessionServer::stopWaitLimit() {
    m_waitLimit->stop();
}

void SessionServer::fail(const QString& reason) {
    if (m_finished)
        return;
    m_failed = true;
    m_finished = true;
    m_running = false;
    m_error = reason;
    stopWaitLimit();
    note(QStringLiteral("FAILED: ") + reason);
    emit finished(false);
}

void SessionServer::finish() {
    m_finished = true;
    m_running = false;
    stopWaitLimit();
    note(QStringLiteral("script complete"));
    emit finished(true);
}

void SessionServer::advance() {
    if (!m_running || m_finished || m_advancing)
        return;
    m_advancing = true;
    while (m_running && m_index < m_steps.size()) {
        const SessionStep& step = m_steps[m_index];
        bool done = true;
        switch (step.kind) {
        case SessionStep::Ignore:
            m_ignores << step;
            break;
        case SessionStep::Timeout:
            m_timeoutSeconds = step.number;
            break;
        case SessionStep::Refuse:
            m_server->close();
            note(QStringLiteral("refusing connections"));
            break;
        case SessionStep::Listen:
            if (!m_server->isListening() && !m_server->listen(m_address, m_port)) {
                fail(QStringLiteral("line %1: cannot listen again on port %2")
                         .arg(step.line)
                         .arg(m_port));
                done = false;
            } else {
                note(QStringLiteral("listening again"));
            }
            break;
        case SessionStep::Pause:
            if (!m_pauseElapsed) {
                if (!m_pause->isActive())
                    m_pause->start(step.number);
                done = false;
            } else {
                m_pauseElapsed = false;
            }
            break;
        case SessionStep::Send:
        case SessionStep::Raw: {
            if (!takeConnection()) {
                done = false;
                break;
            }
            QByteArray bytes = step.bytes;
            if (step.kind == SessionStep::Send) {
                QStringList shown;
                for (const QByteArray& message : step.messages) {
                    bytes += message + Terminator;
                    shown << printable(message);
                }
                note(QStringLiteral("-> ") + shown.join(QStringLiteral(" | ")));
            } else {
                note(QStringLiteral("-> raw ") + printable(bytes));
            }
            write(bytes);
            break;
        }
        case SessionStep::Split: {
            if (!takeConnection()) {
                done = false;
                break;
            }
            const QByteArray bytes = step.bytes + Terminator;
            if (!m_splitHalfSent) {
                write(bytes.left(step.number));
                note(QStringLiteral("-> first part ") + printable(bytes.left(step.number)));
                m_splitHalfSent = true;
                m_pause->start(SplitPauseMs);
                done = false;
            } else if (m_pauseElapsed) {
                write(bytes.mid(step.number));
                note(QStringLiteral("-> second part ") + printable(bytes.mid(step.number)));
                m_splitHalfSent = false;
                m_pauseElapsed = false;
            } else {
                done = false;
            }
            break;
        }
        case SessionStep::Close:
            if (m_current) {
                m_current->flush();
                m_current->disconnectFromHost();
                note(QStringLiteral("connection closed by the server"));
                dropCurrent();
            }
            break;
        case SessionStep::Closed:
            if (!takeConnection() || !m_connections.value(m_current).closed) {
                startWaitLimit();
                done = false;
                break;
            }
            dropCurrent();
            break;
        case SessionStep::Expect: {
            if (!takeConnection()) {
                done = false;
                break;
            }
            Connection& connection = m_connections[m_current];
            while (!connection.inbox.isEmpty() && isIgnored(connection.inbox.first()))
                connection.inbox.removeFirst();
            if (connection.inbox.isEmpty()) {
                if (connection.closed)
                    fail(QStringLiteral("line %1: the client closed the connection while \"%2\" "
                                        "was expected")
                             .arg(step.line)
                             .arg(printable(step.messages.value(0))));
                else
                    startWaitLimit();
                done = false;
                break;
            }
            const QByteArray message = connection.inbox.takeFirst();
            const QByteArray& text = step.messages.value(0);
            if (step.prefix ? !message.startsWith(text) : message != text) {
                fail(QStringLiteral("line %1: expected \"%2%3\", received \"%4\"")
                         .arg(step.line)
                         .arg(printable(text), step.prefix ? QStringLiteral("*") : QString(),
                              printable(message)));
                done = false;
            }
            break;
        }
        }
        if (!done)
            break;
        ++m_index;
        stopWaitLimit();
    }
    m_advancing = false;
    if (m_running && m_index >= m_steps.size())
        finish();
}
