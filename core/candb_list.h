#pragma once
// The list shape of the network database: a singly linked list whose link
// (`next`) lives in the element, with first and last element and a count.
// Appending is O(1). The list does not own its elements; their owner deletes
// them with delete_all.

template <typename T> struct CANdbList {
    T *first = nullptr;
    T *last = nullptr;
    int count = 0;

    void append(T *item)
    {
        item->next = nullptr;
        if (last)
            last->next = item;
        else
            first = item;
        last = item;
        ++count;
    }

    // Links the item before the element at the 0-based position; a position
    // outside 0..count-1 (or an empty list) appends.
    void insert_at(T *item, int position)
    {
        if (position < 0 || position >= count || !first) {
            append(item);
            return;
        }
        T **link = &first;
        for (int i = 0; i < position; ++i)
            link = &(*link)->next;
        item->next = *link;
        *link = item;
        ++count;
    }

    // Unlinks the first element for which match(element) holds and returns
    // it (the caller owns it then), or null.
    template <typename Match> T *unlink_first(Match match)
    {
        T *prev = nullptr;
        for (T *item = first; item; prev = item, item = item->next) {
            if (!match(item))
                continue;
            (prev ? prev->next : first) = item->next;
            if (last == item)
                last = prev;
            item->next = nullptr;
            --count;
            return item;
        }
        return nullptr;
    }

    void delete_all()
    {
        while (first) {
            T *next = first->next;
            delete first;
            first = next;
        }
        last = nullptr;
        count = 0;
    }
};
