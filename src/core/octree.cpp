// Octree reduction for palette pictures: at most 256 distinct colours, each
// weighted by how many pixels use it, are sorted into a tree by their bits;
// while there are more leaves than wanted, the least important branch of the
// deepest level is merged into one leaf.

#include <array>
#include <vector>

#include "core/optpalette_parts.h"
#include "core/pixelgraphic.h"
#include "core/pixelrows.h"

namespace {

class TOctree {
  public:
    TOctree() {
        nodes_.reserve(2100);      // 256 colours x 8 levels at most
        nodes_.push_back(TNode{}); // the root, level 0
    }

    int Leaves() const { return leaves_; }

    void Insert(int r, int g, int b, uint64_t n) {
        int cur = 0;
        for (;;) {
            TNode& node = nodes_[size_t(cur)];
            node.Count += n;
            node.Sum[0] += n * uint64_t(r);
            node.Sum[1] += n * uint64_t(g);
            node.Sum[2] += n * uint64_t(b);
            if (node.Leaf || node.Level >= maxDepth_) return;
            const int bit = 7 - node.Level;
            const int idx = 4 * ((r >> bit) & 1) + 2 * ((g >> bit) & 1) + ((b >> bit) & 1);
            int child = node.Child[size_t(idx)];
            if (child < 0) {
                const int level = node.Level + 1;
                child = NewNode(level);
                TNode& parent = nodes_[size_t(cur)]; // NewNode may move the nodes
                parent.Child[size_t(idx)] = child;
                ++parent.Children;
            } else if (node.Children > 1 && !node.InList) {
                PushReducible(cur);
            }
            cur = child;
        }
    }

    // Merges one branch into a leaf; false when nothing can be merged.
    bool Reduce() {
        int chosen = -1;
        for (int level = maxDepth_ - 1; level >= 0 && chosen < 0; --level)
            for (int i = heads_[size_t(level)]; i >= 0; i = nodes_[size_t(i)].Next)
                if (chosen < 0 || Weight(i) < Weight(chosen)) chosen = i;
        if (chosen < 0) {
            // Branches enter the reducible lists only when a colour passes
            // through an existing child, so with few wanted colours every
            // list can be empty while there are still too many leaves. Any
            // node with two or more children can be merged: take the deepest.
            chosen = DeepestBranch();
            if (chosen < 0) return false;
        }
        if (nodes_[size_t(chosen)].InList) Unlink(chosen);
        for (int& c : nodes_[size_t(chosen)].Child) {
            if (c >= 0) FreeSubtree(c);
            c = -1;
        }
        TNode& node = nodes_[size_t(chosen)];
        node.Children = 0;
        node.Leaf = true;
        ++leaves_;
        if (node.Level < maxDepth_ - 1) maxDepth_ = node.Level + 1;
        return true;
    }

    // The leaves, depth first with children in order, as mean colours.
    void Collect(std::vector<TRGB>& out) const { Collect(0, out); }

  private:
    struct TNode {
        int Level = 0;
        bool Leaf = false;
        bool InList = false;
        uint64_t Count = 0;
        uint64_t Sum[3] = {0, 0, 0};
        std::array<int, 8> Child{-1, -1, -1, -1, -1, -1, -1, -1};
        int Children = 0;
        int Prev = -1;
        int Next = -1;
    };

    int NewNode(int level) {
        TNode n;
        n.Level = level;
        n.Leaf = level >= maxDepth_;
        if (n.Leaf) ++leaves_;
        nodes_.push_back(n);
        return int(nodes_.size() - 1);
    }

    // Importance of a branch: its channel sums, green weighing most.
    uint64_t Weight(int i) const {
        const TNode& n = nodes_[size_t(i)];
        return 2 * n.Sum[0] + 3 * n.Sum[1] + n.Sum[2];
    }

    void PushReducible(int i) {
        TNode& n = nodes_[size_t(i)];
        n.InList = true;
        n.Prev = -1;
        n.Next = heads_[size_t(n.Level)];
        if (n.Next >= 0) nodes_[size_t(n.Next)].Prev = i;
        heads_[size_t(n.Level)] = i;
    }

    void Unlink(int i) {
        TNode& n = nodes_[size_t(i)];
        if (n.Prev >= 0)
            nodes_[size_t(n.Prev)].Next = n.Next;
        else
            heads_[size_t(n.Level)] = n.Next;
        if (n.Next >= 0) nodes_[size_t(n.Next)].Prev = n.Prev;
        n.InList = false;
        n.Prev = n.Next = -1;
    }

    void FreeSubtree(int i) {
        if (nodes_[size_t(i)].InList) Unlink(i);
        for (int c : nodes_[size_t(i)].Child)
            if (c >= 0) FreeSubtree(c);
        if (nodes_[size_t(i)].Leaf) --leaves_;
        nodes_[size_t(i)] = TNode{};
        nodes_[size_t(i)].Leaf = true; // dead; never reached again
    }

    int DeepestBranch() const {
        int best = -1;
        Deepest(0, best);
        return best;
    }
    void Deepest(int i, int& best) const {
        const TNode& n = nodes_[size_t(i)];
        if (n.Leaf) return;
        if (n.Children >= 2) {
            const TNode* b = best >= 0 ? &nodes_[size_t(best)] : nullptr;
            if (!b || n.Level > b->Level || (n.Level == b->Level && Weight(i) < Weight(best)))
                best = i;
        }
        for (int c : n.Child)
            if (c >= 0) Deepest(c, best);
    }

    void Collect(int i, std::vector<TRGB>& out) const {
        const TNode& n = nodes_[size_t(i)];
        if (n.Leaf) {
            if (n.Count == 0) return;
            out.push_back(
                RGB(int(n.Sum[0] / n.Count), int(n.Sum[1] / n.Count), int(n.Sum[2] / n.Count)));
            return;
        }
        for (int c : n.Child)
            if (c >= 0) Collect(c, out);
    }

    std::vector<TNode> nodes_;
    std::array<int, 8> heads_{-1, -1, -1, -1, -1, -1, -1, -1};
    int leaves_ = 0;
    int maxDepth_ = 8;
};

} // namespace

std::vector<TRGB> OctreePalette(TPixelGraphic& dest, const TPixelGraphic& source, int m) {
    std::array<uint64_t, 256> counts{};
    const int w = source.GetWidth(), h = source.GetHeight();
    const TPGPixelFormat f = source.PixelFormat();
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = source.ScanLine(y);
        if (f == pg8Bit)
            for (int x = 0; x < w; ++x)
                ++counts[row[x]];
        else
            for (int x = 0; x < w; ++x)
                ++counts[size_t(PGLoadIndex(row, f, x))];
        if (dest.ProgressStep(&dest, y, h - 1)) break;
    }

    TOctree tree;
    for (int i = 0; i < 256; ++i) {
        if (counts[size_t(i)] == 0) continue;
        const TRGB c = source.PaletteEntry(i);
        tree.Insert(GetRValue(c), GetGValue(c), GetBValue(c), counts[size_t(i)]);
        while (tree.Leaves() > m)
            if (!tree.Reduce()) break;
    }
    std::vector<TRGB> colors;
    tree.Collect(colors);
    return colors;
}
