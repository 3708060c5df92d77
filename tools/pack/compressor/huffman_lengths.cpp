#include "tools/pack/compressor/huffman_lengths.h"

#include <algorithm>
#include <numeric>

namespace pack {

namespace {

// A node of package-merge: a leaf (one symbol) or a package of two nodes.
struct Node {
  uint64_t weight;
  int32_t symbol;  // -1 for a package
  int32_t left, right;
};

void CountLeaves(const std::vector<Node>& nodes, int32_t index, std::vector<uint8_t>& lengths) {
  // Packages nest at most max_length deep; an explicit stack keeps it simple.
  std::vector<int32_t> stack{index};
  while (!stack.empty()) {
    const Node& n = nodes[stack.back()];
    stack.pop_back();
    if (n.symbol >= 0) {
      ++lengths[n.symbol];
    } else {
      stack.push_back(n.left);
      stack.push_back(n.right);
    }
  }
}

}  // namespace

std::vector<uint8_t> LimitedCodeLengths(const std::vector<uint64_t>& freqs, int max_length) {
  std::vector<uint8_t> lengths(freqs.size(), 0);
  std::vector<int32_t> used;
  for (size_t i = 0; i < freqs.size(); ++i) {
    if (freqs[i] > 0) used.push_back(static_cast<int32_t>(i));
  }
  if (used.empty()) return lengths;
  if (used.size() == 1) {
    lengths[used[0]] = 1;
    return lengths;
  }
  std::stable_sort(used.begin(), used.end(), [&](int32_t a, int32_t b) { return freqs[a] < freqs[b]; });

  std::vector<Node> nodes;
  nodes.reserve(used.size() * 2 * max_length + used.size());
  std::vector<int32_t> leaves;
  for (int32_t s : used) {
    leaves.push_back(static_cast<int32_t>(nodes.size()));
    nodes.push_back({freqs[s], s, -1, -1});
  }
  // The list of the deepest level holds the leaves; each shallower level merges
  // the leaves with the pairs of the level below.
  std::vector<int32_t> list = leaves;
  for (int level = 1; level < max_length; ++level) {
    std::vector<int32_t> packages;
    for (size_t i = 0; i + 1 < list.size(); i += 2) {
      packages.push_back(static_cast<int32_t>(nodes.size()));
      nodes.push_back({nodes[list[i]].weight + nodes[list[i + 1]].weight, -1, list[i], list[i + 1]});
    }
    std::vector<int32_t> merged;
    merged.reserve(leaves.size() + packages.size());
    std::merge(leaves.begin(), leaves.end(), packages.begin(), packages.end(), std::back_inserter(merged),
               [&](int32_t a, int32_t b) { return nodes[a].weight < nodes[b].weight; });
    list.swap(merged);
  }
  size_t take = 2 * used.size() - 2;
  for (size_t i = 0; i < take; ++i) CountLeaves(nodes, list[i], lengths);
  return lengths;
}

std::vector<uint16_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
  int count[kMaxCodeLength + 1] = {};
  for (uint8_t l : lengths) {
    if (l > 0) ++count[l];
  }
  uint32_t next[kMaxCodeLength + 2] = {};
  uint32_t code = 0;
  for (int l = 1; l <= kMaxCodeLength; ++l) {
    code = (code + count[l - 1]) << 1;
    next[l] = code;
  }
  std::vector<uint16_t> codes(lengths.size(), 0);
  for (size_t i = 0; i < lengths.size(); ++i) {
    if (lengths[i] > 0) codes[i] = static_cast<uint16_t>(next[lengths[i]]++);
  }
  return codes;
}

uint64_t CodedBits(const std::vector<uint64_t>& freqs, const uint8_t* lengths) {
  uint64_t bits = 0;
  for (size_t i = 0; i < freqs.size(); ++i) {
    if (freqs[i] == 0) continue;
    if (lengths[i] == 0) return UINT64_MAX;
    bits += freqs[i] * lengths[i];
  }
  return bits;
}

}  // namespace pack
