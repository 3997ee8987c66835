#pragma once
// A prefix tree of element sequences. Each stored sequence keeps a value at its last node (the
// unigram model keeps the piece's id there, so every piece found by a walk comes with its id).

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace orvane {

template <typename Element> struct TrieNode {
    bool isLeaf = false;
    std::int64_t value = 0;
    std::unordered_map<Element, std::unique_ptr<TrieNode>> children;
};

template <typename Element> class Trie {
public:
    Trie() : root_(std::make_unique<TrieNode<Element>>()) {}

    /// Stores one sequence; storing it again replaces its value.
    void insert(const std::vector<Element>& sequence, std::int64_t value = 0) {
        TrieNode<Element>* node = root_.get();
        for (const Element& element : sequence) {
            auto& child = node->children[element];
            if (!child) {
                child = std::make_unique<TrieNode<Element>>();
            }
            node = child.get();
        }
        node->isLeaf = true;
        node->value = value;
    }

    void append(const std::vector<std::vector<Element>>& sequences) {
        for (const auto& sequence : sequences) {
            insert(sequence);
        }
    }

    const TrieNode<Element>& root() const { return *root_; }

private:
    std::unique_ptr<TrieNode<Element>> root_;
};

/// Walks a trie along `text[begin, end)`: each call of `next()` yields the next stored sequence that
/// is a prefix of the text (its length and value), shortest first, until the text leaves the trie.
template <typename Element> class LeavesWithCommonPrefixIterator {
public:
    struct Leaf {
        std::size_t length;
        std::int64_t value;
    };

    LeavesWithCommonPrefixIterator(const Trie<Element>& trie, const std::vector<Element>& text, std::size_t begin = 0)
        : node_(&trie.root()), text_(text), position_(begin) {}

    std::optional<Leaf> next() {
        while (node_ && position_ < text_.size()) {
            auto child = node_->children.find(text_[position_++]);
            ++consumed_;
            if (child == node_->children.end()) {
                node_ = nullptr;
                break;
            }
            node_ = child->second.get();
            if (node_->isLeaf) {
                return Leaf{consumed_, node_->value};
            }
        }
        return std::nullopt;
    }

private:
    const TrieNode<Element>* node_;
    const std::vector<Element>& text_;
    std::size_t position_;
    std::size_t consumed_ = 0;
};

} // namespace orvane
