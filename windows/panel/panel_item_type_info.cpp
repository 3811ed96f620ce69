#include "windows/panel/panel_item_type_info.h"

#include "windows/panel/vyr_panel_item.h"

#include <QtGlobal>

namespace {

// Zero-initialised before any record's constructor runs, so records in any
// file may link themselves before main().
PanelItemTypeInfo *g_first = nullptr;
PanelItemTypeInfo *g_last = nullptr;

} // namespace

const char *PanelItemTypeInfo::category_title(int32_t category)
{
    static const char *const titles[category_count] = {
        QT_TRANSLATE_NOOP("VyrPanelWindow", "Analog Signal Control (Input)"),
        QT_TRANSLATE_NOOP("VyrPanelWindow", "Analog Signal Display (Output)"),
        QT_TRANSLATE_NOOP("VyrPanelWindow", "Control"),
        QT_TRANSLATE_NOOP("VyrPanelWindow", "Static"),
        QT_TRANSLATE_NOOP("VyrPanelWindow", "Data"),
    };
    return category >= 0 && category < category_count ? titles[category] : nullptr;
}

PanelItemTypeInfo::PanelItemTypeInfo(const char *name, Factory factory, int32_t category, const char *property_list,
                                     uint32_t variant)
    : m_name(QString::fromLatin1(name)),
      m_category(category),
      m_factory(factory),
      m_property_names(QString::fromLatin1(property_list).split(QLatin1Char(','), Qt::SkipEmptyParts)),
      m_variant(variant)
{
    register_panel_item_type(this);
}

PanelItemTypeInfo::~PanelItemTypeInfo() = default;

void PanelItemTypeInfo::register_panel_item_type(PanelItemTypeInfo *info)
{
    if (g_last)
        g_last->m_next = info;
    else
        g_first = info;
    g_last = info;
}

QString PanelItemTypeInfo::name() const
{
    return m_name;
}

VyrPanelItem *PanelItemTypeInfo::create_item(QWidget *parent) const
{
    if (!m_factory)
        return nullptr;
    VyrPanelItem *item = m_factory(parent, m_variant);
    if (item)
        item->set_type_info(this);
    return item;
}

PanelItemTypeInfo *PanelItemTypeInfo::first()
{
    return g_first;
}

PanelItemTypeInfo *PanelItemTypeInfo::find(const QString &name)
{
    for (PanelItemTypeInfo *info = g_first; info; info = info->m_next) {
        if (info->m_name == name)
            return info;
    }
    return nullptr;
}

PanelItemTypeInfo *PanelItemTypeInfo::at_position(int position)
{
    PanelItemTypeInfo *info = g_first;
    for (int i = 1; info && i < position; ++i)
        info = info->m_next;
    return position >= 1 ? info : nullptr;
}
