#include "client/foundation/channeladdress.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/un.h>
#include <unistd.h>

ChannelAddress::ChannelAddress(const QString& file, const QString& programName)
    : m_file(file), m_programName(programName) {
    if (QFile::encodeName(m_file).size() < qsizetype(sizeof(sockaddr_un::sun_path)))
        return;
    const QByteArray folder = QFile::encodeName(QFileInfo(m_file).absolutePath());
    m_folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

ChannelAddress::~ChannelAddress() {
    if (m_folderFd >= 0)
        ::close(m_folderFd);
}

QString ChannelAddress::forListening() {
    return forConnecting();
}

bool ChannelAddress::publish() {
    return true; // the socket file is the address
}

QString ChannelAddress::forConnecting() const {
    if (m_folderFd < 0)
        return m_file;
    return QStringLiteral("/proc/self/fd/%1/%2").arg(m_folderFd).arg(QFileInfo(m_file).fileName());
}
