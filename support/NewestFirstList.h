// The newest-first lists of the framework. Doubly linked (children of an owner, the window
// registry, the receiver registry): a head (newest), a tail (oldest) and two links per node.
// Singly linked (log channels, periodic jobs): a head and one link per node.
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

// Takes node out of a singly linked list; a node that is not in it changes nothing.
template <typename Node> void RemoveFromChain(Node*& head, Node* node, Node* Node::*next) {
    for (Node** link = &head; *link; link = &((*link)->*next)) {
        if (*link == node) {
            *link = node->*next;
            return;
        }
    }
}
