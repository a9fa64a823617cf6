#pragma once

#include <QDialog>

#include <string>

class QLineEdit;

namespace tkan {

// The Comment dialog: one line of at most 40 characters for a data point.
class dlgTestNote : public QDialog {
    Q_OBJECT

public:
    dlgTestNote(const std::string& comment, QWidget* parent = nullptr);

    // Windows-1252, as the record keeps it.
    std::string Text() const;
    QLineEdit* Edit() const { return edit_; }

private:
    QLineEdit* edit_ = nullptr;
};

}  // namespace tkan
