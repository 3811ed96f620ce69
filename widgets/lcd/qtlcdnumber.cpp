#include "widgets/lcd/qtlcdnumber.h"

#include <QPainter>
#include <QtGlobal>
#include <climits>
#include <cmath>

namespace {

constexpr int kMaxDigits = 99;
constexpr int kMaxDecimals = 99;
// Fixed-point text is built from a 64-bit fraction f x 10^d, which holds up to
// 18 decimals; more take the general format.
constexpr int kMaxFixedDecimals = 18;
constexpr double kIntRangeEnd = 2147483648.0;

int base_of(QtLCDNumber::Mode mode)
{
    switch (mode) {
    case QtLCDNumber::Hex:
        return 16;
    case QtLCDNumber::Oct:
        return 8;
    case QtLCDNumber::Bin:
        return 2;
    case QtLCDNumber::Dec:
        break;
    }
    return 10;
}

// printf writes positive exponents as "e+NN"; the display shows " eNN" so the
// exponent reads as its own group of digits.
void rewrite_positive_exponent(QString &text)
{
    const int at = text.indexOf(QLatin1String("e+"));
    if (at >= 0) {
        text[at] = QLatin1Char(' ');
        text[at + 1] = QLatin1Char('e');
    }
}

} // namespace

QtLCDNumber::QtLCDNumber(QWidget *parent, const char *name) : QFrame(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setFrameStyle(QFrame::Box | QFrame::Raised);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    setNumDigits(5);
}

QString QtLCDNumber::objectNameForWarning() const
{
    return objectName().isEmpty() ? QStringLiteral("unnamed") : objectName();
}

void QtLCDNumber::setNumDigits(int digits)
{
    if (digits > kMaxDigits) {
        qWarning("QtLCDNumber::setNumDigits: (%s) Max 99 digits allowed", qPrintable(objectNameForWarning()));
        digits = kMaxDigits;
    }
    if (digits < 0) {
        qWarning("QtLCDNumber::setNumDigits: (%s) Min 0 digits allowed", qPrintable(objectNameForWarning()));
        digits = 0;
    }
    // The digits stay right-aligned: growing puts blanks in front, shrinking
    // keeps the rightmost places; the point flags move with their digits.
    const int old_digits = m_num_digits;
    if (digits > old_digits) {
        m_digits = QString(digits - old_digits, QLatin1Char(' ')) + m_digits;
        m_points.insert(m_points.begin(), size_t(digits - old_digits), false);
    } else {
        m_digits = m_digits.right(digits);
        m_points.erase(m_points.begin(), m_points.begin() + (old_digits - digits));
    }
    m_num_digits = digits;
    updateGeometry();
    update();
}

void QtLCDNumber::setNumDecimals(int decimals)
{
    m_num_decimals = qMin(decimals, kMaxDecimals);
}

void QtLCDNumber::setMode(Mode mode)
{
    m_mode = mode;
    display(m_value);
}

QtLCDNumber::SegmentStyle QtLCDNumber::segmentStyle() const
{
    if (!m_fill)
        return Outline;
    return m_outline ? Filled : Flat;
}

void QtLCDNumber::setSegmentStyle(SegmentStyle style)
{
    m_fill = style != Outline;
    m_outline = style != Flat;
    update();
}

int QtLCDNumber::intValue() const
{
    if (std::isnan(m_value))
        return 0;
    const double rounded = std::round(m_value);
    if (rounded >= double(INT_MAX))
        return INT_MAX;
    if (rounded <= double(INT_MIN))
        return INT_MIN;
    return int(rounded);
}

void QtLCDNumber::setSignalName(const QString &name)
{
    m_signal_name = name;
    update();
}

void QtLCDNumber::setUnit(const QString &unit)
{
    m_unit = unit;
    update();
}

void QtLCDNumber::setShowSignalName(bool show)
{
    m_show_signal_name = show;
    update();
}

void QtLCDNumber::setSmallDecimalPoint(bool on)
{
    m_small_decimal_point = on;
    updateGeometry();
    update();
}

QString QtLCDNumber::nameLineText(int available_width) const
{
    if (!m_unit.isEmpty()) {
        const QString with_unit = m_signal_name + QStringLiteral(" [") + m_unit + QLatin1Char(']');
        if (fontMetrics().horizontalAdvance(with_unit) < available_width)
            return with_unit;
    }
    return m_signal_name;
}

