#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "app/AppSetup.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tkan {

class Prompter;

// Application Setup's window over CAppSetup: every control edits the copy;
// the caller takes the copy only after OK.
class AppSetupDialog : public QDialog {
    Q_OBJECT

public:
    AppSetupDialog(CAppSetup& setup, Prompter& prompter, QWidget* parent = nullptr);

    // The colour picker and the logo chooser, replaceable by tests. Nothing
    // means cancelled.
    std::function<std::optional<CanvasColour>(CanvasColour)> pickColour;
    std::function<std::optional<std::string>(const std::string&)> chooseLogo;

    // The colour rows: 0 Foreground, 1 Background, 2 Graph Background, then
    // the seven trace rows.
    static constexpr int kColourRows = 3 + kTraceRowCount;
    QLabel* Swatch(int row) const { return swatches_.at(static_cast<std::size_t>(row)); }
    QPushButton* SelectButton(int row) const { return selects_.at(static_cast<std::size_t>(row)); }
    QCheckBox* TraceCheck(TraceRow row) const { return checks_.at(static_cast<std::size_t>(row)); }
    QComboBox* ComPortList() const { return comPort_; }
    QComboBox* GraphList() const { return graph_; }
    QCheckBox* UsbCheck() const { return usb_; }
    QPushButton* OkButton() const { return ok_; }
    // The edits of "Transitions", in the order of kTransitionFields.
    QLineEdit* TransitionEdit(int field) const { return transitionEdits_.at(static_cast<std::size_t>(field)); }

    void accept() override;

private:
    QWidget* BuildColours();
    QWidget* BuildFolders();
    QWidget* BuildTransitions();
    CanvasColour ColourAt(int row) const;
    void SetColourAt(int row, CanvasColour colour);
    void PickColour(int row);
    void PaintSwatches();
    void ShowGraph();

    CAppSetup& setup_;
    Prompter& prompter_;
    QRadioButton* landscape_ = nullptr;
    QRadioButton* portrait_ = nullptr;
    QCheckBox* usb_ = nullptr;
    QComboBox* comPort_ = nullptr;
    QComboBox* graph_ = nullptr;
    QComboBox* dateFormat_ = nullptr;
    std::array<QLabel*, kColourRows> swatches_{};
    std::array<QPushButton*, kColourRows> selects_{};
    std::array<QCheckBox*, kTraceRowCount> checks_{};
    QLineEdit* filePath_ = nullptr;
    QLineEdit* logo_ = nullptr;
    QCheckBox* autoExport_ = nullptr;
    QLineEdit* autoExportDir_ = nullptr;
    QCheckBox* exportXml_ = nullptr;
    QCheckBox* exportExcel_ = nullptr;
    QCheckBox* exportPdf_ = nullptr;
    QLineEdit* exportFolder_ = nullptr;
    std::array<QLineEdit*, kTransitionFields.size()> transitionEdits_{};
    QPushButton* ok_ = nullptr;
};

}  // namespace tkan
