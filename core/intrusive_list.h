#pragma once
// A doubly linked list threaded through its elements: each element holds an
// IntrusiveLink for every list it can be in, and the list owns none of them.
// Linking, unlinking and the membership test take constant time, and a list
// needs no allocation, so a list of records built before main() can be a
// constant-initialised global. Not locked: the owner serialises the calls.
//
// A Walk visits the elements in order and survives the removal of any element
// while it walks, also the one it stands on and the one it would visit next.

template <typename T>
class IntrusiveLink
{
public:
    constexpr IntrusiveLink() = default;
    IntrusiveLink(const IntrusiveLink &) = delete;
    IntrusiveLink &operator=(const IntrusiveLink &) = delete;

private:
    template <typename U, IntrusiveLink<U> U::*>
    friend class IntrusiveList;
    T *m_next = nullptr;
    T *m_previous = nullptr;
    const void *m_list = nullptr; // the list the element is in
};

template <typename T, IntrusiveLink<T> T::*Link>
class IntrusiveList
{
public:
    class Walk
    {
    public:
        explicit Walk(IntrusiveList &list) : m_list(list), m_outer(list.m_walks) { list.m_walks = this; }
        ~Walk()
        {
            for (Walk **walk = &m_list.m_walks; *walk; walk = &(*walk)->m_outer) {
                if (*walk == this) {
                    *walk = m_outer;
                    break;
                }
            }
        }
        Walk(const Walk &) = delete;
        Walk &operator=(const Walk &) = delete;

        // The next element, null at the end; the first after the walk
        // begins or restarts.
        T *next()
        {
            m_current = m_at_start ? m_list.m_first : m_current ? link(m_current).m_next : nullptr;
            m_at_start = false;
            return m_current;
        }
        void restart()
        {
            m_current = nullptr;
            m_at_start = true;
        }

    private:
        friend class IntrusiveList;
        IntrusiveList &m_list;
        Walk *m_outer;
        T *m_current = nullptr;
        bool m_at_start = true;
    };

    constexpr IntrusiveList() = default;
    IntrusiveList(const IntrusiveList &) = delete;
    IntrusiveList &operator=(const IntrusiveList &) = delete;

    T *first() const { return m_first; }
    T *last() const { return m_last; }
    bool empty() const { return !m_first; }
    int size() const { return m_size; }
    static T *next(const T *element) { return link(element).m_next; }
    bool contains(const T *element) const { return link(element).m_list == this; }

    // Appends an element that is in no list of this link; one in this list
    // already stays where it is.
    void push_back(T *element)
    {
        if (contains(element))
            return;
        IntrusiveLink<T> &added = link(element);
        added.m_list = this;
        added.m_next = nullptr;
        added.m_previous = m_last;
        (m_last ? link(m_last).m_next : m_first) = element;
        m_last = element;
        ++m_size;
    }

    // Unlinks the element; one that is not in this list is left alone.
    void remove(T *element)
    {
        if (!contains(element))
            return;
        IntrusiveLink<T> &removed = link(element);
        // A walk standing on the element steps back, so that its next step
        // reaches the element's follower.
        for (Walk *walk = m_walks; walk; walk = walk->m_outer) {
            if (walk->m_current == element) {
                walk->m_current = removed.m_previous;
                walk->m_at_start = !removed.m_previous;
            }
        }
        (removed.m_previous ? link(removed.m_previous).m_next : m_first) = removed.m_next;
        (removed.m_next ? link(removed.m_next).m_previous : m_last) = removed.m_previous;
        removed.m_next = removed.m_previous = nullptr;
        removed.m_list = nullptr;
        --m_size;
    }

    // Unlinks and answers the first element, null when empty.
    T *pop_front()
    {
        T *element = m_first;
        if (element)
            remove(element);
        return element;
    }

    void clear()
    {
        while (m_first)
            remove(m_first);
    }

    // Moves every element of the other list, in order, to the end of this one.
    void append_all(IntrusiveList &other)
    {
        while (T *element = other.pop_front())
            push_back(element);
    }

private:
    static IntrusiveLink<T> &link(T *element) { return element->*Link; }
    static const IntrusiveLink<T> &link(const T *element) { return element->*Link; }

    T *m_first = nullptr;
    T *m_last = nullptr;
    int m_size = 0;
    Walk *m_walks = nullptr;
};