QString QtLCDNumber::formatInteger(qint64 number, Mode mode, int width, bool *overflow)
{
    const quint64 magnitude = number < 0 ? quint64(0) - quint64(number) : quint64(number);
    QString text = QString::number(magnitude, base_of(mode)).rightJustified(width, QLatin1Char(' '));
    if (number < 0) {
        int first = 0;
        while (text[first] == QLatin1Char(' '))
            ++first;
        if (first == 0)
            text.prepend(QLatin1Char('-'));
        else
            text[first - 1] = QLatin1Char('-');
    }
    *overflow = text.length() > width;
    return text;
}

QString QtLCDNumber::formatDouble(double value, Mode mode, int width, int decimals, bool *overflow)
{
    if (mode != Dec) {
        if (!(value < kIntRangeEnd && value >= -kIntRangeEnd)) {
            *overflow = true;
            return QString();
        }
        return formatInteger(qint64(value), mode, width, overflow);
    }

    const double magnitude = std::fabs(value);
    const bool negative = value < 0;
    QString text;
    if (decimals < 0 || decimals > kMaxFixedDecimals || magnitude >= kIntRangeEnd
        || !(std::log10(magnitude) < width - decimals - 2)) {
        int precision = decimals < 0 ? width : decimals;
        for (;;) {
            text = QString::asprintf("%*.*g", width, precision, value);
            rewrite_positive_exponent(text);
            if (text.length() <= width || --precision <= 0)
                break;
        }
    } else if (decimals == 0) {
        // Rounded half away from zero, as intValue rounds.
        const quint64 rounded = quint64(std::round(magnitude));
        text = QString::asprintf(negative && rounded != 0 ? "-%llu" : "%llu", static_cast<unsigned long long>(rounded));
    } else {
        quint64 scale = 1;
        for (int i = 0; i < decimals; ++i)
            scale *= 10;
        quint64 integer = quint64(std::floor(magnitude));
        quint64 fraction = quint64((magnitude - std::floor(magnitude)) * double(scale) + 0.5);
        if (fraction >= scale) {
            fraction -= scale;
            integer += 1;
        }
        text = QString::asprintf(negative ? "-%llu.%0*llu" : "%llu.%0*llu", static_cast<unsigned long long>(integer),
                                 decimals, static_cast<unsigned long long>(fraction));
    }
    *overflow = text.length() > width;
    return text;
}

void QtLCDNumber::display(const QString &text)
{
    bool is_number = false;
    const double number = text.toDouble(&is_number);
    m_value = is_number ? number : 0.0;
    setDigitString(text);
}

void QtLCDNumber::display(int number)
{
    m_value = number;
    bool too_long = false;
    const QString text = formatInteger(number, m_mode, m_num_digits, &too_long);
    if (too_long)
        emit overflow();
    else
        setDigitString(text);
}

void QtLCDNumber::display(double number)
{
    m_value = number;
    bool too_long = false;
    const QString text = formatDouble(number, m_mode, m_num_digits, m_num_decimals, &too_long);
    if (too_long)
        emit overflow();
    else
        setDigitString(text);
}

void QtLCDNumber::setDigitString(const QString &text)
{
    const int places = m_num_digits;
    QString digits;
    std::vector<bool> points(size_t(places), false);
    if (!m_small_decimal_point) {
        digits = text.length() == places ? text : text.right(places).rightJustified(places, QLatin1Char(' '));
    } else {
        // Fill places from the left; a point marks the place before it and
        // takes a blank place of its own only at the start or after a point.
        QString used;
        std::vector<bool> used_points;
        QChar previous;
        for (const QChar character : text) {
            const bool is_point = character == QLatin1Char('.');
            const bool needs_place = !is_point || used.isEmpty() || previous == QLatin1Char('.');
            if (needs_place) {
                if (used.length() == places)
                    break;
                used.append(is_point ? QLatin1Char(' ') : character);
                used_points.push_back(false);
            }
            if (is_point)
                used_points.back() = true;
            previous = character;
        }
        const int blanks = places - used.length();
        digits = QString(blanks, QLatin1Char(' ')) + used;
        std::copy(used_points.begin(), used_points.end(), points.begin() + blanks);
    }
    if (digits == m_digits && points == m_points)
        return;
    m_digits = digits;
    m_points = points;
    update();
}

