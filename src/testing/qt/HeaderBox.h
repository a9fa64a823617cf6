#pragma once

#include <QGroupBox>

#include <array>
#include <cstddef>
#include <string>

#include "records/HeaderFields.h"

class QLineEdit;

namespace tkan {

// The "Test Header Information" box both test dialogs open with: the eight
// header texts, Company, Circuit, Model and KVA on the left, Station, MFR, SN
// and Operator on the right, each field named by its label.
class HeaderBox : public QGroupBox {
public:
    using Texts = std::array<std::string, kHeaderFieldCount>;

    explicit HeaderBox(QWidget* parent);

    // The edit of header field `field`, in the header table's order.
    QLineEdit* Edit(std::size_t field) const { return field < edits_.size() ? edits_[field] : nullptr; }
    void Show(const Texts& texts);
    Texts Read() const;

private:
    std::array<QLineEdit*, kHeaderFieldCount> edits_{};
};

}  // namespace tkan
