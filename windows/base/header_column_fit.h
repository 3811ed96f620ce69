#pragma once
// Keeps the sections of a list's header wide enough for what they show: the
// section's title and the longest cell text painted in it (counted in
// characters of the list's font). A paint that finds a text wider than its
// section asks for a fit, which grows the section once the paint is over;
// sections never shrink by it, except that the last one, when it fills the
// list to its right edge, follows the list's width down to what its texts
// need. A section the user resized keeps the width the user gave it.
//
// A fitted width follows what is shown and how wide the list is: it is not
// the section's kept width, the one a configuration stores. That is the
// width the list set itself (its default, a restored width) or the user gave.
#include <QObject>

#include <vector>

class QHeaderView;
class QWidget;

class HeaderColumnFit : public QObject
{
    Q_OBJECT
public:
    HeaderColumnFit(QHeaderView *header, int char_width);

    void set_char_width(int char_width) { m_char_width = char_width; }
    // The last section shown reaches the right edge of that widget (the
    // list's viewport); null: it does not.
    void set_fill_to(QWidget *edge) { m_fill_to = edge; }

    // While painting: the cell of the section shows a text of that many characters.
    void need_chars(int section, int chars);
    // Fits once the current paint is over, when a cell or title needs it.
    void fit_later();
    // Grows each section shown to its title and its texts, and the last one to the edge.
    void fit();

    // A width the list sets itself (its default, a restored width, a column
    // switched off or on): it becomes the section's kept width.
    void resize_section(int section, int width);
    // The width to store for the section.
    int kept_width(int section) const;
    bool user_sized(int section) const;

signals:
    // The user dragged the section's edge.
    void resized_by_user(int section);

private:
    void section_resized(int section);
    // Resizes without touching the kept width.
    void fit_section(int section, int width);
    int needed_width(int section) const;
    // The last section shown, by position; -1 when none is.
    int last_shown() const;
    // The width the last section fills to the edge with.
    int filled_width(int last) const;
    bool fit_needed() const;
    void make_room(int section);

    QHeaderView *m_header;
    int m_char_width;
    QWidget *m_fill_to = nullptr;
    // Per section: characters of the longest text seen, whether the user
    // sized it, and its kept width (-1: its size as it is).
    std::vector<int> m_needed_chars;
    std::vector<bool> m_user_sized;
    std::vector<int> m_kept_width;
    // Set while this object resizes a section.
    bool m_resizing = false;
    bool m_fit_posted = false;
};
