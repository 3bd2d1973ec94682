// The transposition table: search results of positions met before, keyed by the search
// board's 64-bit position hash, so that a position reached by another move order is not
// searched again and the best move of the last iteration is tried first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "search/SearchBoard.hpp"
#include "search/SearchParams.hpp"

// What the stored score means: the exact value, a lower bound (the search failed high) or an
// upper bound (it failed low).
enum class Bound : std::uint8_t { NONE = 0, LOWER = 1, UPPER = 2, EXACT = 3 };

// One stored result, 16 bytes.
struct TTEntry {
    std::uint32_t check = 0; // upper half of the hash; the lower half chose the bucket
    std::int32_t score = 0;
    SearchMove move;
    std::uint8_t depth = 0;
    Bound bound = Bound::NONE;
    std::uint8_t generation = 0;
};

// A fixed-size table of buckets of four entries (one cache line). A new result replaces the
// entry of the same position, or else the one of least worth: shallow and from old searches.
// Every probe verifies 32 further bits of the hash; a move read from the table is still only a
// hint that the searcher matches against the legal moves.
class TranspositionTable {
public:
    // Size in MiB, rounded down to a power of two of buckets (at least one bucket), and halved
    // while the memory cannot be had. An entry loses `ageWeight` plies of worth per search of
    // age (SearchParams::ttAgeWeight).
    explicit TranspositionTable(std::size_t megabytes, int ageWeight = SearchParams{}.ttAgeWeight);
    TranspositionTable(const TranspositionTable&) = delete;
    TranspositionTable& operator=(const TranspositionTable&) = delete;

    // Marks the start of a new search: entries of earlier searches become first to go.
    void newSearch() { ++m_generation; }

    // The entry of the position, if any.
    const TTEntry* probe(std::uint64_t hash) const;
    void store(std::uint64_t hash, unsigned depth, int score, Bound bound, SearchMove move);

private:
    static constexpr std::size_t BucketSize = 4;
    struct alignas(64) Bucket {
        TTEntry entry[BucketSize];
    };

    Bucket& bucket(std::uint64_t hash) const { return m_table[hash & (m_buckets - 1)]; }
    static std::uint32_t check(std::uint64_t hash) {
        return static_cast<std::uint32_t>(hash >> 32);
    }

    std::size_t m_buckets;
    std::unique_ptr<Bucket[]> m_table;
    std::uint8_t m_generation = 0;
    int m_ageWeight;
};
