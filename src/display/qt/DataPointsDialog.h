#pragma once

#include <QDialog>

#include <vector>

#include "display/DataPointList.h"

class QPushButton;
class QTreeWidget;

namespace tkan {

class Prompter;
class TestRecord;

// The Data Points dialog (F9): the marked points of the test, to reorder,
// comment and delete. OK writes the list's order into the record; Cancel
// leaves the record untouched.
class dlgDataPoints : public QDialog {
    Q_OBJECT

public:
    dlgDataPoints(TestRecord& record, Prompter& prompter, QWidget* parent = nullptr);

    QTreeWidget* List() const { return list_; }

    void accept() override;

private:
    void Fill(int selectRow);
    std::vector<int> SelectedRows() const;
    // The one selected row, or -1 after telling the operator why not.
    int SingleRow();
    void MoveRow(bool up);
    void EditComment();
    void DeleteRows();

    TestRecord& record_;
    Prompter& prompter_;
    DataPointList points_;
    QTreeWidget* list_ = nullptr;
};

}  // namespace tkan
