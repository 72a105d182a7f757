#pragma once

#include <QString>

// Databases of the kinds stores run, written for tests (TestDatabase): what each holds and the
// texts its values must give are listed in storedatabases.cpp.
namespace StoreDatabases {

// ACE 2010 (or another version): Staff with calculated columns of every result type and a text
// beyond 16 bits; Customers and Orders, and saved queries over them, of supported forms and not.
bool writeStore(const QString& path, bool jet4 = false);
// ACE 2019: Visits with an extended date/time column.
bool writeVisits(const QString& path);
// ACE 2007: Odd with columns of types no reader knows, one variable (70), one fixed (71); Notes
// with a text that holds a NUL character.
bool writeOdd(const QString& path);

} // namespace StoreDatabases
