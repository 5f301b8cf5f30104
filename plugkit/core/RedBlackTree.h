#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>

#include "plugkit/core/Fatal.h"

namespace plugkit::core {

// Red-black tree of unique keys, the storage behind Map and Set. Entry is a record with a member
// `key`; Less orders keys. Nodes come from the system allocator; entries are destroyed on removal,
// clear and destruction. Not synchronised: the owner locks where several threads use it.
template <class Entry, class Less>
class RedBlackTree {
public:
    struct Node {
        Node* left;
        Node* right;
        Node* parent;
        bool red;
        Entry entry;
    };

    RedBlackTree() = default;
    RedBlackTree(const RedBlackTree&) = delete;
    RedBlackTree& operator=(const RedBlackTree&) = delete;
    RedBlackTree(RedBlackTree&& other) noexcept { swap(other); }
    RedBlackTree& operator=(RedBlackTree&& other) noexcept {
        if (this != &other) {
            clear();
            swap(other);
        }
        return *this;
    }
    ~RedBlackTree() { clear(); }

    void swap(RedBlackTree& other) noexcept {
        std::swap(root_, other.root_);
        std::swap(size_, other.size_);
        std::swap(less_, other.less_);
    }

    std::size_t size() const { return size_; }

    // The node holding key, or null.
    template <class K>
    Node* findNode(const K& key) const {
        Node* n = root_;
        while (n) {
            if (less_(key, n->entry.key))
                n = n->left;
            else if (less_(n->entry.key, key))
                n = n->right;
            else
                return n;
        }
        return nullptr;
    }

    // Finds the node of key or creates one with make(void* where) constructing the entry in place.
    // Returns the node and whether it was created.
    template <class K, class Make>
    std::pair<Node*, bool> findOrInsert(const K& key, Make&& make) {
        Node* parent = nullptr;
        Node** link = &root_;
        while (*link) {
            parent = *link;
            if (less_(key, parent->entry.key))
                link = &parent->left;
            else if (less_(parent->entry.key, key))
                link = &parent->right;
            else
                return {parent, false};
        }
        void* raw = std::malloc(sizeof(Node));
        if (!raw) outOfMemory();
        Node* n = static_cast<Node*>(raw);
        make(static_cast<void*>(&n->entry));
        n->left = n->right = nullptr;
        n->parent = parent;
        n->red = true;
        *link = n;
        ++size_;
        insertFixup(n);
        return {n, true};
    }

    // Unlinks node and destroys its entry.
    void erase(Node* z) {
        Node* x;
        Node* xParent;
        bool removedRed = z->red;
        if (!z->left) {
            x = z->right;
            xParent = z->parent;
            transplant(z, z->right);
        } else if (!z->right) {
            x = z->left;
            xParent = z->parent;
            transplant(z, z->left);
        } else {
            Node* y = minimum(z->right);
            removedRed = y->red;
            x = y->right;
            if (y->parent == z) {
                xParent = y;
            } else {
                xParent = y->parent;
                transplant(y, y->right);
                y->right = z->right;
                y->right->parent = y;
            }
            transplant(z, y);
            y->left = z->left;
            y->left->parent = y;
            y->red = z->red;
        }
        if (!removedRed) eraseFixup(x, xParent);
        --size_;
        destroyNode(z);
    }

    void clear() {
        // Iterative post-order teardown: no recursion depth to worry about.
        Node* n = root_;
        while (n) {
            if (n->left) {
                n = n->left;
            } else if (n->right) {
                n = n->right;
            } else {
                Node* parent = n->parent;
                if (parent) {
                    if (parent->left == n)
                        parent->left = nullptr;
                    else
                        parent->right = nullptr;
                }
                destroyNode(n);
                n = parent;
            }
        }
        root_ = nullptr;
        size_ = 0;
    }

    Node* first() const { return root_ ? minimum(root_) : nullptr; }

    static Node* next(Node* n) {
        if (n->right) return minimum(n->right);
        Node* p = n->parent;
        while (p && n == p->right) {
            n = p;
            p = p->parent;
        }
        return p;
    }

    // Checks ordering, parent links, a black root, no red node with a red child, equal black
    // heights and the element count. For tests and debugging.
    bool validate() const {
        if (root_ && (root_->red || root_->parent)) return false;
        std::size_t count = 0;
        return blackHeight(root_, count) >= 0 && count == size_;
    }

private:
    static Node* minimum(Node* n) {
        while (n->left) n = n->left;
        return n;
    }
    static bool isRed(const Node* n) { return n && n->red; }

