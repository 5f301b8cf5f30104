#pragma once

#include <cstddef>
#include <functional>
#include <new>
#include <utility>

#include "plugkit/core/RedBlackTree.h"

namespace plugkit::core {

// Ordered map with unique keys on a red-black tree. Keys and values may own resources: they are
// destroyed on remove, clear and destruction. Non-copyable, movable, not synchronised.
template <class K, class V, class Less = std::less<K>>
class Map {
public:
    struct Entry {
        const K key;
        V value;
    };

private:
    using Tree = RedBlackTree<Entry, Less>;
    using Node = typename Tree::Node;

public:
    template <bool Const>
    class Iter {
    public:
        using Ref = std::conditional_t<Const, const Entry&, Entry&>;
        using Ptr = std::conditional_t<Const, const Entry*, Entry*>;
        explicit Iter(Node* n = nullptr) : n_(n) {}
        Ref operator*() const { return n_->entry; }
        Ptr operator->() const { return &n_->entry; }
        Iter& operator++() {
            n_ = Tree::next(n_);
            return *this;
        }
        bool operator==(const Iter& o) const { return n_ == o.n_; }
        bool operator!=(const Iter& o) const { return n_ != o.n_; }

    private:
        Node* n_;
    };
    using iterator = Iter<false>;
    using const_iterator = Iter<true>;

    Map() = default;
    Map(Map&&) noexcept = default;
    Map& operator=(Map&&) noexcept = default;
    Map(const Map&) = delete;
    Map& operator=(const Map&) = delete;

    // [owner's thread] Inserts key with value, or replaces the value of an existing key.
    // Returns true when the key was new.
    template <class KK, class VV>
    bool insert(KK&& key, VV&& value) {
        bool created = false;
        auto [node, isNew] = tree_.findOrInsert(key, [&](void* where) {
            new (where) Entry{K(std::forward<KK>(key)), V(std::forward<VV>(value))};
            created = true;
        });
        if (!isNew) node->entry.value = V(std::forward<VV>(value));
        return created;
    }

    // [owner's thread] The value stored under key, or null.
    V* find(const K& key) {
        Node* n = tree_.findNode(key);
        return n ? &n->entry.value : nullptr;
    }
    const V* find(const K& key) const {
        Node* n = tree_.findNode(key);
        return n ? &n->entry.value : nullptr;
    }

    bool contains(const K& key) const { return tree_.findNode(key) != nullptr; }

    // [owner's thread] Removes key and destroys its entry. Returns false when it was absent.
    bool remove(const K& key) {
        Node* n = tree_.findNode(key);
        if (!n) return false;
        tree_.erase(n);
        return true;
    }

    std::size_t size() const { return tree_.size(); }
    bool empty() const { return tree_.size() == 0; }
    void clear() { tree_.clear(); }

    // In key order. Removing the entry an iterator points at invalidates that iterator only.
    iterator begin() { return iterator(tree_.first()); }
    iterator end() { return iterator(); }
    const_iterator begin() const { return const_iterator(tree_.first()); }
    const_iterator end() const { return const_iterator(); }

    // Checks the tree's invariants; for tests.
    bool validate() const { return tree_.validate(); }

private:
    Tree tree_;
};

}  // namespace plugkit::core
