#pragma once
// Tool tips for the sections of a table or list header: a section shows
// its tip while the pointer is over it.
#include <QMap>
#include <QObject>
#include <QRect>
#include <QString>

class QHeaderView;

class HeaderToolTip : public QObject
{
    Q_OBJECT
public:
    explicit HeaderToolTip(QHeaderView *header);

    // Inserts or replaces the tip of a section.
    void set_tip(int section, const QString &text);

    // The tip for a point of the header and the rectangle it stands for:
    // the first section whose span holds x; false (no tip) when that
    // section has none or no section holds x.
    bool tip_at(const QPoint &point, QString *text, QRect *rect) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QHeaderView *m_header;
    QMap<int, QString> m_tips;
};
