// A sequence addressed by position, with O(log n) access, insertion and removal anywhere.
//
// An implicit treap: every node keeps the size of its subtree, so a position is found by one
// descent from the root, and random node priorities keep the expected depth logarithmic
// whatever the order of insertions (a list filled only at its front included). Nodes live in
// one pool and link by index; the priorities come from a fixed-seed generator, so the shape of
// the tree, and with it every cost, is the same on every run.
#pragma once

#include <algorithm>
#include <cassert>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace kobalt::platform {

template <class T>
requires std::movable<T> && std::default_initializable<T>
class IndexedList {
public:
    // Number of elements.
    std::size_t Size() const { return SizeOf(m_root); }
    bool Empty() const { return m_root == kNil; }

    // The element at `index`; requires index < Size().
    const T& operator[](std::size_t index) const { return m_nodes[Find(index)].value; }
    T& operator[](std::size_t index) { return m_nodes[Find(index)].value; }

    // Inserts `value` so that it gets `index`, moving later elements up by one; requires
    // index <= Size().
    void Insert(std::size_t index, T value) {
        assert(index <= Size());
        const Link node = Allocate(std::move(value)); // may grow the pool: before any descent
        Link left = kNil;
        Link right = kNil;
        Split(m_root, index, left, right);
        m_root = Merge(Merge(left, node), right);
    }

    // Removes the element at `index` and returns it; requires index < Size().
    T Erase(std::size_t index) {
        assert(index < Size());
        Link left = kNil;
        Link rest = kNil;
        Link node = kNil;
        Link right = kNil;
        Split(m_root, index, left, rest);
        Split(rest, 1, node, right);
        m_root = Merge(left, right);
        T value = std::move(m_nodes[node].value);
        m_nodes[node].value = T{}; // a free slot holds nothing
        m_free.push_back(node);
        return value;
    }

    // Removes every element and releases the pool.
    void Clear() {
        m_nodes.clear();
        m_nodes.shrink_to_fit();
        m_free.clear();
        m_free.shrink_to_fit();
        m_root = kNil;
    }

    // The index of the first element for which `pred` holds, Size() when none: a binary search
    // that assumes `pred` is false then true along the sequence. On a sequence that is not so
    // partitioned it still ends in O(log n), at a position where such a search would.
    template <class Pred> std::size_t PartitionPoint(Pred pred) const {
        std::size_t result = Size();
        std::size_t offset = 0;
        for (Link t = m_root; t != kNil;) {
            const Node& n = m_nodes[t];
            const std::size_t leftSize = SizeOf(n.left);
            if (pred(static_cast<const T&>(n.value))) {
                result = offset + leftSize;
                t = n.left;
            } else {
                offset += leftSize + 1;
                t = n.right;
            }
        }
        return result;
    }

    // Calls `fn` on at most `count` elements in order, from index `first`; O(log n + count).
    template <class Fn> void ForEach(std::size_t first, std::size_t count, Fn&& fn) const {
        VisitFrom(*this, first, count, fn);
    }
    template <class Fn> void ForEach(std::size_t first, std::size_t count, Fn&& fn) {
        VisitFrom(*this, first, count, fn);
    }

    // Nodes on the longest path from the root to a leaf (0 when empty), for diagnostics.
    std::size_t Depth() const {
        std::size_t deepest = 0;
        std::vector<std::pair<Link, std::size_t>> pending;
        if (m_root != kNil) {
            pending.emplace_back(m_root, 1);
        }
        while (!pending.empty()) {
            const auto [t, depth] = pending.back();
            pending.pop_back();
            deepest = std::max(deepest, depth);
            for (const Link child : {m_nodes[t].left, m_nodes[t].right}) {
                if (child != kNil) {
                    pending.emplace_back(child, depth + 1);
                }
            }
        }
        return deepest;
    }

private:
    using Link = std::uint32_t;
    static constexpr Link kNil = UINT32_MAX;

