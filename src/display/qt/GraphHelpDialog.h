#pragma once

#include <QDialog>

class QLabel;

namespace tkan {

// F1 on the graph: how the mouse and the keys work it.
class dlgHelp : public QDialog {
    Q_OBJECT

public:
    explicit dlgHelp(QWidget* parent = nullptr);

    QLabel* TextLabel() const { return text_; }

private:
    QLabel* text_ = nullptr;
};

}  // namespace tkan
