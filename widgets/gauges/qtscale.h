#pragma once
// The common base of the gauges (tacho, horizon, compass, bar, XY indicator).
// A gauge renders its static face (background, scale, labels, caption) into a
// face pixmap the size of the widget; a paint event draws that pixmap and only
// the moving part on top, so a value change costs one needle, not one face.
// Panel items configure gauges through the properties below, by name.
#include <QList>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

class QPainter;
class QSvgRenderer;

class QtScale : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(double scaleMin READ scaleMin WRITE setScaleMin)
    Q_PROPERTY(double scaleDist READ scaleDist WRITE setScaleDist)
    Q_PROPERTY(double rangeMin READ rangeMin WRITE setRangeMin)
    Q_PROPERTY(double rangeMax READ rangeMax WRITE setRangeMax)
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(bool paintLabels READ paintLabels WRITE setPaintLabels)
    Q_PROPERTY(bool paintScale READ paintScale WRITE setPaintScale)
    Q_PROPERTY(bool readOnly READ readOnly WRITE setReadOnly)
    Q_PROPERTY(QPixmap pixmap READ pixmap WRITE setPixmap)
    Q_PROPERTY(QString pixmapFile READ pixmapFile WRITE setPixmapFile)
    Q_PROPERTY(int pixmapHAlign READ pixmapHAlign WRITE setPixmapHAlign)
    Q_PROPERTY(int pixmapVAlign READ pixmapVAlign WRITE setPixmapVAlign)
    Q_PROPERTY(bool pixmapSupported READ pixmapSupported)
    Q_PROPERTY(QString pictureFile READ pictureFile WRITE setPictureFile)
    Q_PROPERTY(double pictureHScale READ pictureHScale WRITE setPictureHScale)
    Q_PROPERTY(double pictureVScale READ pictureVScale WRITE setPictureVScale)
    Q_PROPERTY(bool pictureSupported READ pictureSupported)

public:
    // One label of the scale: its text's size, and the rectangle where
    // layout_face placed it (its top is the text base line; empty while the
    // labels are not shown).
    struct Label {
        QRect rect;
        QSize size;
        double value = 0.0;
        QString text;
    };

    QtScale(QWidget *parent = nullptr, const QString &name = QString(), Qt::WindowFlags flags = {});
    ~QtScale() override;

    double scaleMin() const { return m_scale_min; }
    double scaleDist() const { return m_scale_dist; }
    double rangeMin() const { return m_range_min; }
    double rangeMax() const { return m_range_max; }
    QString text() const { return m_text; }
    bool paintLabels() const { return m_paint_labels; }
    bool paintScale() const { return m_paint_scale; }
    bool readOnly() const { return m_read_only; }
    QPixmap pixmap() const { return m_pixmap; }
    QString pixmapFile() const { return m_pixmap_file; }
    int pixmapHAlign() const { return m_pixmap_h_align; }
    int pixmapVAlign() const { return m_pixmap_v_align; }
    virtual bool pixmapSupported() const { return true; }
    QString pictureFile() const { return m_picture_file; }
    double pictureHScale() const { return m_picture_h_scale; }
    double pictureVScale() const { return m_picture_v_scale; }
    virtual bool pictureSupported() const { return true; }

    double value() const { return m_value; }
    bool automatic_scale() const { return m_auto_scale; }
    const QList<Label> &labels() const { return m_labels; }
    int label_extent() const { return m_label_extent; }
    // The rendered face, drawn first by every paint event.
    const QPixmap &face() const { return m_face; }

    void setScale(double minimum, double dist);
    void setScaleMin(double minimum);
    void setScaleDist(double dist);
    void setRange(double minimum, double maximum);
    void setRangeMin(double minimum);
    void setRangeMax(double maximum);
    void setText(const QString &text);
    void setPaintLabels(bool on);
    void setPaintScale(bool on);
    void setReadOnly(bool on);
    void setPixmap(const QPixmap &pixmap);
    void setPixmapFile(const QString &name);
    void setPixmapHAlign(int code);
    void setPixmapVAlign(int code);
    void setPictureFile(const QString &name);
    void setPictureHScale(double factor);
    void setPictureVScale(double factor);

    QSize sizeHint() const override { return QSize(50, 50); }

    // Where an image of the given size stands by the placement codes; a code
    // 3 stretches that axis to the widget (the returned rectangle's size).
    static QRect place_image(const QSize &widget, const QSize &image, int h_align, int v_align);
    // The rounding of pixel coordinates: x + 0.5 truncated toward zero.
    static int round_pixel(double x) { return int(x + 0.5); }

public slots:
    virtual void setValue(double value);

protected:
    virtual void compute_auto_scale() = 0;
    virtual void build_labels() = 0;
    virtual void layout_face() = 0;
    virtual void render_face() = 0;
    virtual void set_full_redraw(bool on) { m_full_redraw = on; }
    virtual bool full_redraw() const { return m_full_redraw; }
    virtual void draw_background_image(QPainter *painter);

    // The automatic scale shared by the round gauges and the bar: derives
    // scaleMin and scaleDist for about target_ticks ticks, then builds and
    // lays out the labels, halving the target while neighbouring labels overlap.
    void auto_scale(int target_ticks);
    // The label list of the round gauges and the bar; padding surrounds each
    // text, and the extent counts widths only when widths_only is set.
    void build_scale_labels(const QString &padding, bool widths_only);
    // The sunk rim around a round face.
    void draw_rim(QPainter &painter, const QRect &face_rect) const;
    // Starts a face render: the face pixmap resized to the widget and filled
    // with the Background colour, a painter on it in the widget font.
    void begin_face(QPainter &painter);
    // Ends a face render: the face becomes the widget's background.
    void install_face();
    // The moving part over the face; nothing by default.
    virtual void paint_moving_part(QPainter &) {}

    QSvgRenderer *picture() const;
    // Degrees or pixels per value unit over the range; 0 for an empty range,
    // which would otherwise give infinite positions.
    double per_value_unit(double length) const;

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

    double m_value = 0.0;
    QList<Label> m_labels;
    int m_label_extent = 0;
    int m_tick_length = 6;
    int m_rim_width = 3;
    int m_scale_line_width = 3;

private:
    double m_scale_min = -10.0;
    double m_scale_dist = 1.0;
    double m_range_min = -10.0;
    double m_range_max = 10.0;
    QString m_text;
    bool m_paint_labels = true;
    bool m_paint_scale = true;
    bool m_read_only = true;
    QPixmap m_pixmap;
    QString m_pixmap_file;
    int m_pixmap_h_align = 1;
    int m_pixmap_v_align = 1;
    QString m_picture_file;
    double m_picture_h_scale = 1.0;
    double m_picture_v_scale = 1.0;
    bool m_auto_scale = true;
    bool m_full_redraw = false;
    QSvgRenderer *m_picture = nullptr;
    QPixmap m_face;
};
