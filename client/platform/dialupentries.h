#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class Dialler;

// Lists the computer's dial-up entries for the settings dialog. Each platform has its own back
// end; tests put in their own.
class DialupEntryLister {
public:
    enum class Outcome {
        Listed,        // names holds the entries (possibly none)
        UnknownSystem, // a Windows version whose dial-up records we do not know
        ListFailed     // the entries could not be read
    };
    struct Result {
        Outcome outcome = Outcome::Listed;
        QStringList names;
        int systemVersion = 0; // the Windows major version, for UnknownSystem
    };

    virtual ~DialupEntryLister();
    virtual Result listEntries() = 0;
};

// The back end of the running platform: the Windows phone book on Windows, the platform's
// dialler elsewhere.
std::unique_ptr<DialupEntryLister> platformDialupEntryLister();

// The connection names a dialler knows (NetworkManager's dial-on-demand connections through
// nmcli). When it has none to give, or no way to ask, the list is empty and LAN is the only
// choice; there is no Windows version to complain about.
class DiallerEntryLister : public DialupEntryLister {
public:
    explicit DiallerEntryLister(std::unique_ptr<Dialler> dialler);
    ~DiallerEntryLister() override;
    Result listEntries() override;

private:
    std::unique_ptr<Dialler> m_dialler;
};

#ifdef Q_OS_WIN
// The Windows major version as GetVersionExA reports it, 0 when it cannot be read.
int GetWindowsVersion();

// The Windows calls behind the phone-book listing; tests answer in their place.
struct RasListCalls {
    // RasEnumEntriesA into buffer (room for *bytes bytes, the first record's size field set):
    // sets *bytes to what is needed and *count to the number of entries.
    std::function<quint32(void* buffer, quint32* bytes, quint32* count)> enumEntries;
    std::function<int()> windowsVersion;

    static RasListCalls system();
};

// The phone-book entries through RasEnumEntriesA, with the record size that matches the
// Windows version.
class RasEntryLister : public DialupEntryLister {
public:
    explicit RasEntryLister(RasListCalls calls = RasListCalls::system());
    Result listEntries() override;

private:
    Result listWithRecordSize(quint32 recordSize);

    RasListCalls m_calls;
};
#endif
