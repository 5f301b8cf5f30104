#pragma once

#include <cstddef>
#include <functional>
#include <new>
#include <utility>

#include "plugkit/core/RedBlackTree.h"

namespace plugkit::core {

// Ordered set of unique keys on a red-black tree. Keys are destroyed on remove, clear and
// destruction. Non-copyable, movable, not synchronised.
template <class K, class Less = std::less<K>>
class Set {
    struct Entry {
        const K key;
    };
    using Tree = RedBlackTree<Entry, Less>;
    using Node = typename Tree::Node;

public:
    class const_iterator {
    public:
        explicit const_iterator(Node* n = nullptr) : n_(n) {}
        const K& operator*() const { return n_->entry.key; }
        const K* operator->() const { return &n_->entry.key; }
        const_iterator& operator++() {
            n_ = Tree::next(n_);
            return *this;
        }
        bool operator==(const const_iterator& o) const { return n_ == o.n_; }
        bool operator!=(const const_iterator& o) const { return n_ != o.n_; }

    private:
        Node* n_;
    };
    using iterator = const_iterator;

    Set() = default;
    Set(Set&&) noexcept = default;
    Set& operator=(Set&&) noexcept = default;
    Set(const Set&) = delete;
    Set& operator=(const Set&) = delete;

    // [owner's thread] Returns true when key was not present yet.
    template <class KK>
    bool insert(KK&& key) {
        return tree_.findOrInsert(key, [&](void* where) { new (where) Entry{K(std::forward<KK>(key))}; })
            .second;
    }

    bool contains(const K& key) const { return tree_.findNode(key) != nullptr; }

    // [owner's thread] Returns false when key was absent.
    bool remove(const K& key) {
        Node* n = tree_.findNode(key);
        if (!n) return false;
        tree_.erase(n);
        return true;
    }

    std::size_t size() const { return tree_.size(); }
    bool empty() const { return tree_.size() == 0; }
    void clear() { tree_.clear(); }

    // In key order.
    const_iterator begin() const { return const_iterator(tree_.first()); }
    const_iterator end() const { return const_iterator(); }

    // Checks the tree's invariants; for tests.
    bool validate() const { return tree_.validate(); }

private:
    Tree tree_;
};

}  // namespace plugkit::core
