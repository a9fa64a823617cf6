#include "testing/qt/TestingStyle.h"

#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "platform/qt/QSettingsStore.h"
#include "platform/qt/QtText.h"

namespace tkan {

namespace {

QString Rgb(const QColor& c)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

// A disabled button keeps a hint of its colour, washed out towards grey, so
// the operator still tells Start from Stop but sees that it will not act.
QColor Washed(const QColor& c)
{
    const QColor grey(232, 232, 232);
    return QColor((c.red() + 2 * grey.red()) / 3, (c.green() + 2 * grey.green()) / 3, (c.blue() + 2 * grey.blue()) / 3);
}

}  // namespace

void StyleStatusLine(QLabel& label, const QFont& dialogFont)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::ExtraBold);
    if (dialogFont.pointSizeF() > 0)
        font.setPointSizeF(dialogFont.pointSizeF() * 2);
    else if (dialogFont.pixelSize() > 0)
        font.setPixelSize(dialogFont.pixelSize() * 2);
    else
        font.setPixelSize(20);
    label.setFont(font);

    QPalette palette = label.palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, kStatusBackground);
        palette.setColor(group, QPalette::WindowText, kStatusForeground);
    }
    label.setPalette(palette);
    label.setAutoFillBackground(true);
    label.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label.setTextFormat(Qt::PlainText);
    label.setWordWrap(false);
    label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label.setMargin(4);
    // One line, and the same size whether a blink has emptied it or not; as
    // wide as the longest message the test shows, so none is cut.
    const QFontMetrics metrics(font);
    label.setMinimumHeight(metrics.height() + 14);
    label.setMinimumWidth(
        metrics.horizontalAdvance(QStringLiteral("   *** READY PRESS RAISE/LOWER BUTTON TO START ***")) + 24);
}

void StyleColouredButton(QPushButton& button, const QColor& colour, const QColor& pressedColour)
{
    button.setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: black;"
                                        " border: 1px solid rgb(110, 110, 110); border-radius: 3px;"
                                        " padding: 5px 14px; }"
                                        "QPushButton:pressed { background-color: %2; }"
                                        "QPushButton:focus { border: 2px solid rgb(40, 90, 180); }"
                                        "QPushButton:disabled { background-color: %3; color: rgb(140, 140, 140);"
                                        " border-color: rgb(180, 180, 180); }")
                             .arg(Rgb(colour), Rgb(pressedColour), Rgb(Washed(colour))));
}

QString StatusTextForScreen(const std::string& text)
{
    std::string shown;
    shown.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n')
            shown.push_back(c);
    return FromWindows1252(shown);
}

}  // namespace tkan
