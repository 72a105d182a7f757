#pragma once

#include <QStringList>

class QWidget;

// The controls of a window whose text needs more room than the control gives it, or more than
// its parents let be seen: labels, check boxes, buttons, text fields, combo box items, group box
// titles and list lines. One line per clipped control, naming it and both sizes; empty when
// everything fits. The window must have been shown, so that its fonts and style are final.
QStringList clippedControls(QWidget* window);