    struct Node {
        T value;                // the element
        Link left = kNil;       // elements before it in its subtree
        Link right = kNil;      // elements after it in its subtree
        std::uint32_t size = 1; // nodes in its subtree, itself included
        std::uint32_t priority; // heap order: no child has a higher priority
    };

    std::size_t SizeOf(Link t) const { return t == kNil ? 0 : m_nodes[t].size; }

    void Update(Link t) {
        Node& n = m_nodes[t];
        n.size = static_cast<std::uint32_t>(1 + SizeOf(n.left) + SizeOf(n.right));
    }

    // Next value of a xorshift generator with a fixed seed.
    std::uint32_t NextPriority() {
        m_random ^= m_random << 13;
        m_random ^= m_random >> 17;
        m_random ^= m_random << 5;
        return m_random;
    }

    Link Allocate(T&& value) {
        const std::uint32_t priority = NextPriority();
        if (!m_free.empty()) {
            const Link t = m_free.back();
            m_free.pop_back();
            m_nodes[t] = Node{std::move(value), kNil, kNil, 1, priority};
            return t;
        }
        m_nodes.push_back(Node{std::move(value), kNil, kNil, 1, priority});
        return static_cast<Link>(m_nodes.size() - 1);
    }

    // The node at `index`; requires index < Size().
    Link Find(std::size_t index) const {
        assert(index < Size());
        Link t = m_root;
        for (;;) {
            const std::size_t leftSize = SizeOf(m_nodes[t].left);
            if (index < leftSize) {
                t = m_nodes[t].left;
            } else if (index == leftSize) {
                return t;
            } else {
                index -= leftSize + 1;
                t = m_nodes[t].right;
            }
        }
    }

    // Splits the subtree `t` into its first `count` elements (`left`) and the rest (`right`).
    void Split(Link t, std::size_t count, Link& left, Link& right) {
        if (t == kNil) {
            left = right = kNil;
            return;
        }
        Node& n = m_nodes[t];
        const std::size_t leftSize = SizeOf(n.left);
        if (count <= leftSize) {
            Split(n.left, count, left, n.left);
            right = t;
        } else {
            Split(n.right, count - leftSize - 1, n.right, right);
            left = t;
        }
        Update(t);
    }

    // Joins two subtrees, every element of `left` before every element of `right`.
    Link Merge(Link left, Link right) {
        if (left == kNil) {
            return right;
        }
        if (right == kNil) {
            return left;
        }
        if (m_nodes[left].priority > m_nodes[right].priority) {
            const Link merged = Merge(m_nodes[left].right, right);
            m_nodes[left].right = merged;
            Update(left);
            return left;
        }
        const Link merged = Merge(left, m_nodes[right].left);
        m_nodes[right].left = merged;
        Update(right);
        return right;
    }

    // In-order walk from `first`: the stack holds the nodes still to visit, next on top.
    template <class Self, class Fn>
    static void VisitFrom(Self& self, std::size_t first, std::size_t count, Fn& fn) {
        std::vector<Link> stack;
        for (Link t = self.m_root; t != kNil;) {
            const std::size_t leftSize = self.SizeOf(self.m_nodes[t].left);
            if (first < leftSize) {
                stack.push_back(t);
                t = self.m_nodes[t].left;
            } else if (first == leftSize) {
                stack.push_back(t);
                break;
            } else {
                first -= leftSize + 1;
                t = self.m_nodes[t].right;
            }
        }
        for (; count > 0 && !stack.empty(); --count) {
            const Link t = stack.back();
            stack.pop_back();
            fn(self.m_nodes[t].value);
            for (Link c = self.m_nodes[t].right; c != kNil; c = self.m_nodes[c].left) {
                stack.push_back(c);
            }
        }
    }

    std::vector<Node> m_nodes;            // the pool; free slots are listed in m_free
    std::vector<Link> m_free;             // pool slots to reuse
    Link m_root = kNil;                   // root of the treap
    std::uint32_t m_random = 2463534242u; // generator state for node priorities
};

} // namespace kobalt::platform
