#pragma once

#include <QList>
#include <QString>

#include <memory>

class QWidget;

// Every window of the four windowed programs, built by the programs' own code with the fonts
// the programs set, and filled as a store would see them during a night: skyvane's main window,
// notice and retry chooser, svSetup's access prompt and settings dialog, svLaunch's splash and
// update's window. For the fit test and the guide's screenshots.
class WindowGallery {
public:
    struct Window {
        QString name; // also the screenshot's file name
        QWidget* widget;
    };

    // Needs a QApplication; works in a temporary program folder of its own.
    WindowGallery();
    ~WindowGallery();

    // Builds and shows every window; false with the reason in *error when one could not be made.
    bool open(QString* error);
    QList<Window> windows() const;

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};
