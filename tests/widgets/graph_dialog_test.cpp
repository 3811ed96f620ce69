#include "widgets/graph/qgraphaxis.h"
#include "widgets/graph/qgraphdialogsignalproperties.h"
#include "widgets/graph/qgraphlegend.h"
#include "widgets/graph/qgraphsignal.h"
#include "widgets/graph/qgraphwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class EmptySignal : public QGraphSignal
{
public:
    EmptySignal(QWidget *owner) : QGraphSignal(owner, "speed", "km/h") {}
    void fetch(bool, bool) override {}
};

} // namespace

TEST(GraphSignalProperties, FormHasItsNamedWidgetsAndFocusOrder)
{
    QGraphDialogSignalProperties dialog;
    EXPECT_EQ(dialog.objectName(), "QGraphDialogSignalPropertiesBase");
    EXPECT_EQ(dialog.windowTitle(), "Signal Properties");
    const std::pair<const char *, const char *> texts[] = {
        {"cb_userdefined_limits", "Userdefined Limits"}, {"textLabel2", "Y-Min:"}, {"textLabel3", "Y-Max:"},
        {"textLabel1", "Color:"}, {"pb_color", "Color"}, {"pb_ok", "&OK"}, {"pb_cancel", "&Cancel"}};
    for (const auto &entry : texts) {
        QWidget *widget = dialog.findChild<QWidget *>(entry.first);
        ASSERT_TRUE(widget) << entry.first;
        const QVariant text = widget->property("text");
        EXPECT_EQ(text.toString(), entry.second) << entry.first;
    }
    EXPECT_TRUE(dialog.pb_ok->isDefault());
    EXPECT_GE(dialog.width(), 354);
    EXPECT_EQ(dialog.le_min->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);

    QGraphDialogSignalProperties named(nullptr, "signal_properties_dialog");
    EXPECT_EQ(named.objectName(), "signal_properties_dialog");

    dialog.set_fixed_limits(true);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.le_min->setFocus();
    QTest::keyClick(dialog.le_min, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.le_max);
    QTest::keyClick(dialog.le_max, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.pb_color);
}

TEST(GraphSignalProperties, OkOnlyForTwoNumbersInOrder)
{
    QGraphDialogSignalProperties dialog;
    dialog.set_limits(20.0, -5.0);
    EXPECT_TRUE(dialog.pb_ok->isEnabled());
    EXPECT_FALSE(dialog.le_min->isEnabled()) << "limits are editable only when fixed";
    struct Case {
        const char *minimum, *maximum;
        bool ok;
    };
    const Case cases[] = {{"1", "2", true}, {"3", "3", false}, {"4", "3", false},
                          {"abc", "3", false}, {"1", "", false}, {"-1e3", "1.5e2", true}};
    for (const Case &c : cases) {
        dialog.le_min->setText(c.minimum);
        dialog.le_max->setText(c.maximum);
        EXPECT_EQ(dialog.pb_ok->isEnabled(), c.ok) << c.minimum << " .. " << c.maximum;
    }
    QTest::mouseClick(dialog.cb_userdefined_limits, Qt::LeftButton);
    EXPECT_TRUE(dialog.fixed_limits());
    EXPECT_TRUE(dialog.le_min->isEnabled());
    EXPECT_TRUE(dialog.le_max->isEnabled());

    dialog.set_limits(1234567.891234, -0.000123456789012345);
    EXPECT_EQ(dialog.le_max->text(), "1234567.891");
    EXPECT_EQ(dialog.le_min->text(), "-0.000123456789") << "10 significant digits, as %g writes them";
    EXPECT_DOUBLE_EQ(dialog.maximum(), 1234567.891);
}

TEST(GraphSignalProperties, OkAppliesColourAndFixedLimits)
{
    QGraphWindow window;
    window.resize(400, 300);
    auto *signal = new EmptySignal(&window);
    window.add_signal(signal);
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<QGraphDialogSignalProperties *>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->objectName(), "signal_properties_dialog");
        EXPECT_EQ(dialog->le_min->text(), "-10");
        EXPECT_EQ(dialog->le_max->text(), "10");
        EXPECT_FALSE(dialog->fixed_limits());
        dialog->set_color(Qt::cyan);
        dialog->cb_userdefined_limits->click();
        dialog->le_min->setText("2");
        dialog->le_max->setText("40");
        dialog->pb_ok->click();
    });
    window.show_properties_dialog(signal->id());
    EXPECT_EQ(signal->color(), QColor(Qt::cyan));
    EXPECT_EQ(signal->legend()->color(), QColor(Qt::cyan));
    EXPECT_EQ(signal->own_y_axis()->color(), QColor(Qt::cyan));
    EXPECT_TRUE(signal->fixed_limits());
    EXPECT_DOUBLE_EQ(signal->y_minimum(), 2.0);
    EXPECT_DOUBLE_EQ(signal->y_maximum(), 40.0);
    EXPECT_DOUBLE_EQ(signal->own_y_axis()->maximum(), 40.0);
    EXPECT_DOUBLE_EQ(window.common_y_axis()->minimum(), 2.0);
    EXPECT_DOUBLE_EQ(window.common_y_axis()->maximum(), 40.0);

    // Cancel changes nothing.
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<QGraphDialogSignalProperties *>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        dialog->set_color(Qt::red);
        dialog->pb_cancel->click();
    });
    window.show_properties_dialog(signal->id());
    EXPECT_EQ(signal->color(), QColor(Qt::cyan));
}
