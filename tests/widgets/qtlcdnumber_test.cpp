#include "widgets/lcd/qtlcdnumber.h"

#include <QImage>
#include <QLCDNumber>
#include <QMetaEnum>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct TextCase {
    const char *what;
    double value;
    QtLCDNumber::Mode mode;
    int digits;
    int decimals;
    const char *text; // nullptr: overflow, the display keeps its digits
};

// Messages from qWarning, caught while a test runs.
QStringList g_warnings;
void catch_warning(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        g_warnings << message;
}

} // namespace

TEST(QtLCDNumber, PropertiesInOrderWithDefaults)
{
    QtLCDNumber lcd;
    const QMetaObject *meta = lcd.metaObject();
    QStringList names;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        names << QString::fromLatin1(meta->property(i).name());
    EXPECT_EQ(names, QStringList({"smallDecimalPoint", "numDigits", "numDecimals", "mode", "segmentStyle", "value",
                                  "intValue", "timeout", "timeoutEnabled", "signalName", "unit", "showSignalName"}));
    EXPECT_EQ(lcd.property("numDigits").toInt(), 5);
    EXPECT_EQ(lcd.property("numDecimals").toInt(), -1);
    EXPECT_EQ(lcd.property("mode").toInt(), int(QtLCDNumber::Dec));
    EXPECT_EQ(lcd.property("segmentStyle").toInt(), int(QtLCDNumber::Outline));
    EXPECT_EQ(lcd.property("timeout").toInt(), 1000);
    EXPECT_EQ(lcd.frameStyle(), QFrame::Box | QFrame::Raised);
    EXPECT_EQ(lcd.digitString(), QString(5, ' '));

    // Panels set everything by name, enumerations by their key words.
    EXPECT_TRUE(lcd.setProperty("mode", "Hex"));
    EXPECT_EQ(lcd.mode(), QtLCDNumber::Hex);
    EXPECT_EQ(QMetaEnum::fromType<QtLCDNumber::Mode>().keyToValue("BIN"), 3);
    EXPECT_TRUE(lcd.setProperty("segmentStyle", "Flat"));
    EXPECT_EQ(lcd.segmentStyle(), QtLCDNumber::Flat);
    EXPECT_TRUE(lcd.setProperty("value", 255.0));
    EXPECT_EQ(lcd.digitString(), "   ff");
    EXPECT_TRUE(lcd.setProperty("intValue", -7));
    EXPECT_EQ(lcd.digitString(), "   -7");
    lcd.setDecMode();
    for (auto [value, rounded] : {std::pair{2.5, 3}, {-2.5, -3}, {2.49, 2}, {1e12, INT_MAX}}) {
        lcd.display(value);
        EXPECT_EQ(lcd.intValue(), rounded) << value;
    }
}

