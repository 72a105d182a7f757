#pragma once

#include <QString>

// Where a procedure reports its steps: the windowed client's status list and transact.log, or
// the headless client's vanelet.log.
class StatusWriter {
public:
    virtual ~StatusWriter();
    virtual void writeStatus(const QString& text) = 0;
};
