#include "client/foundation/channeladdress.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

ChannelAddress::ChannelAddress(const QString& file, const QString& programName)
    : m_file(file), m_programName(programName) {}

ChannelAddress::~ChannelAddress() = default;

QString ChannelAddress::forListening() {
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    const QByteArray secret(reinterpret_cast<const char*>(words), sizeof(words));
    m_listening = m_programName + QLatin1Char('-') + QString::fromLatin1(secret.toHex());
    return m_listening;
}

bool ChannelAddress::publish() {
    QFile file(m_file);
    const QByteArray name = m_listening.toUtf8();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(name) == name.size() && file.flush();
}

QString ChannelAddress::forConnecting() const {
    QFile file(m_file);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Anything else is a name still being written, or no name of ours.
    const QString name = QString::fromUtf8(file.read(256));
    const QRegularExpression form(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(m_programName) + QStringLiteral("-[0-9a-f]{32}")));
    return form.match(name).hasMatch() ? name : QString();
}
