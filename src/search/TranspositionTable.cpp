#include "search/TranspositionTable.hpp"

#include <algorithm>
#include <new>

static_assert(sizeof(TTEntry) == 16, "a bucket of four entries fills one cache line");

TranspositionTable::TranspositionTable(std::size_t megabytes, int ageWeight)
    : m_ageWeight(ageWeight) {
    const std::size_t bytes = std::max<std::size_t>(megabytes, 1) << 20;
    m_buckets = 1;
    while (m_buckets * 2 * sizeof(Bucket) <= bytes) {
        m_buckets *= 2;
    }
    // A size the machine cannot give is halved until it can.
    while (m_buckets > 1 && m_table == nullptr) {
        m_table.reset(new (std::nothrow) Bucket[m_buckets]);
        if (m_table == nullptr) {
            m_buckets /= 2;
        }
    }
    if (m_table == nullptr) {
        m_table = std::make_unique<Bucket[]>(1);
    }
}

const TTEntry* TranspositionTable::probe(std::uint64_t hash) const {
    const Bucket& b = bucket(hash);
    const std::uint32_t key = check(hash);
    for (const TTEntry& e : b.entry) {
        if (e.check == key && e.bound != Bound::NONE) {
            return &e;
        }
    }
    return nullptr;
}

// The same position is overwritten (keeping its move when the new result has none); otherwise
// the entry with the lowest depth, counting every search of age as m_ageWeight plies less, goes.
void TranspositionTable::store(std::uint64_t hash, unsigned depth, int score, Bound bound,
                               SearchMove move) {
    Bucket& b = bucket(hash);
    const std::uint32_t key = check(hash);
    TTEntry* victim = &b.entry[0];
    int victimWorth = 1 << 30;
    for (TTEntry& e : b.entry) {
        if (e.check == key && e.bound != Bound::NONE) {
            victim = &e;
            if (!move.isValid()) {
                move = e.move;
            }
            break;
        }
        const int age = static_cast<std::uint8_t>(m_generation - e.generation);
        const int worth = e.bound == Bound::NONE ? -(1 << 20) : int(e.depth) - m_ageWeight * age;
        if (worth < victimWorth) {
            victimWorth = worth;
            victim = &e;
        }
    }
    victim->check = key;
    victim->score = score;
    victim->move = move;
    victim->depth = static_cast<std::uint8_t>(std::min(depth, 255u));
    victim->bound = bound;
    victim->generation = m_generation;
}
