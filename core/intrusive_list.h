#pragma once
// Singly linked lists whose link lives in the element (a registry, the list
// of open windows, a source's listeners), kept with head and tail pointers.
// `next` names the element's link member.

template <typename T> void intrusive_append(T *&head, T *&tail, T *item, T *T::*next)
{
    item->*next = nullptr;
    if (tail)
        tail->*next = item;
    else
        head = item;
    tail = item;
}

// Unlinks the item; false when it is not in the list.
template <typename T> bool intrusive_unlink(T *&head, T *&tail, T *item, T *T::*next)
{
    T *previous = nullptr;
    for (T *element = head; element; previous = element, element = element->*next) {
        if (element != item)
            continue;
        (previous ? previous->*next : head) = item->*next;
        if (tail == item)
            tail = previous;
        item->*next = nullptr;
        return true;
    }
    return false;
}
