#include "config/PointerList.h"

#include <cstring>

#include "config/StringUtils.h"
#include "plugin/Memory.h"

namespace envsys {
namespace {

const char* NameOf(const ListNode* node) {
    return node->data != nullptr ? *static_cast<char* const*>(node->data) : nullptr;
}

unsigned char FoldAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

// StrEqual without regard to case, with a quick refusal of names whose first
// ASCII letters already differ (the parser compares every new key with every
// earlier key of its section). Bytes of 0x80 and above go to the full
// comparison, which knows the code page's case rules.
bool NameMatches(const char* recordName, const char* name) {
    if (recordName == nullptr) return false;
    const auto a = static_cast<unsigned char>(recordName[0]);
    const auto b = static_cast<unsigned char>(name[0]);
    if (a < 0x80 && b < 0x80 && FoldAscii(a) != FoldAscii(b)) return false;
    // Names are nearly always asked for as the file spells them, and equal
    // bytes are equal in every case mode: the runtime's vector compare
    // settles that before the byte-wise comparison without regard to case.
    if (a != 0 && std::strcmp(recordName, name) == 0) return true;
    return StrEqual(recordName, name, 0);
}

} // namespace

void PointerList::Init() {
    cursor = nullptr;
    head = nullptr;
    tail = nullptr;
    count = 0;
    cursorIndex = -1;
}

void PointerList::ResetCursor() {
    cursor = head;
    cursorIndex = head != nullptr ? 0 : -1;
}

bool PointerList::FindByName(const char* name) {
    if (count == 0 || head == nullptr || StrIsEmpty(name)) return false;
    if (cursor == nullptr) ResetCursor();
    const int32_t start = cursorIndex;
    for (; cursor != nullptr; cursor = cursor->next, ++cursorIndex)
        if (NameMatches(NameOf(cursor), name)) return true;
    cursorIndex = 0;
    for (cursor = head; cursor != nullptr && cursorIndex < start; cursor = cursor->next, ++cursorIndex)
        if (NameMatches(NameOf(cursor), name)) return true;
    cursor = nullptr;
    cursorIndex = -1;
    return false;
}

bool PointerList::Append(void* data) {
    auto* node = static_cast<ListNode*>(MemAllocOrHeap(sizeof(ListNode)));
    if (node == nullptr) return false;
    node->next = nullptr;
    node->previous = tail;
    node->data = data;
    if (tail != nullptr)
        tail->next = node;
    else
        head = node;
    tail = node;
    ++count;
    cursor = node;
    cursorIndex = count - 1;
    return true;
}

void PointerList::RemoveCurrent() {
    ListNode* node = cursor;
    if (node == nullptr) return;
    if (node->previous != nullptr)
        node->previous->next = node->next;
    else
        head = node->next;
    if (node->next != nullptr)
        node->next->previous = node->previous;
    else
        tail = node->previous;
    --count;
    if (node->next != nullptr) {
        cursor = node->next;
    } else {
        cursor = tail;
        --cursorIndex;
    }
    if (cursor == nullptr) cursorIndex = -1;
    MemFree(node);
}

void PointerList::Clear() {
    for (ListNode* node = head; node != nullptr;) {
        ListNode* next = node->next;
        MemFree(node);
        node = next;
    }
    Init();
}

void PointerList::MoveToFront(PointerList* other) {
    if (other == nullptr || other == this || other->head == nullptr) return;
    other->tail->next = head;
    if (head != nullptr)
        head->previous = other->tail;
    else
        tail = other->tail;
    head = other->head;
    count += other->count;
    other->Init();
    ResetCursor();
}

} // namespace envsys
