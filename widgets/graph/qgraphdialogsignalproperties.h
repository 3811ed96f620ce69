#pragma once
// The dialog in which the user sets a curve's colour and, optionally, fixed
// y limits; OK is enabled only for two numbers with maximum above minimum.
#include "widgets/graph/qgraphdialogsignalpropertiesbase.h"

#include <QColor>

class QGraphDialogSignalProperties : public QGraphDialogSignalPropertiesBase
{
    Q_OBJECT

public:
    explicit QGraphDialogSignalProperties(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                                          Qt::WindowFlags flags = {});

    QColor color() const { return m_color; }
    // Stores the colour and paints the colour button with it.
    void set_color(const QColor &colour);
    // Both limits with 10 significant digits.
    void set_limits(double maximum, double minimum);
    bool fixed_limits() const;
    void set_fixed_limits(bool fixed);
    double minimum() const;
    double maximum() const;

public slots:
    void state_changed();
    void open_color_dialog();

private:
    QColor m_color;
};
