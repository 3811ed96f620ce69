#pragma once
// A horizontal row of LED segments lit from the left in proportion to an
// integer value, in colour ranges (green, then yellow, then red, ...). The LED
// count adapts to the width: it halves while segments would be under 3 pixels
// and doubles while they would be 11 pixels or more.
#include <QColor>
#include <QFrame>
#include <QList>

class QLedMeter : public QFrame
{
    Q_OBJECT

public:
    explicit QLedMeter(QWidget *parent = nullptr);

    int max_value() const { return m_max_value; }
    int led_count() const { return m_led_count; }
    int value() const { return m_value; }
    int lit_count() const { return m_lit_count; }

    void setMaxValue(int maximum);
    void setLedCount(int count);
    // A range of percent of the LEDs in colour, after the ranges added before.
    void addColorRange(int percent, const QColor &colour);

    QSize sizeHint() const override { return QSize(60, 16); }

public slots:
    void setValue(int value);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct ColorRange {
        int percent;
        int end;
        QColor colour;
    };
    void place_ranges();
    void apply_value(int value);

    int m_max_value = 100;
    int m_led_count = 20;
    int m_value = 0;
    int m_lit_count = 0;
    QList<ColorRange> m_ranges;
};
