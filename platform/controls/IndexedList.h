// A sequence addressed by position, with O(log n) access, insertion and removal anywhere.
//
// A B+ tree counted by position: each inner node keeps, for every child, how many elements lie
// under it and which element comes first there, so a position is found by one descent that reads
// a few short arrays per level, and a sorted insertion compares with one element per probe. The
// tree is wide (32 entries a node), so a list of 100,000 lines is four levels deep and a descent
// touches few cache lines, where a binary tree would visit some twenty scattered nodes.
//
// Leaves hold links to the elements, which live in one pool and never move once made (the pool
// grows in segments of doubling size, so growing never copies the elements made before), so
// making room in a node moves a few integers, whatever the elements are. Every shape depends
// only on the order of the edits, so every cost is the same on every run.
//
// Erasing never rebalances: a node goes when it empties, and a root with one child gives way to
// it. A list that shrank is never deeper than it was at its largest.
#pragma once

#include <algorithm>
#include <array>
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
    std::size_t Size() const { return m_root ? m_root->size : 0; }
    bool Empty() const { return Size() == 0; }

    // The element at `index`; requires index < Size().
    const T& operator[](std::size_t index) const { return m_values[Find(index)]; }
    T& operator[](std::size_t index) { return m_values[Find(index)]; }

    // Inserts `value` so that it gets `index`, moving later elements up by one; requires
    // index <= Size().
    void Insert(std::size_t index, T value) {
        assert(index <= Size());
        const Link link = Allocate(std::move(value));
        if (!m_root) {
            m_root = std::make_unique<Node>();
        }
        Path path;
        std::size_t height = 0;
        Node* node = m_root.get();
        while (!node->leaf) {
            std::size_t child = 0;
            while (child + 1 < node->count && index > node->sizes[child]) {
                index -= node->sizes[child];
                ++child;
            }
            path[height++] = Step{node, child};
            node = node->children[child].get();
        }
        Place(path, height, node, index, link);
    }

    // Inserts `value` where PartitionPoint would find the first element e with less(value, e)
    // (after the elements equal to it on a sorted sequence) and returns its index. The same
    // result as that search followed by Insert, in one descent.
    template <class Less> std::size_t InsertUpperBound(T value, Less less) {
        const Link link = Allocate(std::move(value));
        const T& added = m_values[link];
        if (!m_root) {
            m_root = std::make_unique<Node>();
        }
        const auto above = [&](Link element) {
            return less(added, static_cast<const T&>(m_values[element]));
        };
        Path path;
        std::size_t height = 0;
        Node* leaf = nullptr;
        std::size_t at = 0;
        const std::size_t index = Search(above, path, height, leaf, at);
        Place(path, height, leaf, at, link);
        return index;
    }

    // Removes the element at `index` and returns it; requires index < Size().
    T Erase(std::size_t index) {
        assert(index < Size());
        Path path;
        std::size_t height = 0;
        Node* node = m_root.get();
        while (!node->leaf) {
            const std::size_t child = ChildHolding(*node, index);
            path[height++] = Step{node, child};
            node = node->children[child].get();
        }
        const Link link = node->first[index];
        std::copy(node->first.begin() + static_cast<std::ptrdiff_t>(index) + 1,
                  node->first.begin() + node->count,
                  node->first.begin() + static_cast<std::ptrdiff_t>(index));
        --node->count;
        --node->size;
        // Up the path: each count shrinks by one, an emptied child goes, a child whose first
        // element went shows its new one.
        for (std::size_t level = height; level-- > 0;) {
            Node& parent = *path[level].node;
            const std::size_t child = path[level].child;
            --parent.size;
            if (parent.children[child]->count == 0) {
                RemoveEntry(parent, child);
            } else {
                parent.sizes[child] = static_cast<std::uint32_t>(parent.children[child]->size);
                parent.first[child] = parent.children[child]->first[0];
            }
        }
        while (!m_root->leaf && m_root->count == 1) {
            std::unique_ptr<Node> only = std::move(m_root->children[0]);
            m_root = std::move(only);
        }
        if (m_root->count == 0) {
            m_root.reset(); // the last element went
        }
        T value = std::move(m_values[link]);
        m_values[link] = T{}; // a free slot holds nothing
        m_free.push_back(link);
        return value;
    }

    // Removes every element and releases the pool.
    void Clear() {
        m_root.reset();
        m_values.Clear();
        m_free.clear();
        m_free.shrink_to_fit();
    }

    // The index of the first element for which `pred` holds, Size() when none: a binary search
    // that assumes `pred` is false then true along the sequence. On a sequence that is not so
    // partitioned it still ends in O(log n), between an element for which `pred` is false and
    // one for which it holds (or an end).
    template <class Pred> std::size_t PartitionPoint(Pred pred) const {
        if (!m_root) {
            return 0;
        }
        const auto holds = [&](Link element) {
            return pred(static_cast<const T&>(m_values[element]));
        };
        Path path;
        std::size_t height = 0;
        Node* leaf = nullptr;
        std::size_t at = 0;
        return Search(holds, path, height, leaf, at);
    }

    // Calls `fn` on at most `count` elements in order, from index `first`; O(log n + count).
    template <class Fn> void ForEach(std::size_t first, std::size_t count, Fn&& fn) const {
        VisitFrom(*this, first, count, fn);
    }
    template <class Fn> void ForEach(std::size_t first, std::size_t count, Fn&& fn) {
        VisitFrom(*this, first, count, fn);
    }

    // Nodes on the path from the root to a leaf (0 when empty), for diagnostics.
    std::size_t Depth() const {
        std::size_t depth = 0;
        for (const Node* node = m_root.get(); node != nullptr;
             node = node->leaf ? nullptr : node->children[0].get()) {
            ++depth;
        }
        return depth;
    }

