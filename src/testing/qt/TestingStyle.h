#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <string>

class QLabel;
class QPushButton;

namespace tkan {

// The colours and fonts the test dialogs share.
inline const QColor kStatusBackground(247, 251, 105);
inline const QColor kStatusForeground(0, 0, 0);
inline const QColor kStartColour(204, 255, 102);
inline const QColor kStopColour(255, 153, 0);

// Black on pale yellow, heavy, twice the height of the dialog's own font.
void StyleStatusLine(QLabel& label, const QFont& dialogFont);

// A push button filled with `colour`, and with `pressedColour` while held.
void StyleColouredButton(QPushButton& button, const QColor& colour, const QColor& pressedColour);

// The core's status texts begin with a carriage return, a leftover the
// instrument's own display needs; on screen only the rest counts.
QString StatusTextForScreen(const std::string& text);

}  // namespace tkan
