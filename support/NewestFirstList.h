// The doubly linked, newest-first lists of the framework (children of an owner, the window
// registry, the receiver registry): a head (newest), a tail (oldest) and two links per node.
#pragma once

template <typename Node> struct NewestFirstList {
    Node*& head;
    Node*& tail;
    Node* Node::*older;
    Node* Node::*newer;

    void PushNewest(Node* node) const {
        node->*older = head;
        node->*newer = nullptr;
        head = node;
        if (!tail)
            tail = node;
        else
            (node->*older)->*newer = node;
    }

    void Remove(Node* node) const {
        if (node->*older)
            (node->*older)->*newer = node->*newer;
        else
            tail = node->*newer;
        if (node->*newer)
            (node->*newer)->*older = node->*older;
        else
            head = node->*older;
    }
};
