// A sequence addressed by position, with O(log n) access, insertion and removal anywhere.
//
// An implicit treap: every node keeps the size of its subtree, so a position is found by one
// descent from the root, and random node priorities keep the expected depth logarithmic
// whatever the order of insertions (a list filled only at its front included). Nodes live in
// one pool and link by index; the pool grows in segments of doubling size, so a node never moves
// once made and growing never copies the nodes made before. The priorities come from a
// fixed-seed generator, so the shape of the tree, and with it every cost, is the same on every
// run.
#pragma once

#include <algorithm>
#include <bit>
#include <cassert>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory>
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
        const Link node = Allocate(std::move(value));
        const std::uint32_t priority = m_nodes[node].priority;
        // Down to where the new node belongs by its priority, counting it into every subtree on
        // the way; what was there splits around it. One descent, where a split of the whole
        // tree and two merges would walk it three times.
        Link* slot = &m_root;
        while (*slot != kNil && m_nodes[*slot].priority > priority) {
            Node& n = m_nodes[*slot];
            ++n.size;
            const std::size_t leftSize = n.leftSize;
            if (index <= leftSize) {
                ++n.leftSize;
                slot = &n.left;
            } else {
                index -= leftSize + 1;
                slot = &n.right;
            }
        }
        Split(*slot, index, m_nodes[node].left, m_nodes[node].right);
        Update(node);
        *slot = node;
    }

    // Inserts `value` where PartitionPoint would find the first element e with less(value, e)
    // (after the elements equal to it on a sorted sequence) and returns its index. The same
    // result as that search followed by Insert, in one descent.
    template <class Less> std::size_t InsertUpperBound(T value, Less less) {
        const Link node = Allocate(std::move(value));
        const T& added = m_nodes[node].value;
        const std::uint32_t priority = m_nodes[node].priority;
        std::size_t index = 0;
        Link* slot = &m_root;
        while (*slot != kNil && m_nodes[*slot].priority > priority) {
            Node& n = m_nodes[*slot];
            ++n.size;
            if (less(added, static_cast<const T&>(n.value))) {
                ++n.leftSize;
                slot = &n.left;
            } else {
                index += n.leftSize + 1;
                slot = &n.right;
            }
        }
        index += SplitBefore(*slot, added, less, m_nodes[node].left, m_nodes[node].right);
        Update(node);
        *slot = node;
        return index;
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
        m_nodes.Clear();
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
            const std::size_t leftSize = n.leftSize;
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
        // Nodes in its left subtree: kept here so that a descent that passes a node to the
        // right need not read the left child as well.
        std::uint32_t leftSize = 0;
        std::uint32_t priority; // heap order: no child has a higher priority
    };

    // Node storage: segment s holds kFirst << s nodes, from slot kFirst * (2^s - 1) on.
    class Pool {
    public:
        Node& operator[](Link t) { return At(t); }
        const Node& operator[](Link t) const { return const_cast<Pool&>(*this).At(t); }
        std::size_t Size() const { return m_size; }

        // Stores `node` in the next unused slot and returns that slot.
        Link Add(Node&& node) {
            const auto [segment, offset] = Locate(m_size);
            if (segment == m_segments.size()) {
                m_segments.push_back(std::make_unique<Node[]>(kFirst << segment));
            }
            m_segments[segment][offset] = std::move(node);
            return static_cast<Link>(m_size++);
        }

        // Destroys every node and releases the storage.
        void Clear() {
            m_segments.clear();
            m_segments.shrink_to_fit();
            m_size = 0;
        }

    private:
        static constexpr std::size_t kFirstShift = 6;
        static constexpr std::size_t kFirst = std::size_t{1} << kFirstShift;

        static std::pair<std::size_t, std::size_t> Locate(std::size_t t) {
            const std::size_t segment = std::bit_width((t >> kFirstShift) + 1) - 1;
            return {segment, t - (((std::size_t{1} << segment) - 1) << kFirstShift)};
        }
        Node& At(Link t) {
            const auto [segment, offset] = Locate(t);
            return m_segments[segment][offset];
        }

        std::vector<std::unique_ptr<Node[]>> m_segments;
        std::size_t m_size = 0; // slots used, free ones included
    };

    std::size_t SizeOf(Link t) const { return t == kNil ? 0 : m_nodes[t].size; }

    void Update(Link t) {
        Node& n = m_nodes[t];
        n.leftSize = static_cast<std::uint32_t>(SizeOf(n.left));
        n.size = static_cast<std::uint32_t>(1 + n.leftSize + SizeOf(n.right));
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
            m_nodes[t] = Node{std::move(value), kNil, kNil, 1, 0, priority};
            return t;
        }
        return m_nodes.Add(Node{std::move(value), kNil, kNil, 1, 0, priority});
    }

    // The node at `index`; requires index < Size().
    Link Find(std::size_t index) const {
        assert(index < Size());
        Link t = m_root;
        for (;;) {
            const std::size_t leftSize = m_nodes[t].leftSize;
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
        const std::size_t leftSize = n.leftSize;
        if (count <= leftSize) {
            Split(n.left, count, left, n.left);
            right = t;
        } else {
            Split(n.right, count - leftSize - 1, n.right, right);
            left = t;
        }
        Update(t);
    }

    // Splits the subtree `t` where the search of InsertUpperBound ends: `left` gets the elements
    // before that point, `right` the rest. Returns the size of `left`.
    template <class Less>
    std::size_t SplitBefore(Link t, const T& added, Less& less, Link& left, Link& right) {
        if (t == kNil) {
            left = right = kNil;
            return 0;
        }
        Node& n = m_nodes[t];
        std::size_t before = 0;
        if (less(added, static_cast<const T&>(n.value))) {
            before = SplitBefore(n.left, added, less, left, n.left);
            right = t;
        } else {
            before = n.leftSize + 1;
            before += SplitBefore(n.right, added, less, n.right, right);
            left = t;
        }
        Update(t);
        return before;
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
            const std::size_t leftSize = self.m_nodes[t].leftSize;
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

    Pool m_nodes;                         // free slots are listed in m_free
    std::vector<Link> m_free;             // pool slots to reuse
    Link m_root = kNil;                   // root of the treap
    std::uint32_t m_random = 2463534242u; // generator state for node priorities
};

} // namespace kobalt::platform
