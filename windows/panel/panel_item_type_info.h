#pragma once
// The panel item type registry: one record per kind of item a user can place
// on a panel. The records are built before main() in a fixed order (that
// order is the order of the "Insert New Item" menu and of its entry ids) and
// live until the program ends. The panel file reader finds a record by the
// type name stored with each item; the record's property names say which
// widget properties of the kind are persistent.
#include <QString>
#include <QStringList>

#include <cstdint>

class QWidget;
class VyrPanelItem;

class PanelItemTypeInfo
{
public:
    // Builds an item with its widget on the parent; variant 1 selects the
    // vertical form of a kind that has two orientations.
    using Factory = VyrPanelItem *(*)(QWidget *parent, uint32_t variant);

    // The submenus of "Insert New Item".
    enum Category : int32_t {
        AnalogSignalControl = 0,
        AnalogSignalDisplay = 1,
        Control = 2,
        Static = 3,
        Data = 4,
    };
    static constexpr int32_t category_count = 5;
    // The untranslated submenu title of a category (context "VyrPanelWindow");
    // null outside 0 to 4.
    static const char *category_title(int32_t category);

    // property_list: comma-separated property names; empty entries are
    // dropped. Appends the record to the registry.
    PanelItemTypeInfo(const char *name, Factory factory, int32_t category, const char *property_list,
                      uint32_t variant);
    virtual ~PanelItemTypeInfo();
    PanelItemTypeInfo(const PanelItemTypeInfo &) = delete;
    PanelItemTypeInfo &operator=(const PanelItemTypeInfo &) = delete;

    virtual QString name() const;
    // A new item of this kind on the parent that knows this record as its
    // type; null when the record has no factory.
    virtual VyrPanelItem *create_item(QWidget *parent) const;

    int32_t category() const { return m_category; }
    Factory factory() const { return m_factory; }
    const QStringList &property_names() const { return m_property_names; }
    uint32_t variant() const { return m_variant; }

    // The registry in registration order.
    static PanelItemTypeInfo *first();
    PanelItemTypeInfo *next() const { return m_next; }
    // The first record whose name equals the text exactly (case-sensitive), or null.
    static PanelItemTypeInfo *find(const QString &name);
    // The record at a 1-based registry position (the menu entry id), or null.
    static PanelItemTypeInfo *at_position(int position);

private:
    // Appends the record after the last one.
    static void register_panel_item_type(PanelItemTypeInfo *info);

    PanelItemTypeInfo *m_next = nullptr;
    QString m_name;
    int32_t m_category;
    Factory m_factory;
    QStringList m_property_names;
    uint32_t m_variant;
};