TEST(QtLCDNumber, TextsOfDoublesAndIntegers)
{
    using L = QtLCDNumber;
    const TextCase cases[] = {
        {"general format, five significant digits", 12345.6, L::Dec, 5, -1, "12346"},
        {"negative integer right-aligned", -5, L::Dec, 5, -1, "   -5"},
        {"carry into the integer part", 1.9996, L::Dec, 6, 3, " 2.000"},
        {"no room for decimals: general format", 1.9996, L::Dec, 5, 3, "    2"},
        {"hex of a double below 2^31", 2147483647.0, L::Hex, 8, -1, "7fffffff"},
        {"hex overflow at 2^31", 2147483648.0, L::Hex, 9, -1, nullptr},
        {"hex overflow below -2^31", -2147483649.0, L::Hex, 9, -1, nullptr},
        {"hex truncates toward zero", -255.9, L::Hex, 5, -1, "  -ff"},
        {"octal", 8.0, L::Oct, 4, -1, "  10"},
        {"binary", 5.0, L::Bin, 5, -1, "  101"},
        {"binary overflow", 64.0, L::Bin, 5, -1, nullptr},
        {"positive exponent rewritten", 1.5e20, L::Dec, 8, -1, " 1.5 e20"},
        {"negative exponent kept", 1.5e-20, L::Dec, 8, -1, " 1.5e-20"},
        {"general format lowers precision until it fits", 123456789.0, L::Dec, 5, -1, "1 e08"},
        {"fixed decimals", -3.14159, L::Dec, 8, 2, "   -3.14"},
        {"too long even in general format", -1.5e-300, L::Dec, 4, -1, nullptr},
        // Mended: no decimals rounds half away from zero instead of cutting.
        {"no decimals rounds up", 1.9, L::Dec, 5, 0, "    2"},
        {"no decimals rounds half away from zero", -2.5, L::Dec, 5, 0, "   -3"},
        {"no decimals, small negative rounds to 0", -0.4, L::Dec, 5, 0, "    0"},
        // Mended: decimals beyond 9 overflowed the 32-bit fraction.
        {"twelve decimals", 0.5, L::Dec, 20, 12, "      0.500000000000"},
        {"eighteen decimals", 0.25, L::Dec, 30, 18, "          0.250000000000000000"},
        {"beyond eighteen decimals the general format", 0.25, L::Dec, 30, 19, "                          0.25"},
    };
    for (const TextCase &c : cases) {
        SCOPED_TRACE(c.what);
        QtLCDNumber lcd;
        lcd.setNumDigits(c.digits);
        lcd.setNumDecimals(c.decimals);
        lcd.setMode(c.mode);
        lcd.display(QStringLiteral("8"));
        const QString before = lcd.digitString();
        QSignalSpy overflows(&lcd, &QtLCDNumber::overflow);
        lcd.display(c.value);
        if (c.text) {
            EXPECT_EQ(lcd.digitString(), QString::fromLatin1(c.text));
            EXPECT_EQ(overflows.count(), 0);
        } else {
            EXPECT_EQ(lcd.digitString(), before);
            EXPECT_EQ(overflows.count(), 1);
        }
        EXPECT_EQ(lcd.value(), c.value);
    }

    // Mended: the magnitude of the smallest int does not wrap.
    QtLCDNumber lcd;
    lcd.setNumDigits(11);
    lcd.display(INT_MIN);
    EXPECT_EQ(lcd.digitString(), "-2147483648");
    lcd.setHexMode();
    EXPECT_EQ(lcd.digitString(), "  -80000000");

    // Decimals are capped at 99; a negative count keeps the general format.
    lcd.setNumDecimals(150);
    EXPECT_EQ(lcd.numDecimals(), 99);
    lcd.setNumDecimals(-3);
    EXPECT_EQ(lcd.numDecimals(), -3);
}

TEST(QtLCDNumber, IntegersAgreeWithQtsOwnDisplay)
{
    // Where both displays take the same road (non-negative numbers in every
    // base, signed ones in base 10), text and overflow agree with printf and
    // with QLCDNumber's overflow test.
    const std::pair<QtLCDNumber::Mode, QLCDNumber::Mode> modes[] = {{QtLCDNumber::Hex, QLCDNumber::Hex},
                                                                     {QtLCDNumber::Dec, QLCDNumber::Dec},
                                                                     {QtLCDNumber::Oct, QLCDNumber::Oct},
                                                                     {QtLCDNumber::Bin, QLCDNumber::Bin}};
    std::vector<int> values;
    for (long long v = 1; v < INT_MAX; v = v * 3 + 1)
        values.insert(values.end(), {int(v), int(v) - 1, int(v) + 1});
    values.push_back(INT_MAX);
    for (const auto &[mode, qt_mode] : modes) {
        for (int digits : {1, 3, 5, 8, 12, 33}) {
            QtLCDNumber lcd;
            lcd.setNumDigits(digits);
            lcd.setMode(mode);
            QLCDNumber qt(digits);
            qt.setMode(qt_mode);
            for (int sign : {1, -1}) {
                if (sign < 0 && mode != QtLCDNumber::Dec)
                    continue;
                for (int magnitude : values) {
                    const int value = sign * magnitude;
                    SCOPED_TRACE(QStringLiteral("mode %1, %2 digits, %3").arg(mode).arg(digits).arg(value).toStdString());
                    QSignalSpy ours(&lcd, &QtLCDNumber::overflow);
                    QSignalSpy theirs(&qt, &QLCDNumber::overflow);
                    lcd.display(value);
                    qt.display(value);
                    ASSERT_EQ(ours.count(), theirs.count());
                    ASSERT_EQ(ours.count() == 1, qt.checkOverflow(value));
                    if (ours.count())
                        continue;
                    std::string expected;
                    if (mode == QtLCDNumber::Bin) {
                        expected = QString::number(value, 2).rightJustified(digits).toStdString();
                    } else {
                        const char *format = mode == QtLCDNumber::Hex ? "%*x" : mode == QtLCDNumber::Oct ? "%*o" : "%*i";
                        char buffer[64];
                        std::snprintf(buffer, sizeof buffer, format, digits, value);
                        expected = buffer;
                    }
                    ASSERT_EQ(lcd.digitString().toStdString(), expected);
                }
            }
        }
    }
}

