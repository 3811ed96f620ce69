#pragma once
// The environment variables of the program, found by id through an index of
// 2048 buckets or by name, kept in insertion order. One global list lives from
// program start to program end.
#include "core/env_var_record.h"

#include <QObject>

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class VyrDefiner;

class VyrEnvVarList : public QObject
{
    Q_OBJECT
public:
    explicit VyrEnvVarList(QObject *parent = nullptr);
    ~VyrEnvVarList() override;

    // The program's list, set by the shell at start-up (null before and after).
    static VyrEnvVarList *instance();
    static void set_instance(VyrEnvVarList *list);

    // Takes ownership; returns the variable.
    EnvVarRecord *insert(std::unique_ptr<EnvVarRecord> variable);
    EnvVarRecord *find_by_id(int id) const;
    // Exact comparison of the name; the first variable in insertion order.
    EnvVarRecord *find_by_name(const std::string &name) const;
    // Takes the definer off every variable that lists it; a variable left
    // without definers is removed and deleted. Called when an interface goes
    // and before its script is compiled again.
    void remove_definer(VyrDefiner *definer);
    int count() const;

private:
    static constexpr int bucket_count = 2048;
    static size_t bucket_of(int id) { return size_t(unsigned(id) % bucket_count); }

    // Guards the index and the list; lookups come from interface threads while
    // the GUI thread compiles scripts.
    mutable std::mutex m_mutex;
    std::array<std::vector<EnvVarRecord *>, bucket_count> m_index;
    std::vector<std::unique_ptr<EnvVarRecord>> m_variables;
};
