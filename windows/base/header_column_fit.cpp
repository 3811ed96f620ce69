#include "windows/base/header_column_fit.h"

#include <QHeaderView>
#include <QTimer>
#include <QWidget>

#include <algorithm>

HeaderColumnFit::HeaderColumnFit(QHeaderView *header, int char_width)
    : QObject(header), m_header(header), m_char_width(std::max(char_width, 1))
{
    connect(header, &QHeaderView::sectionResized, this, &HeaderColumnFit::section_resized);
    // Sections come and go at the end with the model's columns.
    connect(header, &QHeaderView::sectionCountChanged, this, [this](int, int count) {
        m_needed_chars.resize(size_t(count), 0);
        m_user_sized.resize(size_t(count), false);
        m_kept_width.resize(size_t(count), -1);
    });
}

void HeaderColumnFit::make_room(int section)
{
    const size_t size = std::max(size_t(section) + 1, size_t(m_header->count()));
    if (m_needed_chars.size() < size) {
        m_needed_chars.resize(size, 0);
        m_user_sized.resize(size, false);
        m_kept_width.resize(size, -1);
    }
}

void HeaderColumnFit::need_chars(int section, int chars)
{
    if (section < 0)
        return;
    make_room(section);
    m_needed_chars[size_t(section)] = std::max(m_needed_chars[size_t(section)], chars);
}

bool HeaderColumnFit::user_sized(int section) const
{
    return section >= 0 && size_t(section) < m_user_sized.size() && m_user_sized[size_t(section)];
}

int HeaderColumnFit::kept_width(int section) const
{
    const int kept = section >= 0 && size_t(section) < m_kept_width.size() ? m_kept_width[size_t(section)] : -1;
    return kept >= 0 ? kept : m_header->sectionSize(section);
}

void HeaderColumnFit::fit_section(int section, int width)
{
    const bool was_resizing = m_resizing;
    m_resizing = true;
    m_header->resizeSection(section, width);
    m_resizing = was_resizing;
}

void HeaderColumnFit::resize_section(int section, int width)
{
    if (section < 0)
        return;
    make_room(section);
    m_kept_width[size_t(section)] = width;
    fit_section(section, width);
}

void HeaderColumnFit::section_resized(int section)
{
    if (m_resizing || section < 0)
        return;
    make_room(section);
    m_user_sized[size_t(section)] = true;
    m_kept_width[size_t(section)] = m_header->sectionSize(section);
    emit resized_by_user(section);
}

int HeaderColumnFit::needed_width(int section) const
{
    const int chars = size_t(section) < m_needed_chars.size() ? m_needed_chars[size_t(section)] : 0;
    return std::max(m_header->sectionSizeHint(section), chars * m_char_width);
}

int HeaderColumnFit::last_shown() const
{
    // A section of width 0 is a column the user switched off.
    int last = -1;
    for (int section = 0; section < m_header->count(); ++section)
        if (m_header->sectionSize(section) > 0 && !m_header->isSectionHidden(section) &&
            (last < 0 || m_header->visualIndex(section) > m_header->visualIndex(last)))
            last = section;
    return last;
}

int HeaderColumnFit::filled_width(int last) const
{
    return std::max(needed_width(last), m_fill_to->width() - m_header->sectionPosition(last));
}

bool HeaderColumnFit::fit_needed() const
{
    for (int section = 0; section < m_header->count(); ++section) {
        const int size = m_header->sectionSize(section);
        if (size > 0 && !m_header->isSectionHidden(section) && !user_sized(section) && needed_width(section) > size)
            return true;
    }
    const int last = m_fill_to ? last_shown() : -1;
    return last >= 0 && !user_sized(last) && filled_width(last) != m_header->sectionSize(last);
}

void HeaderColumnFit::fit_later()
{
    if (m_fit_posted || !fit_needed())
        return;
    m_fit_posted = true;
    QTimer::singleShot(0, this, &HeaderColumnFit::fit);
}

void HeaderColumnFit::fit()
{
    m_fit_posted = false;
    for (int section = 0; section < m_header->count(); ++section) {
        const int size = m_header->sectionSize(section);
        if (size > 0 && !m_header->isSectionHidden(section) && !user_sized(section) && needed_width(section) > size)
            fit_section(section, needed_width(section));
    }
    const int last = m_fill_to ? last_shown() : -1;
    if (last >= 0 && !user_sized(last) && filled_width(last) != m_header->sectionSize(last))
        fit_section(last, filled_width(last));
}
