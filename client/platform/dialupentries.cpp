#include "client/platform/dialupentries.h"

#include "client/platform/dialler.h"

DialupEntryLister::~DialupEntryLister() = default;

DiallerEntryLister::DiallerEntryLister(std::unique_ptr<Dialler> dialler)
    : m_dialler(std::move(dialler)) {}

DiallerEntryLister::~DiallerEntryLister() = default;

DialupEntryLister::Result DiallerEntryLister::listEntries() {
    Result result;
    if (m_dialler)
        result.names = m_dialler->connections();
    return result;
}

std::unique_ptr<DialupEntryLister> platformDialupEntryLister() {
#ifdef Q_OS_WIN
    return std::make_unique<RasEntryLister>();
#else
    return std::make_unique<DiallerEntryLister>(Dialler::createDefault());
#endif
}