TEST(QtLCDNumber, SmallDecimalPointWalk)
{
    struct {
        const char *text;
        const char *digits;
        const char *points;
    } const cases[] = {
        {"12.5", "  125", "00010"},
        {".5", "    5", "00010"}, // a leading point takes a blank place of its own
        {"1..2", "  1 2", "00110"}, // a second point in a row takes a blank place
        {"123456.7", "12345", "00000"},
        {"1234.", " 1234", "00001"},
        {"12345.", "12345", "00001"},
        {"", "     ", "00000"},
    };
    QtLCDNumber lcd;
    lcd.setSmallDecimalPoint(true);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        lcd.display(QString::fromLatin1(c.text));
        EXPECT_EQ(lcd.digitString(), QString::fromLatin1(c.digits));
        QString points;
        for (bool point : lcd.pointFlags())
            points += point ? '1' : '0';
        EXPECT_EQ(points, QString::fromLatin1(c.points));
    }
    EXPECT_EQ(lcd.sizeHint(), QSize(10 + 9 * 5, 23));
    lcd.setSmallDecimalPoint(false);
    EXPECT_EQ(lcd.sizeHint(), QSize(10 + 9 * 6, 23));
}

TEST(QtLCDNumber, DigitCountChangesKeepDigitsRightAlignedAndWarn)
{
    g_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(catch_warning);
    QtLCDNumber lcd(nullptr, "speed");
    lcd.setSmallDecimalPoint(true);
    lcd.display(QStringLiteral("12.34"));
    EXPECT_EQ(lcd.digitString(), " 1234");
    lcd.setNumDigits(7);
    EXPECT_EQ(lcd.digitString(), "   1234");
    EXPECT_EQ(lcd.pointFlags(), std::vector<bool>({false, false, false, false, true, false, false}));
    lcd.setNumDigits(3);
    EXPECT_EQ(lcd.digitString(), "234");
    EXPECT_EQ(lcd.pointFlags(), std::vector<bool>({true, false, false}));
    lcd.setNumDigits(150);
    EXPECT_EQ(lcd.numDigits(), 99);
    EXPECT_EQ(lcd.digitString(), QString(96, ' ') + "234");
    QtLCDNumber unnamed;
    unnamed.setNumDigits(-1);
    EXPECT_EQ(unnamed.numDigits(), 0);
    EXPECT_EQ(unnamed.digitString(), "");
    qInstallMessageHandler(previous);
    EXPECT_EQ(g_warnings, QStringList({"QtLCDNumber::setNumDigits: (speed) Max 99 digits allowed",
                                       "QtLCDNumber::setNumDigits: (unnamed) Min 0 digits allowed"}));
}

