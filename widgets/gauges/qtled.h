#pragma once
// Two small panel widgets: QtBitmap shows an image with the gauges' placement
// codes, QtLed is a round lamp that lights when a value passes an upper or a
// lower limit, or when it is switched directly.
#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>

class QtBitmap : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QPixmap pixmap READ pixmap WRITE setPixmap)
    Q_PROPERTY(QString pixmapFile READ pixmapFile WRITE setPixmapFile)
    Q_PROPERTY(int pixmapHAlign READ pixmapHAlign WRITE setPixmapHAlign)
    Q_PROPERTY(int pixmapVAlign READ pixmapVAlign WRITE setPixmapVAlign)
    Q_PROPERTY(bool pixmapSupported READ pixmapSupported)

public:
    QtBitmap(QWidget *parent = nullptr, const QString &name = QString(), Qt::WindowFlags flags = {});

    QPixmap pixmap() const { return m_pixmap; }
    QString pixmapFile() const { return m_pixmap_file; }
    int pixmapHAlign() const { return m_pixmap_h_align; }
    int pixmapVAlign() const { return m_pixmap_v_align; }
    bool pixmapSupported() const { return true; }
    void setPixmap(const QPixmap &pixmap);
    void setPixmapFile(const QString &name);
    void setPixmapHAlign(int code);
    void setPixmapVAlign(int code);

    QSize sizeHint() const override { return QSize(50, 50); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void render_face();

    QPixmap m_pixmap;
    QString m_pixmap_file;
    int m_pixmap_h_align = 1;
    int m_pixmap_v_align = 1;
    QPixmap m_face;
};

class QtLed : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor ledColor READ ledColor WRITE setLedColor)
    Q_PROPERTY(QColor ledColor2 READ ledColor2 WRITE setLedColor2)
    Q_PROPERTY(bool inverse READ inverse WRITE setInverse)
    Q_PROPERTY(double upperLimit READ upperLimit WRITE setUpperLimit)
    Q_PROPERTY(double lowerLimit READ lowerLimit WRITE setLowerLimit)
    Q_PROPERTY(bool upperLimitValid READ upperLimitValid WRITE setUpperLimitValid)
    Q_PROPERTY(bool lowerLimitValid READ lowerLimitValid WRITE setLowerLimitValid)

public:
    QtLed(QWidget *parent = nullptr, const QString &name = QString(), Qt::WindowFlags flags = {});

    QColor ledColor() const { return m_color; }
    QColor ledColor2() const { return m_color2; }
    bool inverse() const { return m_inverse; }
    double upperLimit() const { return m_upper_limit; }
    double lowerLimit() const { return m_lower_limit; }
    bool upperLimitValid() const { return m_upper_limit_valid; }
    bool lowerLimitValid() const { return m_lower_limit_valid; }
    void setLedColor(const QColor &colour);
    void setLedColor2(const QColor &colour);
    void setUpperLimit(double limit);
    void setLowerLimit(double limit);
    void setUpperLimitValid(bool valid);
    void setLowerLimitValid(bool valid);

    double value() const { return m_value; }
    bool isOn() const { return m_on; }
    bool isOn2() const { return m_on2; }
    // The colour the lamp shows now (dark gray when off).
    QColor lamp_colour() const;

    QSize sizeHint() const override { return QSize(32, 32); }

public slots:
    void setValue(double value);
    void setOn(bool on);
    void setOn2(bool on);
    void setInverse(bool inverse);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *) override {}
    void mouseReleaseEvent(QMouseEvent *) override {}

private:
    void evaluate();

    QColor m_color = Qt::red;
    QColor m_color2 = Qt::red;
    bool m_color2_set = false;
    bool m_inverse = false;
    double m_upper_limit = 0.0;
    double m_lower_limit = 0.0;
    bool m_upper_limit_valid = true;
    bool m_lower_limit_valid = true;
    double m_value = 0.0;
    bool m_on = false;
    bool m_on2 = false;
};
