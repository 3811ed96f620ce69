#pragma once
// A seven-segment display of a number or a short text in base 10, 16, 8 or 2,
// with an optional small decimal point (no digit place of its own) and an
// optional name line below the digits showing a signal name and its unit.
// Panels set its properties by name and feed values through display().
#include <QFrame>
#include <QPolygon>
#include <QString>
#include <vector>

class QtLCDNumber : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(bool smallDecimalPoint READ smallDecimalPoint WRITE setSmallDecimalPoint)
    Q_PROPERTY(int numDigits READ numDigits WRITE setNumDigits)
    Q_PROPERTY(int numDecimals READ numDecimals WRITE setNumDecimals)
    Q_PROPERTY(Mode mode READ mode WRITE setMode)
    Q_PROPERTY(SegmentStyle segmentStyle READ segmentStyle WRITE setSegmentStyle)
    Q_PROPERTY(double value READ value WRITE display)
    Q_PROPERTY(int intValue READ intValue WRITE display)
    Q_PROPERTY(int timeout READ timeout WRITE setTimeout)
    Q_PROPERTY(bool timeoutEnabled READ timeoutEnabled WRITE setTimeoutEnabled)
    Q_PROPERTY(QString signalName READ signalName WRITE setSignalName)
    Q_PROPERTY(QString unit READ unit WRITE setUnit)
    Q_PROPERTY(bool showSignalName READ showSignalName WRITE setShowSignalName)

public:
    enum Mode { Hex, Dec, Oct, Bin, HEX = Hex, DEC = Dec, OCT = Oct, BIN = Bin };
    Q_ENUM(Mode)
    enum SegmentStyle { Outline, Filled, Flat };
    Q_ENUM(SegmentStyle)

    explicit QtLCDNumber(QWidget *parent = nullptr, const char *name = nullptr);

    bool smallDecimalPoint() const { return m_small_decimal_point; }
    int numDigits() const { return m_num_digits; }
    void setNumDigits(int digits);
    int numDecimals() const { return m_num_decimals; }
    void setNumDecimals(int decimals);
    Mode mode() const { return m_mode; }
    void setMode(Mode mode);
    SegmentStyle segmentStyle() const;
    void setSegmentStyle(SegmentStyle style);
    double value() const { return m_value; }
    // The value rounded half away from zero, saturated to the int range.
    int intValue() const;
    int timeout() const { return m_timeout; }
    void setTimeout(int timeout) { m_timeout = timeout; }
    bool timeoutEnabled() const { return m_timeout_enabled; }
    void setTimeoutEnabled(bool enabled) { m_timeout_enabled = enabled; }
    QString signalName() const { return m_signal_name; }
    void setSignalName(const QString &name);
    QString unit() const { return m_unit; }
    void setUnit(const QString &unit);
    bool showSignalName() const { return m_show_signal_name; }
    void setShowSignalName(bool show);

    // The digit places as shown (numDigits characters) and, with the small
    // decimal point, whether each place carries a point.
    QString digitString() const { return m_digits; }
    std::vector<bool> pointFlags() const { return m_points; }
    // The text of the name line: the name, with " [unit]" when there is a unit
    // and the whole fits into the given width.
    QString nameLineText(int available_width) const;

    // Text of an integer or a double in a base, right-aligned to width; sets
    // overflow when the text does not fit (for doubles outside the int range
    // in the bases other than 10 the text is empty).
    static QString formatInteger(qint64 number, Mode mode, int width, bool *overflow);
    static QString formatDouble(double value, Mode mode, int width, int decimals, bool *overflow);

    // The lit segments of a character: 0 top, 1 upper left, 2 upper right,
    // 3 middle, 4 lower left, 5 lower right, 6 bottom, 7 point, 8 and 9 colon.
    static std::vector<int> segmentsOf(QChar character);
    // The corners of a segment of the digit at origin with segment length.
    static QPolygon segmentPolygon(int segment, QPoint origin, int segment_length, bool small_decimal_point);
    // Where each digit place is drawn on a widget of the given contents size.
    struct DigitGeometry {
        int segment_length;
        int advance;
        int first_x;
        int y;
    };
    DigitGeometry digitGeometry(int width, int height) const;
    // The height left for the digits once the name line took its room.
    int digitAreaHeight() const;

    QSize sizeHint() const override;

public slots:
    void display(const QString &text);
    void display(int number);
    void display(double number);
    void setHexMode() { setMode(Hex); }
    void setDecMode() { setMode(Dec); }
    void setOctMode() { setMode(Oct); }
    void setBinMode() { setMode(Bin); }
    void setSmallDecimalPoint(bool on);

signals:
    void overflow();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString objectNameForWarning() const;
    void setDigitString(const QString &text);
    void drawSegment(QPainter &painter, int segment, QPoint origin, int segment_length) const;

    bool m_small_decimal_point = false;
    int m_num_digits = 0;
    int m_num_decimals = -1;
    Mode m_mode = Dec;
    bool m_fill = false;
    bool m_outline = true;
    double m_value = 0.0;
    int m_timeout = 1000;
    bool m_timeout_enabled = false;
    QString m_signal_name;
    QString m_unit;
    bool m_show_signal_name = false;
    QString m_digits;
    std::vector<bool> m_points;
};