std::vector<int> QtLCDNumber::segmentsOf(QChar character)
{
    switch (character.unicode()) {
    case '0':
    case 'O':
        return {0, 1, 2, 4, 5, 6};
    case '1':
        return {2, 5};
    case '2':
        return {0, 2, 3, 4, 6};
    case '3':
        return {0, 2, 3, 5, 6};
    case '4':
        return {1, 2, 3, 5};
    case '5':
    case 'S':
    case 's':
        return {0, 1, 3, 5, 6};
    case '6':
        return {0, 1, 3, 4, 5, 6};
    case '7':
        return {0, 2, 5};
    case '8':
        return {0, 1, 2, 3, 4, 5, 6};
    case '9':
    case 'g':
        return {0, 1, 2, 3, 5, 6};
    case '-':
        return {3};
    case '.':
        return {7};
    case 'A':
    case 'a':
        return {0, 1, 2, 3, 4, 5};
    case 'B':
    case 'b':
        return {1, 3, 4, 5, 6};
    case 'C':
    case 'c':
        return {0, 1, 4, 6};
    case 'D':
    case 'd':
        return {2, 3, 4, 5, 6};
    case 'E':
    case 'e':
        return {0, 1, 3, 4, 6};
    case 'F':
    case 'f':
        return {0, 1, 3, 4};
    case 'h':
        return {1, 3, 4, 5};
    case 'H':
        return {1, 2, 3, 4, 5};
    case 'L':
    case 'l':
        return {1, 4, 6};
    case 'o':
        return {3, 4, 5, 6};
    case 'P':
    case 'p':
        return {0, 1, 2, 3, 4};
    case 'R':
    case 'r':
        return {3, 4};
    case 'u':
        return {4, 5, 6};
    case 'U':
        return {1, 2, 4, 5, 6};
    case 'Y':
    case 'y':
        return {1, 2, 3, 5, 6};
    case ':':
        return {8, 9};
    case '\'': // a degree sign
        return {0, 1, 2, 3};
    default:
        return {};
    }
}

QPolygon QtLCDNumber::segmentPolygon(int segment, QPoint origin, int segment_length, bool small_decimal_point)
{
    const int x = origin.x();
    const int y = origin.y();
    const int L = segment_length;
    const int w = L / 5;
    const int h = w / 2;
    QPolygon corners;
    switch (segment) {
    case 0:
        corners << QPoint(x + L - 1, y) << QPoint(x + L - 1 - w, y + w) << QPoint(x + w, y + w) << QPoint(x, y);
        break;
    case 1: {
        const int y1 = y + 1;
        corners << QPoint(x + w, y1 + w) << QPoint(x + w, y1 + L - 2 - h) << QPoint(x, y1 + L - 2) << QPoint(x, y1);
        break;
    }
    case 2: {
        const int x2 = x + L - 1;
        const int y1 = y + 1;
        corners << QPoint(x2, y1 + L - 2) << QPoint(x2 - w, y1 + L - 2 - h) << QPoint(x2 - w, y1 + w)
                << QPoint(x2, y1);
        break;
    }
    case 3: {
        const int ym = y + L;
        corners << QPoint(x + w, ym - h) << QPoint(x + L - 1 - w, ym - h) << QPoint(x + L - 1, ym);
        if (w % 2 == 0)
            corners << QPoint(x + L - 1 - w, ym + h) << QPoint(x + w, ym + h);
        else
            corners << QPoint(x + L - 3 - w, ym + h + 1) << QPoint(x + w + 2, ym + h + 1);
        corners << QPoint(x, ym);
        break;
    }
    case 4: {
        const int y4 = y + L + 1;
        corners << QPoint(x + w, y4 + h) << QPoint(x + w, y4 + L - 2 - w) << QPoint(x, y4 + L - 2) << QPoint(x, y4);
        break;
    }
    case 5: {
        const int x5 = x + L - 1;
        const int y5 = y + L + 1;
        corners << QPoint(x5, y5 + L - 2) << QPoint(x5 - w, y5 + L - 2 - w) << QPoint(x5 - w, y5 + h)
                << QPoint(x5, y5);
        break;
    }
    case 6: {
        const int yb = y + 2 * L;
        corners << QPoint(x + w, yb - w) << QPoint(x + L - 1 - w, yb - w) << QPoint(x + L - 1, yb) << QPoint(x, yb);
        break;
    }
    case 7:
    case 8:
    case 9: {
        QPoint corner;
        if (segment == 7)
            corner = QPoint(small_decimal_point ? x + L + h : x + L / 2, y + 2 * L);
        else
            corner = QPoint(x + L / 2 - h + 1, (segment == 8 ? y + L / 2 : y + 3 * L / 2) + w);
        corners << QPoint(corner.x() + w, corner.y()) << QPoint(corner.x() + w, corner.y() - w)
                << QPoint(corner.x(), corner.y() - w) << corner;
        break;
    }
    default:
        break;
    }
    return corners;
}

