#pragma once
// The node of the description model that the ODX, A2L and FIBEX readers
// build and the diagnostics and calibration code walks: a header (flags,
// count, serial, id, name, long names, descriptions, kind) and a record of
// numbered words whose roles each kind fixes (description_kinds.h).
//
// Counting: a node starts with count 0; a list entry and a reference word
// each hold one reference. Releasing lowers the count and deletes the node at
// 0, so a node that was never referenced goes at its first release.
#include "core/description_string.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class DescriptionList;

class DescriptionNode
{
public:
    enum Flag : uint32_t {
        // Stands for a reference by name or id that the link pass still resolves.
        placeholder_flag = 1u << 0,
        // Set once an unresolved placeholder was reported; subsystems also mark
        // working-set entries with it.
        marked_flag = 1u << 1,
    };

    // What a word of the record holds: N a number, R a counted reference, L an
    // owned list (made on its first append), T a text, P a plain pointer.
    enum WordRole : char { number_word = 'N', reference_word = 'R', list_word = 'L', text_word = 'T', pointer_word = 'P' };

    // `layout` gives the role of each word in order, e.g. "NNRL".
    DescriptionNode(int kind, const char *layout = "");
    virtual ~DescriptionNode();
    DescriptionNode(const DescriptionNode &) = delete;
    DescriptionNode &operator=(const DescriptionNode &) = delete;

    int kind() const { return m_kind; }
    uint32_t serial() const { return m_serial; }

    const DescriptionString &name() const { return m_name; }
    void set_name(const DescriptionString &name) { m_name = name; }
    const DescriptionString &id() const { return m_id; }
    void set_id(const DescriptionString &id) { m_id = id; }
    DescriptionString long_name(int index = -1) const { return m_long_names.get(index); }
    void set_long_name(const DescriptionString &text, int index = 0) { m_long_names.set(text, index); }
    void description(DescriptionString &into, int index = -1) const { into = m_descriptions.get(index); }
    void set_description(const DescriptionString &text, int index = 0) { m_descriptions.set(text, index); }
    const DescriptionTextTable &long_names() const { return m_long_names; }

    void add_ref() { ++m_references; }
    // Lowers the count, never below 0, and never deletes.
    void drop_ref();
    int ref_count() const { return m_references; }
    // Lowers the count and deletes the node when it reaches 0 (at once for a
    // node never referenced); null is ignored.
    static void release(DescriptionNode *node);

    void set_marked() { m_flags |= marked_flag; }
    void clear_marked() { m_flags &= ~uint32_t(marked_flag); }
    bool is_marked() const { return m_flags & marked_flag; }
    void set_placeholder() { m_flags |= placeholder_flag; }
    bool is_placeholder() const { return m_flags & placeholder_flag; }

    // Word access; a word out of the layout reads as 0 or null and is not stored.
    int word_count() const { return int(m_words.size()); }
    int32_t data_word(int word) const;
    DescriptionNode *data_ref(int word) const;
    // A number word (the node at word 0 for a signal's description).
    void set_data_word(int word, int32_t value);
    // Releases the node in the word, stores the new one and takes a reference.
    void set_data_ref(int word, DescriptionNode *node);
    // The list of a list word, null until its first append.
    DescriptionList *data_list(int word) const;
    // Makes the list when missing and appends the node to it.
    virtual void append_to_list(int word, DescriptionNode *node);
    DescriptionString data_text(int word) const;
    void set_data_text(int word, const DescriptionString &text);
    uint8_t data_byte(int index) const;
    void set_data_byte(int index, uint8_t value);
    // The node at word 0: the node a signal's description refers to.
    DescriptionNode *data_word0() const { return data_ref(0); }

    // find_by_name in the list of word 0; null without one.
    DescriptionNode *find_child(const char *name) const;
    // The first node of that name (or id) in the list of word 0, searched
    // depth-first into the child layers of each entry before the next entry.
    DescriptionNode *find_by_name_recursive(const char *name) const;
    DescriptionNode *find_by_id_recursive(const char *id) const;

protected:
    void set_plain_pointer(int word, void *pointer);
    void *plain_pointer(int word) const;

private:
    // One word: `pointer` holds the node of an R word, the list of an L word
    // (owned) and the pointer of a P word.
    struct Word {
        WordRole role;
        int32_t number = 0;
        void *pointer = nullptr;
        DescriptionString text;
    };
    Word *word_of(int word, WordRole role);
    const Word *word_of(int word, WordRole role) const;

    uint32_t m_flags = 0;
    int32_t m_references = 0;
    uint32_t m_serial;
    DescriptionString m_id;
    DescriptionString m_name;
    DescriptionTextTable m_descriptions;
    DescriptionTextTable m_long_names;
    int m_kind;
    std::vector<Word> m_words;
    uint8_t m_bytes[6] = {};
};

// True when the path begins with fibex_url_prefix() ("fibex://"); false for null.
bool is_fibex_url(const char *path);
const char *fibex_url_prefix();

// The FIBEX description root loaded for the whole program, or null when none is
// loaded. The FIBEX reader sets it when it loads a description and clears it
// before that description goes.
DescriptionNode *get_fibex_database();
void set_fibex_database(DescriptionNode *root);