TEST(QtLCDNumber, SegmentsLitInEachStyle)
{
    const QColor background(Qt::white), fill(Qt::red), light(Qt::green), dark(Qt::blue);
    for (auto style : {QtLCDNumber::Outline, QtLCDNumber::Filled, QtLCDNumber::Flat}) {
        SCOPED_TRACE(int(style));
        QtLCDNumber lcd;
        QPalette palette = lcd.palette();
        palette.setColor(QPalette::Window, background);
        palette.setColor(QPalette::WindowText, fill);
        palette.setColor(QPalette::Light, light);
        palette.setColor(QPalette::Dark, dark);
        lcd.setPalette(palette);
        lcd.setFrameStyle(QFrame::NoFrame);
        lcd.setSegmentStyle(style);
        lcd.setNumDigits(5);
        lcd.resize(300, 100);
        lcd.display(QStringLiteral("81:'."));
        const QImage image = lcd.grab().toImage();
        const QtLCDNumber::DigitGeometry geometry = lcd.digitGeometry(lcd.width(), lcd.digitAreaHeight());
        ASSERT_GE(geometry.segment_length, 20);
        // Whether an outline colour lies within a pixel of a point.
        auto outline_near = [&](QPoint point) {
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy) {
                    const QColor colour = image.pixelColor(point + QPoint(dx, dy));
                    if (colour == light || colour == dark)
                        return true;
                }
            return false;
        };
        const QString shown = lcd.digitString();
        for (int place = 0; place < shown.length(); ++place) {
            const QPoint origin(geometry.first_x + place * geometry.advance, geometry.y);
            const std::vector<int> lit = QtLCDNumber::segmentsOf(shown[place]);
            auto is_lit = [&lit](int segment) { return std::find(lit.begin(), lit.end(), segment) != lit.end(); };
            for (int segment = 0; segment < 10; ++segment) {
                // The point of a digit place lies on its bottom segment.
                if (segment == 7 && is_lit(6))
                    continue;
                SCOPED_TRACE(QStringLiteral("'%1' segment %2").arg(shown[place]).arg(segment).toStdString());
                const QPolygon corners = QtLCDNumber::segmentPolygon(segment, origin, geometry.segment_length, false);
                const QColor centre = image.pixelColor(corners.boundingRect().center());
                if (!is_lit(segment)) {
                    EXPECT_EQ(centre, background);
                    continue;
                }
                EXPECT_EQ(centre, style == QtLCDNumber::Outline ? background : fill);
                EXPECT_EQ(outline_near(corners[0]), style != QtLCDNumber::Flat);
            }
        }
    }
}

TEST(QtLCDNumber, NameLineWithAndWithoutUnit)
{
    QtLCDNumber lcd;
    lcd.resize(200, 90);
    lcd.setSignalName(QStringLiteral("EngineSpeed"));
    EXPECT_EQ(lcd.nameLineText(1000), "EngineSpeed");
    lcd.setUnit(QStringLiteral("rpm"));
    EXPECT_EQ(lcd.nameLineText(1000), "EngineSpeed [rpm]");
    EXPECT_EQ(lcd.nameLineText(20), "EngineSpeed"); // no room for the unit

    const int full_height = lcd.digitAreaHeight();
    lcd.setShowSignalName(true);
    EXPECT_EQ(lcd.digitAreaHeight(), full_height - lcd.frameWidth() - lcd.fontMetrics().height());
    // The name is drawn below the digits: the last line holds ink that the
    // same widget without the name line does not.
    auto ink_rows_below_digits = [&lcd] {
        const QImage image = lcd.grab().toImage();
        const QColor background = image.pixelColor(lcd.width() / 2, lcd.digitAreaHeight() + 1);
        int ink = 0;
        for (int y = lcd.digitAreaHeight(); y < lcd.height() - lcd.frameWidth(); ++y)
            for (int x = lcd.frameWidth(); x < lcd.width() - lcd.frameWidth(); ++x)
                ink += image.pixelColor(x, y) != background;
        return ink;
    };
    EXPECT_GT(ink_rows_below_digits(), 20);
    lcd.setSignalName(QString());
    lcd.setUnit(QString());
    EXPECT_EQ(ink_rows_below_digits(), 0);
}
