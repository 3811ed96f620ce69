#include "core/vyr_trigger_cond.h"

#include "settings/qtb_config.h"
#include "core/vyr_trigger.h"

#include <QCoreApplication>

#include <algorithm>

// --- Kinds ---------------------------------------------------------------------------

namespace {
std::vector<const VyrTriggerCondKind *> &kinds()
{
    static std::vector<const VyrTriggerCondKind *> registered;
    return registered;
}

std::vector<std::pair<int, VyrTriggerCondKind::EditorFactory>> &editor_factories()
{
    static std::vector<std::pair<int, VyrTriggerCondKind::EditorFactory>> installed;
    return installed;
}

VyrTriggerCondList *g_condition_list = nullptr;

const char *const relation_symbols[relation_count] = {"==", "!=", ">", "<", ">=", "<="};
const char *const relation_texts[relation_count] = {"equal (==)",   "not equal (!=)",        "greater than (>)",
                                                    "less than (<)", "greater or equal (>=)", "less or equal (<=)"};
} // namespace

QString trigger_relation_symbol(int relation)
{
    return relation >= 0 && relation < relation_count ? QString::fromLatin1(relation_symbols[relation]) : QString();
}

QString trigger_relation_text(int relation)
{
    return relation >= 0 && relation < relation_count
               ? QCoreApplication::translate("VyrTriggerRelation", relation_texts[relation])
               : QString();
}

bool trigger_relation_holds(int relation, double left, double right, bool *known)
{
    if (known)
        *known = relation >= 0 && relation < relation_count;
    switch (relation) {
    case RelationEqual:
        return left == right;
    case RelationNotEqual:
        return left != right;
    case RelationGreater:
        return left > right;
    case RelationLess:
        return left < right;
    case RelationGreaterOrEqual:
        return left >= right;
    case RelationLessOrEqual:
        return left <= right;
    default:
        return false;
    }
}

VyrTriggerCondKind::VyrTriggerCondKind(int kind, const char *identifier, const char *title, Factory factory)
    : m_kind(kind), m_identifier(identifier), m_title(title), m_factory(factory)
{
    kinds().push_back(this);
}

QString VyrTriggerCondKind::title() const
{
    return QCoreApplication::translate("VyrTriggerCondKind", m_title);
}

QWidget *VyrTriggerCondKind::create_editor(QWidget *parent) const
{
    for (const auto &installed : editor_factories())
        if (installed.first == m_kind)
            return installed.second(parent);
    return nullptr;
}

void VyrTriggerCondKind::set_editor_factory(int kind, EditorFactory factory)
{
    for (auto &installed : editor_factories())
        if (installed.first == kind) {
            installed.second = factory;
            return;
        }
    editor_factories().emplace_back(kind, factory);
}

const VyrTriggerCondKind *VyrTriggerCondKind::kind_at(int index)
{
    return index >= 0 && index < count() ? kinds()[size_t(index)] : nullptr;
}

int VyrTriggerCondKind::count()
{
    return int(kinds().size());
}

VyrTriggerCondKind::~VyrTriggerCondKind()
{
    auto &registered = kinds();
    registered.erase(std::remove(registered.begin(), registered.end(), this), registered.end());
}

const VyrTriggerCondKind *VyrTriggerCondKind::find(int kind)
{
    for (const VyrTriggerCondKind *registered : kinds())
        if (registered->kind() == kind)
            return registered;
    return nullptr;
}

// --- Conditions ------------------------------------------------------------------------

VyrTriggerCond::VyrTriggerCond(VyrTriggerCondList *owner) : m_owner(owner)
{
    if (m_owner)
        m_owner->m_conditions.push_back(this);
}

VyrTriggerCond::~VyrTriggerCond()
{
    set_target(nullptr);
    if (m_owner)
        m_owner->remove(this);
}

void VyrTriggerCond::set_target(VyrTrigger *trigger)
{
    if (trigger == m_target)
        return;
    if (m_target) {
        std::vector<VyrTriggerCond *> &pointing = m_target->m_conditions;
        pointing.erase(std::remove(pointing.begin(), pointing.end(), this), pointing.end());
    }
    m_target = trigger;
    if (m_target)
        m_target->m_conditions.push_back(this);
}