int QtLCDNumber::digitAreaHeight() const
{
    int height = this->height();
    const int frame = frameWidth();
    const int line_height = fontMetrics().height();
    if (m_show_signal_name && height > frame + 2 * line_height)
        height -= frame + line_height;
    return height;
}

QtLCDNumber::DigitGeometry QtLCDNumber::digitGeometry(int width, int height) const
{
    const int advance_fifths = m_small_decimal_point ? 7 : 6;
    const int extra_fifths = m_small_decimal_point ? 2 : 1;
    DigitGeometry geometry;
    geometry.segment_length = qMin(5 * width / (m_num_digits * advance_fifths + extra_fifths), 5 * height / 13);
    geometry.advance = advance_fifths * geometry.segment_length / 5;
    geometry.first_x = (geometry.segment_length / 5 - m_num_digits * geometry.advance + width) / 2;
    geometry.y = (height - 2 * geometry.segment_length) / 2;
    return geometry;
}

QSize QtLCDNumber::sizeHint() const
{
    return QSize(10 + 9 * (m_num_digits + (m_small_decimal_point ? 0 : 1)), 23);
}

void QtLCDNumber::drawSegment(QPainter &painter, int segment, QPoint origin, int segment_length) const
{
    const QPolygon corners = segmentPolygon(segment, origin, segment_length, m_small_decimal_point);
    if (corners.isEmpty()) {
        if (m_fill)
            qWarning("QtLCDNumber::drawSegment: (%s) Internal error. Illegal segment id: %d\n",
                     qPrintable(objectNameForWarning()), segment);
        if (m_outline)
            qWarning("QtLCDNumber::drawSegment: (%s) Internal error.  Illegal segment id: %d\n",
                     qPrintable(objectNameForWarning()), segment);
        return;
    }
    if (m_fill) {
        const QColor fill = palette().color(QPalette::WindowText);
        painter.setPen(fill);
        painter.setBrush(fill);
        painter.drawPolygon(corners);
    }
    if (m_outline) {
        // Edges on the upper left of the segment's centre take the light
        // colour and the others the dark one, so segments look raised.
        QPointF centre;
        for (const QPoint &corner : corners)
            centre += corner;
        centre /= corners.size();
        const QColor light = palette().color(QPalette::Light);
        const QColor dark = palette().color(QPalette::Dark);
        for (int i = 0; i < corners.size(); ++i) {
            const QPoint from = corners[i];
            const QPoint to = corners[(i + 1) % corners.size()];
            const QPointF middle = QPointF(from + to) / 2 - centre;
            painter.setPen(middle.x() + middle.y() < 0 ? light : dark);
            painter.drawLine(from, to);
        }
    }
}

void QtLCDNumber::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const int frame = frameWidth();
    const int width = this->width();
    const int height = digitAreaHeight();
    if (m_show_signal_name && width > 2 * frame) {
        const QRect line(QPoint(frame, height), QPoint(width - 1 - frame, height + fontMetrics().height() - 1));
        painter.drawText(line, Qt::AlignCenter, nameLineText(width - 2 * frame));
    }
    const DigitGeometry geometry = digitGeometry(width, height);
    for (int place = 0; place < m_num_digits; ++place) {
        const QPoint origin(geometry.first_x + place * geometry.advance, geometry.y);
        for (int segment : segmentsOf(m_digits[place]))
            drawSegment(painter, segment, origin, geometry.segment_length);
        if (m_small_decimal_point && m_points[size_t(place)])
            drawSegment(painter, 7, origin, geometry.segment_length);
    }
}