private:
    using Link = std::uint32_t;
    static constexpr std::size_t kFanout = 32;
    // Deeper than any tree can grow: a new level needs a full root, so a tree of this height
    // would have taken more than (kFanout / 2)^(kMaxHeight - 1) insertions.
    static constexpr std::size_t kMaxHeight = 24;

    // A leaf holds up to kFanout links to elements, in order, in `first`. An inner node holds up
    // to kFanout children and, for each, the elements under it and the link of its first one.
    struct Node {
        bool leaf = true;
        std::size_t count = 0; // entries used
        std::size_t size = 0;  // elements under this node
        std::array<Link, kFanout> first{};
        std::array<std::uint32_t, kFanout> sizes{};          // inner nodes only
        std::array<std::unique_ptr<Node>, kFanout> children; // inner nodes only
    };

    // One inner node on the way down and the child taken there.
    struct Step {
        Node* node = nullptr;
        std::size_t child = 0;
    };
    using Path = std::array<Step, kMaxHeight>;

    // Element storage: segment s holds kFirst << s elements, from slot kFirst * (2^s - 1) on.
    class Pool {
    public:
        T& operator[](Link t) { return At(t); }
        const T& operator[](Link t) const { return const_cast<Pool&>(*this).At(t); }

        // Stores `value` in the next unused slot and returns that slot.
        Link Add(T&& value) {
            const auto [segment, offset] = Locate(m_size);
            if (segment == m_segments.size()) {
                m_segments.push_back(std::make_unique<T[]>(kFirst << segment));
            }
            m_segments[segment][offset] = std::move(value);
            return static_cast<Link>(m_size++);
        }

        // Destroys every element and releases the storage.
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
        T& At(Link t) {
            const auto [segment, offset] = Locate(t);
            return m_segments[segment][offset];
        }

        std::vector<std::unique_ptr<T[]>> m_segments;
        std::size_t m_size = 0; // slots used, free ones included
    };

    Link Allocate(T&& value) {
        if (!m_free.empty()) {
            const Link t = m_free.back();
            m_free.pop_back();
            m_values[t] = std::move(value);
            return t;
        }
        return m_values.Add(std::move(value));
    }

    // The first entry from `from` on whose element (a leaf's own, an inner node's child's
    // first) satisfies `test`, `node.count` when none: a binary search, so on entries that are
    // not partitioned it still ends between one that fails and one that passes (or an end).
    template <class Test>
    static std::size_t FirstWhere(const Node& node, std::size_t from, Test& test) {
        std::size_t low = from;
        std::size_t high = node.count;
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (test(node.first[middle])) {
                high = middle;
            } else {
                low = middle + 1;
            }
        }
        return low;
    }

    // The binary search of PartitionPoint, down to a leaf: the index of the first element that
    // passes `test`, with the path to it, its leaf, and its place there. Where every entry of a
    // node passes (only at the root, on a partitioned sequence) it is that node's first element.
    template <class Test>
    std::size_t Search(Test& test, Path& path, std::size_t& height, Node*& leaf,
                       std::size_t& at) const {
        std::size_t index = 0;
        bool leftmost = false;
        Node* node = m_root.get();
        while (!node->leaf) {
            std::size_t child = 0;
            if (!leftmost) {
                const std::size_t firstPassing = FirstWhere(*node, 0, test);
                leftmost = firstPassing == 0;
                child = leftmost ? 0 : firstPassing - 1;
                index += SizeBefore(*node, child);
            }
            path[height++] = Step{node, child};
            node = node->children[child].get();
        }
        at = leftmost ? 0 : FirstWhere(*node, 0, test);
        leaf = node;
        return index + at;
    }

    // Elements under the children before `child` of an inner node.
    static std::size_t SizeBefore(const Node& node, std::size_t child) {
        std::size_t total = 0;
        for (std::size_t i = 0; i < child; ++i) {
            total += node.sizes[i];
        }
        return total;
    }

    // The child of an inner node that holds the element at `index` (an index within the node),
    // and `index` made relative to that child.
    static std::size_t ChildHolding(const Node& node, std::size_t& index) {
        std::size_t child = 0;
        while (index >= node.sizes[child]) {
            index -= node.sizes[child];
            ++child;
        }
        return child;
    }

    // The element at `index`; requires index < Size().
    Link Find(std::size_t index) const {
        assert(index < Size());
        const Node* node = m_root.get();
        while (!node->leaf) {
            node = node->children[ChildHolding(*node, index)].get();
        }
        return node->first[index];
    }

    // Puts `link` at `at` in `leaf`, the end of a descent along `path`, and brings the nodes on
    // the path up to date: counts, first elements, and the nodes that overflowed split in two.
    void Place(const Path& path, std::size_t height, Node* leaf, std::size_t at, Link link) {
        std::unique_ptr<Node> split = InsertEntry(*leaf, at, link, 1, nullptr);
        for (std::size_t level = height; level-- > 0;) {
            Node& parent = *path[level].node;
            const std::size_t child = path[level].child;
            const Node& below = *parent.children[child];
            ++parent.size;
            parent.sizes[child] = static_cast<std::uint32_t>(below.size);
            parent.first[child] = below.first[0];
            if (split) {
                const Link splitFirst = split->first[0];
                const std::size_t splitSize = split->size;
                parent.size -= splitSize; // InsertEntry counts it in again
                split = InsertEntry(parent, child + 1, splitFirst, splitSize, std::move(split));
            }
        }
        if (split) {
            // The root split: a new root above the two halves.
            auto root = std::make_unique<Node>();
            root->leaf = false;
            const std::size_t leftSize = m_root->size;
            const std::size_t rightSize = split->size;
            root->first[0] = m_root->first[0];
            root->first[1] = split->first[0];
            root->sizes[0] = static_cast<std::uint32_t>(leftSize);
            root->sizes[1] = static_cast<std::uint32_t>(rightSize);
            root->children[0] = std::move(m_root);
            root->children[1] = std::move(split);
            root->count = 2;
            root->size = leftSize + rightSize;
            m_root = std::move(root);
        }
    }

    // Puts an entry at `at` in `node`: for a leaf the element `link`; for an inner node the
    // child `child`, holding `size` elements from `link` on. A full node splits: its upper half
    // moves to a new node, which is returned for the caller to link in after `node`.
    static std::unique_ptr<Node> InsertEntry(Node& node, std::size_t at, Link link,
                                             std::size_t size, std::unique_ptr<Node> child) {
        if (node.count < kFanout) {
            ShiftUp(node, at);
            node.first[at] = link;
            if (!node.leaf) {
                node.sizes[at] = static_cast<std::uint32_t>(size);
                node.children[at] = std::move(child);
            }
            ++node.count;
            node.size += size;
            return nullptr;
        }
        // Full: the upper half goes to a new node, and the entry to whichever half holds `at`.
        auto upper = std::make_unique<Node>();
        upper->leaf = node.leaf;
        const std::size_t keep = (kFanout + 1) / 2;
        MoveEntries(node, keep, kFanout, *upper);
        node.count = keep;
        node.size = Recount(node);
        upper->size = Recount(*upper);
        Node& target = at <= keep ? node : *upper;
        InsertEntry(target, at <= keep ? at : at - keep, link, size, std::move(child));
        return upper;
    }

    // Moves the entries [from, to) of `source` to the end of `target`.
    static void MoveEntries(Node& source, std::size_t from, std::size_t to, Node& target) {
        for (std::size_t i = from; i < to; ++i, ++target.count) {
            target.first[target.count] = source.first[i];
            if (!source.leaf) {
                target.sizes[target.count] = source.sizes[i];
                target.children[target.count] = std::move(source.children[i]);
            }
        }
    }

    // Makes room for one entry at `at`.
    static void ShiftUp(Node& node, std::size_t at) {
        for (std::size_t i = node.count; i > at; --i) {
            node.first[i] = node.first[i - 1];
            if (!node.leaf) {
                node.sizes[i] = node.sizes[i - 1];
                node.children[i] = std::move(node.children[i - 1]);
            }
        }
    }

    // Removes the entry `at` of an inner node, with the child it holds.
    static void RemoveEntry(Node& node, std::size_t at) {
        for (std::size_t i = at; i + 1 < node.count; ++i) {
            node.first[i] = node.first[i + 1];
            node.sizes[i] = node.sizes[i + 1];
            node.children[i] = std::move(node.children[i + 1]);
        }
        --node.count;
        node.children[node.count].reset();
    }

    // The elements under a node, from its entries.
    static std::size_t Recount(const Node& node) {
        return node.leaf ? node.count : SizeBefore(node, node.count);
    }

    // In-order walk from `first`: down to the leaf that holds it, then leaf after leaf, climbing
    // the path to the next child where a leaf ends.
    template <class Self, class Fn>
    static void VisitFrom(Self& self, std::size_t first, std::size_t count, Fn& fn) {
        if (count == 0 || first >= self.Size()) {
            return;
        }
        Path path;
        std::size_t height = 0;
        Node* node = self.m_root.get();
        while (!node->leaf) {
            const std::size_t child = ChildHolding(*node, first);
            path[height++] = Step{node, child};
            node = node->children[child].get();
        }
        std::size_t at = first;
        for (;;) {
            for (; at < node->count; ++at) {
                fn(self.m_values[node->first[at]]);
                if (--count == 0) {
                    return;
                }
            }
            // The next leaf: up to the nearest node with a child after the one taken, then
            // down its first children.
            while (height > 0 && path[height - 1].child + 1 >= path[height - 1].node->count) {
                --height;
            }
            if (height == 0) {
                return;
            }
            node = path[height - 1].node->children[++path[height - 1].child].get();
            while (!node->leaf) {
                path[height++] = Step{node, 0};
                node = node->children[0].get();
            }
            at = 0;
        }
    }

    std::unique_ptr<Node> m_root; // null when empty
    Pool m_values;                // free slots are listed in m_free
    std::vector<Link> m_free;     // pool slots to reuse
};

} // namespace kobalt::platform
