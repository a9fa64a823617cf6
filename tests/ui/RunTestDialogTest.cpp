#include "testing/qt/RunTestDialog.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <optional>

#include "testing/qt/TestCurrentDialog.h"
#include "ui/TestingDialogsRig.h"

namespace tkan::test {
namespace {

QString AccessibleName(QWidget* widget)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}

// The control a screen reader announces by this name.
template <typename W>
W* Named(QWidget& root, const QString& name)
{
    for (W* widget : root.findChildren<W*>())
        if (AccessibleName(widget) == name)
            return widget;
    return nullptr;
}

// Every button, tick box and labelled field is announced by its visible
// label.
void ExpectNamedByTheirLabels(QWidget& root)
{
    for (QAbstractButton* button : root.findChildren<QAbstractButton*>()) {
        if (!button->text().isEmpty()) {
            EXPECT_EQ(AccessibleName(button), button->text().remove(QLatin1Char('&')));
        }
    }
    for (QLabel* label : root.findChildren<QLabel*>()) {
        if (label->buddy() && label->buddy()->accessibleName().isEmpty()) {
            EXPECT_EQ(AccessibleName(label->buddy()), label->text());
        }
    }
}

void Save(QWidget* widget, const char* name)
{
    QDir().mkpath(QStringLiteral(TKAN_SCREENSHOT_DIR));
    widget->grab().save(QStringLiteral(TKAN_SCREENSHOT_DIR "/") + QString::fromLatin1(name));
}

TEST(RunTestDialog, ATkanRunIsDrivenByTheNamesAScreenReaderHears)
{
    Rig rig(Link::Usb);
    QtRig qt(rig);
    rig.store.WriteText("Settings", "Company", "North Grid Utilities");
    rig.store.WriteText("Settings", "Station", "Eastfield 132 kV");
    WhenShown<TestCurrentDialog>([](TestCurrentDialog* choice) {
        ExpectNamedByTheirLabels(*choice);
        choice->CurrentButton(2)->click();
        Save(choice, "select-test-current.png");
        choice->accept();
    });
    RunTestDialog dialog(nullptr, *rig.context, {"V1/V2/V3", false, 0});
    ASSERT_TRUE(dialog.Open());
    EXPECT_EQ(dialog.Controller().CurrentAmps(), 10);
    ExpectNamedByTheirLabels(dialog);

    QPushButton* accept = Named<QPushButton>(dialog, QStringLiteral("Accept Test"));
    QLineEdit* r1 = Named<QLineEdit>(dialog, QStringLiteral("R1="));
    QLineEdit* tsF = Named<QLineEdit>(dialog, QStringLiteral("Reference Temp (Ts) Fahrenheit"));
    QLineEdit* tsC = Named<QLineEdit>(dialog, QStringLiteral("Reference Temp (Ts) Celcius"));
    ASSERT_TRUE(accept && r1 && tsF && tsC);
    EXPECT_EQ(tsC->text(), QStringLiteral("75.00"));

    tsF->setText(QStringLiteral("100"));
    emit tsF->textEdited(tsF->text());
    EXPECT_EQ(tsC->text(), QStringLiteral("37.78"));

    int clicks = 0;
    rig.script.Then([&] { PostClick(Named<QPushButton>(dialog, QStringLiteral("Start Test"))); });
    for (int i = 0; i < 3; ++i)
        rig.script.When([&] { return accept->isEnabled() && !r1->text().isEmpty(); },
                        [&] {
                            PostClick(accept);
                            ++clicks;
                        });
    rig.script
        .When(
            [&] {
                return dialog.ReadingsList()->rowCount() == 3 && dialog.SettlingLabel(0)->text().contains("stable");
            },
            [&] { Save(&dialog, "run-test.png"); })
        .Then([&] { dialog.reject(); });
    dialog.exec();

    EXPECT_FALSE(qt.bailedOut);
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(dialog.ReadingsList()->rowCount(), 3);
    EXPECT_FALSE(dialog.ReadingsList()->isColumnHidden(7));
}

TEST(RunTestDialog, NumberOfStepsTakesTheLeadingInteger)
{
    std::optional<int> steps;
    WhenShown<QDialog>([](QDialog* question) {
        EXPECT_EQ(question->windowTitle(), QStringLiteral("# of Steps"));
        QLineEdit* answer = Named<QLineEdit>(*question, QStringLiteral("# of Steps"));
        ASSERT_TRUE(answer);
        answer->setText(QStringLiteral("16 taps"));
        Save(question, "number-of-steps.png");
        question->accept();
    });
    steps = AskNumberOfSteps(nullptr);
    ASSERT_TRUE(steps);
    EXPECT_EQ(*steps, 16);
}

}  // namespace
}  // namespace tkan::test
