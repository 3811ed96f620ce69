#pragma once
// A read-only combo box of colours, each entry a 12 x 12 swatch with a name.
// With the "More..." entry on, the last entry opens the colour dialog and the
// picked colour is added as a new entry "User color N".
#include <QColor>
#include <QComboBox>

class QtColorComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit QtColorComboBox(QWidget *parent = nullptr, const char *name = nullptr);

    // Index -1 appends (before "More..." when it is on); an index at or
    // beyond the last entry's is taken as the one before the last entry.
    void insert_color(const QColor &color, const QString &name, int index = -1);
    void set_more_entry_enabled(bool on);
    bool more_entry_enabled() const { return m_more_entry_enabled; }

    // The entry's colour; invalid for "More..." and for a missing entry.
    QColor color_at(int index) const;
    QColor current_color() const { return m_current_color; }
    // Makes the first entry of that colour current; nothing when none has it.
    void set_current_color(const QColor &color);

    QSize sizeHint() const override;

signals:
    void activated(const QColor &color);
    void highlighted(const QColor &color);

private slots:
    void emitActivatedColor(int index);
    void emitHighlightedColor(int index);

private:
    bool is_more_entry(int index) const;
    int index_of_color(const QColor &color) const;

    QColor m_current_color;
    int m_user_color_count = 0;
    bool m_more_entry_enabled = false;
};