int VyrTriggerCond::fire()
{
    if (!m_target)
        return -1;
    switch (m_action) {
    case SetTrigger:
        m_target->set();
        break;
    case ResetTrigger:
        m_target->reset();
        break;
    case ToggleTrigger:
        m_target->toggle();
        break;
    case PulseTrigger:
        m_target->pulse();
        break;
    default:
        break;
    }
    return 0;
}

static const char *const action_names[] = {"SetTrigger", "ResetTrigger", "ToggleTrigger", "PulseTrigger"};

QString VyrTriggerCond::action_name(int action)
{
    if (action < SetTrigger || action > PulseTrigger)
        return QCoreApplication::translate("VyrTriggerCond", "???");
    return QCoreApplication::translate("VyrTriggerCond", action_names[action - 1]);
}

// --- The condition list ------------------------------------------------------------------

VyrTriggerCondList::VyrTriggerCondList(QObject *parent) : QObject(parent) {}

VyrTriggerCondList::~VyrTriggerCondList()
{
    clear();
    if (g_condition_list == this)
        g_condition_list = nullptr;
}

VyrTriggerCondList *VyrTriggerCondList::instance()
{
    return g_condition_list;
}

void VyrTriggerCondList::set_instance(VyrTriggerCondList *list)
{
    g_condition_list = list;
}

VyrTriggerCond *VyrTriggerCondList::first()
{
    m_next = 0;
    return next();
}

VyrTriggerCond *VyrTriggerCondList::next()
{
    if (m_next >= m_conditions.size()) {
        m_next = m_conditions.size();
        return nullptr;
    }
    return m_conditions[m_next++];
}

void VyrTriggerCondList::remove(VyrTriggerCond *condition)
{
    // Searched from the newest on: clearing the list from its end takes constant time per condition.
    const auto it = std::find(m_conditions.rbegin(), m_conditions.rend(), condition);
    if (it == m_conditions.rend())
        return;
    const size_t index = size_t(m_conditions.rend() - it) - 1;
    m_conditions.erase(std::next(it).base());
    // A walk goes on with the entry after the one that went.
    if (index < m_next)
        --m_next;
    condition->m_owner = nullptr;
}

void VyrTriggerCondList::clear()
{
    while (!m_conditions.empty())
        delete m_conditions.back();
}

void VyrTriggerCondList::trigger_removed(VyrTrigger *trigger)
{
    const std::vector<VyrTriggerCond *> pointing = trigger->conditions();
    for (VyrTriggerCond *condition : pointing)
        if (condition->owner() == this)
            condition->set_target(nullptr);
}

void VyrTriggerCondList::write_config(QtbConfigGroup *group) const
{
    QtbConfigGroup *list = group->add_group("conditions");
    int written = 0;
    for (VyrTriggerCond *condition : m_conditions) {
        if (condition->flags() & (VyrTriggerCond::BuiltIn | VyrTriggerCond::Deleted))
            continue;
        QtbConfigGroup *entry = list->add_group("");
        write_name_and_comment(entry, condition->name(), condition->comment());
        const QString target = condition->target() ? condition->target()->name() : QString();
        entry->write_string("trigger", target);
        entry->write_string_utf8("trigger_utf8", target);
        entry->write_int("action", condition->action());
        entry->write_int("type", condition->type());
        if (condition->cond_data())
            condition->cond_data()->write_config(entry);
        ++written;
    }
    group->write_int("condition_count", written);
}

void VyrTriggerCondList::read_config(QtbConfigGroup *group)
{
    QtbConfigGroup *list = group->get_group("conditions");
    VyrTriggerList *triggers = VyrTriggerList::instance();
    for (QtbConfigGroup *entry = list ? list->first_group() : nullptr; entry; entry = list->next_group()) {
        auto *condition = new VyrTriggerCond(this);
        condition->set_name(read_config_text(entry, "name", "name_utf8"));
        condition->set_comment(read_config_text(entry, "comment", "comment_utf8"));
        const QString target = read_config_text(entry, "trigger", "trigger_utf8");
        condition->set_target(triggers && !target.isEmpty() ? triggers->find(target) : nullptr);
        condition->set_action(entry->read_int("action", 0));
        if (const VyrTriggerCondKind *kind = VyrTriggerCondKind::find(entry->read_int("type", 0))) {
            std::unique_ptr<VyrTriggerCondData> data = kind->create();
            data->read_config(entry);
            condition->set_cond_data(std::move(data));
        }
    }
}
