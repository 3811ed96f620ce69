#include "widgets/misc/qtcolorcombobox.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr int swatch_size = 12;
constexpr int color_role = Qt::UserRole;

// A grey-bordered square filled with the colour; blank for an invalid colour.
QPixmap swatch(const QColor &color)
{
    QPixmap pixmap(swatch_size, swatch_size);
    pixmap.fill(Qt::transparent);
    if (color.isValid()) {
        QPainter painter(&pixmap);
        painter.setPen(Qt::gray);
        painter.setBrush(color);
        painter.drawRect(0, 0, swatch_size - 1, swatch_size - 1);
    }
    return pixmap;
}

} // namespace

QtColorComboBox::QtColorComboBox(QWidget *parent, const char *name)
    : QComboBox(parent)
{
    if (name)
        setObjectName(QString::fromUtf8(name));
    setEditable(false);
    setIconSize(QSize(swatch_size, swatch_size));
    connect(this, QOverload<int>::of(&QComboBox::activated), this, &QtColorComboBox::emitActivatedColor);
    connect(this, QOverload<int>::of(&QComboBox::highlighted), this, &QtColorComboBox::emitHighlightedColor);
    // The current colour follows the current entry, except onto "More...":
    // choosing that entry and cancelling the dialog returns to this colour.
    connect(this, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        if (index >= 0 && !is_more_entry(index))
            m_current_color = color_at(index);
    });
}

void QtColorComboBox::insert_color(const QColor &color, const QString &name, int index)
{
    if (index == -1)
        index = m_more_entry_enabled ? count() - 1 : count();
    else if (index >= count() - 1)
        index = count() - 2;
    insertItem(qMax(index, 0), QIcon(swatch(color)), name, color);
}

void QtColorComboBox::set_more_entry_enabled(bool on)
{
    if (on == m_more_entry_enabled)
        return;
    m_more_entry_enabled = on;
    if (on)
        addItem(tr("More..."));
    else
        removeItem(count() - 1);
}

QColor QtColorComboBox::color_at(int index) const
{
    if (index < 0 || index >= count() || is_more_entry(index))
        return QColor();
    return itemData(index, color_role).value<QColor>();
}

void QtColorComboBox::set_current_color(const QColor &color)
{
    const int index = index_of_color(color);
    if (index >= 0)
        setCurrentIndex(index);
}

QSize QtColorComboBox::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return QSize(metrics.horizontalAdvance(QStringLiteral("User Color 99")) + 40, metrics.height() + 10);
}

void QtColorComboBox::emitActivatedColor(int index)
{
    if (is_more_entry(index)) {
        const QColor picked = QColorDialog::getColor(Qt::white, this);
        if (picked.isValid()) {
            ++m_user_color_count;
            // Inserted where "More..." was, which moves one down.
            insert_color(picked, tr("User color %1").arg(m_user_color_count));
            setCurrentIndex(index);
        } else {
            setCurrentIndex(index_of_color(m_current_color));
        }
    } else {
        m_current_color = color_at(index);
    }
    update();
    emit activated(m_current_color);
}

void QtColorComboBox::emitHighlightedColor(int index)
{
    if (!is_more_entry(index))
        emit highlighted(color_at(index));
}

bool QtColorComboBox::is_more_entry(int index) const
{
    return m_more_entry_enabled && index == count() - 1;
}

int QtColorComboBox::index_of_color(const QColor &color) const
{
    for (int index = 0; index < count(); ++index)
        if (!is_more_entry(index) && color_at(index) == color)
            return index;
    return -1;
}