    static void destroyNode(Node* n) {
        n->entry.~Entry();
        std::free(n);
    }

    int blackHeight(const Node* n, std::size_t& count) const {
        if (!n) return 1;
        ++count;
        if (n->left && (n->left->parent != n || !less_(n->left->entry.key, n->entry.key))) return -1;
        if (n->right && (n->right->parent != n || !less_(n->entry.key, n->right->entry.key))) return -1;
        if (n->red && (isRed(n->left) || isRed(n->right))) return -1;
        const int l = blackHeight(n->left, count);
        const int r = blackHeight(n->right, count);
        if (l < 0 || r < 0 || l != r) return -1;
        return l + (n->red ? 0 : 1);
    }

    void rotateLeft(Node* x) {
        Node* y = x->right;
        x->right = y->left;
        if (y->left) y->left->parent = x;
        y->parent = x->parent;
        replaceChild(x, y);
        y->left = x;
        x->parent = y;
    }

    void rotateRight(Node* x) {
        Node* y = x->left;
        x->left = y->right;
        if (y->right) y->right->parent = x;
        y->parent = x->parent;
        replaceChild(x, y);
        y->right = x;
        x->parent = y;
    }

    // Points the link that led to old (from its parent, or the root) at replacement.
    void replaceChild(Node* old, Node* replacement) {
        Node* p = old->parent;
        if (!p)
            root_ = replacement;
        else if (p->left == old)
            p->left = replacement;
        else
            p->right = replacement;
    }

    void transplant(Node* u, Node* v) {
        replaceChild(u, v);
        if (v) v->parent = u->parent;
    }

    void insertFixup(Node* z) {
        while (isRed(z->parent)) {
            Node* p = z->parent;
            Node* g = p->parent;  // exists: a red node is never the root
            if (p == g->left) {
                Node* uncle = g->right;
                if (isRed(uncle)) {
                    p->red = false;
                    uncle->red = false;
                    g->red = true;
                    z = g;
                } else {
                    if (z == p->right) {
                        z = p;
                        rotateLeft(z);
                        p = z->parent;
                    }
                    p->red = false;
                    g->red = true;
                    rotateRight(g);
                }
            } else {
                Node* uncle = g->left;
                if (isRed(uncle)) {
                    p->red = false;
                    uncle->red = false;
                    g->red = true;
                    z = g;
                } else {
                    if (z == p->left) {
                        z = p;
                        rotateRight(z);
                        p = z->parent;
                    }
                    p->red = false;
                    g->red = true;
                    rotateLeft(g);
                }
            }
        }
        root_->red = false;
    }

    // x (possibly null) carries an extra black; parent is its parent.
    void eraseFixup(Node* x, Node* parent) {
        while (x != root_ && !isRed(x)) {
            if (x == parent->left) {
                Node* w = parent->right;
                if (isRed(w)) {
                    w->red = false;
                    parent->red = true;
                    rotateLeft(parent);
                    w = parent->right;
                }
                if (!isRed(w->left) && !isRed(w->right)) {
                    w->red = true;
                    x = parent;
                    parent = x->parent;
                } else {
                    if (!isRed(w->right)) {
                        w->left->red = false;
                        w->red = true;
                        rotateRight(w);
                        w = parent->right;
                    }
                    w->red = parent->red;
                    parent->red = false;
                    w->right->red = false;
                    rotateLeft(parent);
                    x = root_;
                    break;
                }
            } else {
                Node* w = parent->left;
                if (isRed(w)) {
                    w->red = false;
                    parent->red = true;
                    rotateRight(parent);
                    w = parent->left;
                }
                if (!isRed(w->left) && !isRed(w->right)) {
                    w->red = true;
                    x = parent;
                    parent = x->parent;
                } else {
                    if (!isRed(w->left)) {
                        w->right->red = false;
                        w->red = true;
                        rotateLeft(w);
                        w = parent->left;
                    }
                    w->red = parent->red;
                    parent->red = false;
                    w->left->red = false;
                    rotateRight(parent);
                    x = root_;
                    break;
                }
            }
        }
        if (x) x->red = false;
    }

    Node* root_ = nullptr;
    std::size_t size_ = 0;
    [[no_unique_address]] Less less_{};
};

}  // namespace plugkit::core
