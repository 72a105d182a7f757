#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// Brings a named dial-up connection up and down. One back end per platform: the Windows
// internet dialling calls there, NetworkManager's command-line client elsewhere; tests use a
// fake. Calls block while they work, as the dialling call does.
class Dialler {
public:
    using Handle = quintptr;

    // Result codes every back end maps its failures onto (0 is success).
    static constexpr quint32 NoConnection = 668;
    static constexpr quint32 NoDialTone = 631; // or the user cancelled
    static constexpr quint32 InvalidParameter = 87;

    virtual ~Dialler();

    // Dials the connection without asking anybody. 0 with *handle set, or an error code.
    virtual quint32 dial(const QString& connection, Handle* handle) = 0;

    // Hangs up a connection that dial() brought up. 0, or an error code.
    virtual quint32 hangUp(Handle handle) = 0;

    // Names of the dial-up connections this machine knows, for the settings dialog.
    virtual QStringList connections() = 0;

    // The back end of this platform.
    static std::unique_ptr<Dialler> createDefault();
};

// The status text for a dial or hang-up result.
QString DialErrorText(quint32 code);
