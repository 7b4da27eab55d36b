// Doubly linked list of pointers with a cursor that stays on the last node
// found or added, so that lookups in file order find each node at once.
#pragma once

#include <cstdint>

namespace envsys {

struct ListNode {
    ListNode* next;
    ListNode* previous;
    void* data; // a record whose first field is its name (a char*)
};

struct PointerList {
    ListNode* cursor;
    ListNode* head;
    ListNode* tail;
    int32_t count;
    int32_t cursorIndex; // -1 without a cursor

    void Init(); // empty, cursorIndex -1
    void ResetCursor();
    bool FindByName(const char* name);
    bool Append(void* data);
    void RemoveCurrent();
    void Clear();
    // Moves every node of other, in order, before this list's head (other
    // ends empty) and puts the cursor on the head.
    void MoveToFront(PointerList* other);
    void* CurrentData() const { return cursor != nullptr ? cursor->data : nullptr; }
};

} // namespace envsys
