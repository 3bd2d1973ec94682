#include "arena/Standings.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <sstream>

namespace {

const DisqualifyCause ShownCauses[] = {DisqualifyCause::Time, DisqualifyCause::Illegal,
                                       DisqualifyCause::Disconnect, DisqualifyCause::Other};

std::size_t slot(DisqualifyCause cause) {
    return static_cast<std::size_t>(cause);
}

// A number for the table and the CSV: fixed decimals, "+inf" and "-inf" for the infinite.
std::string fixed(double value, int decimals, bool sign = false) {
    if (std::isinf(value)) {
        return value > 0 ? "+inf" : "-inf";
    }
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << (sign ? std::showpos : std::noshowpos)
         << value;
    return text.str();
}

// JSON has no infinity: it is written as null.
std::string jsonNumber(double value, int decimals) {
    return std::isinf(value) || std::isnan(value) ? "null" : fixed(value, decimals);
}

// Player names are plain (letters, digits, "_-."), map paths may hold anything.
std::string jsonString(const std::string& text) {
    std::ostringstream out;
    out << '"';
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out << '\\' << c;
        } else if (c < 0x20) {
            out << "\\u" << std::hex << std::setw(4) << std::setfill('0') << unsigned(c)
                << std::dec;
        } else {
            out << c;
        }
    }
    out << '"';
    return out.str();
}

// The estimate as the table shows it, "+70.4", or a bound "> +338.0" or "< -338.0", and "-"
// without one; the CSV form has neither sign nor blank (">338.0") and is empty without one.
std::string eloText(const EloEstimate& estimate, bool table) {
    if (estimate.kind == EloKind::None) {
        return table ? "-" : "";
    }
    const std::string bound = estimate.kind == EloKind::Above   ? ">"
                              : estimate.kind == EloKind::Below ? "<"
                                                                : "";
    return bound + (table && !bound.empty() ? " " : "") + fixed(estimate.elo, 1, table);
}

// An end of an Elo interval with one decimal, `open` in place of an open end.
std::string endText(const std::optional<double>& value, const char* open, bool sign = false) {
    return value ? fixed(*value, 1, sign) : std::string(open);
}

// "[-12.3, +130.5]"; an open end reads "open".
std::string intervalText(const EloEstimate& estimate) {
    return "[" + endText(estimate.low, "open", true) + ", " + endText(estimate.high, "open", true) +
           "]";
}

// The JSON fields of an estimate: "elo" is a number only for a value; a bound comes as
// "elo_above" or "elo_below"; an open end of the interval is null.
std::string eloJson(const EloEstimate& estimate) {
    const bool value = estimate.kind == EloKind::Value;
    std::string text = "\"elo\": " + (value ? fixed(estimate.elo, 1) : std::string("null"));
    if (estimate.kind == EloKind::Above || estimate.kind == EloKind::Below) {
        text += estimate.kind == EloKind::Above ? ", \"elo_above\": " : ", \"elo_below\": ";
        text += fixed(estimate.elo, 1);
    }
    return text + ", \"elo_low\": " + endText(estimate.low, "null") +
           ", \"elo_high\": " + endText(estimate.high, "null");
}

// Best first: a bound above any value, a bound below under any, no estimate counted as 0.
std::pair<int, double> rankKey(const EloEstimate& estimate) {
    const int tier = estimate.kind == EloKind::Above ? 1 : estimate.kind == EloKind::Below ? -1 : 0;
    return {tier, estimate.elo};
}

std::string pad(const std::string& text, std::size_t width, bool left = false) {
    if (text.size() >= width) {
        return text;
    }
    const std::string fill(width - text.size(), ' ');
    return left ? text + fill : fill + text;
}

} // namespace

std::vector<unsigned> ranksOf(const GameResult& result) {
    std::vector<unsigned> ranks;
    for (const SeatResult& seat : result.seats) {
        const auto better =
            std::count_if(result.seats.begin(), result.seats.end(),
                          [&](const SeatResult& other) { return other.score > seat.score; });
        ranks.push_back(1 + static_cast<unsigned>(better));
    }
    return ranks;
}

PlayerStanding& Standings::player(const std::string& name) {
    PlayerStanding& standing = m_players[name];
    standing.name = name;
    return standing;
}

void Standings::add(const GameResult& result) {
    if (result.status != GameStatus::Finished) {
        ++(result.status == GameStatus::Stopped ? m_stopped : m_failed);
        return;
    }
    ++m_finished;
    const auto ranks = ranksOf(result);
    const auto firsts = std::count(ranks.begin(), ranks.end(), 1u);
    int stones = 0;
    for (const SeatResult& seat : result.seats) {
        stones += std::max(seat.score, 0);
    }
    for (std::size_t s = 0; s < result.seats.size(); ++s) {
        const SeatResult& seat = result.seats[s];
        PlayerStanding& standing = player(seat.player);
        const double win = ranks[s] == 1 ? 1.0 / static_cast<double>(firsts) : 0.0;
        ++standing.games;
        standing.wins += win;
        standing.rankSum += ranks[s];
        standing.shareSum += stones > 0 ? std::max(seat.score, 0) / double(stones) : 0;
        ++standing.disqualified[slot(seat.cause)];
        if (standing.seatGames.size() <= s) {
            standing.seatGames.resize(s + 1);
            standing.seatWins.resize(s + 1);
        }
        ++standing.seatGames[s];
        standing.seatWins[s] += win;
        for (std::size_t o = 0; o < result.seats.size(); ++o) {
            const SeatResult& other = result.seats[o];
            if (other.player == seat.player) {
                continue;
            }
            PairCounts& pair = m_headToHead[{seat.player, other.player}];
            double& outcome = ranks[s] < ranks[o]   ? pair.wins
                              : ranks[s] > ranks[o] ? pair.losses
                                                    : pair.draws;
            outcome += 1;
            double& own = ranks[s] < ranks[o]   ? standing.pairs.wins
                          : ranks[s] > ranks[o] ? standing.pairs.losses
                                                : standing.pairs.draws;
            own += 1;
        }
    }
}

std::vector<PlayerStanding> Standings::players() const {
    std::vector<PlayerStanding> list;
    for (const auto& [name, standing] : m_players) {
        list.push_back(standing);
        list.back().elo = estimateElo(standing.pairs);
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return rankKey(a.elo) > rankKey(b.elo); });
    return list;
}

PairCounts Standings::headToHead(const std::string& a, const std::string& b) const {
    const auto found = m_headToHead.find({a, b});
    return found == m_headToHead.end() ? PairCounts{} : found->second;
}

std::string Standings::formatTable(const std::optional<SprtSetup>& sprt) const {
    std::ostringstream out;
    out << "Games: " << m_finished + m_stopped + m_failed << " (" << m_finished << " finished, "
        << m_stopped << " stopped as hung, " << m_failed << " failed)\n";
    const auto list = players();
    std::size_t nameWidth = 6;
    for (const auto& standing : list) {
        nameWidth = std::max(nameWidth, standing.name.size());
    }
    out << pad("player", nameWidth, true) << "  games     wins  avg rank  stones"
        << "  dq time  dq illegal  dq disconnect  dq other       Elo  95% interval\n";
    for (const auto& p : list) {
        out << pad(p.name, nameWidth, true) << pad(std::to_string(p.games), 7)
            << pad(fixed(p.wins, 1), 9) << pad(fixed(p.averageRank(), 2), 10)
            << pad(fixed(100 * p.stoneShare(), 1) + "%", 8)
            << pad(std::to_string(p.disqualified[slot(DisqualifyCause::Time)]), 9)
            << pad(std::to_string(p.disqualified[slot(DisqualifyCause::Illegal)]), 12)
            << pad(std::to_string(p.disqualified[slot(DisqualifyCause::Disconnect)]), 15)
            << pad(std::to_string(p.disqualified[slot(DisqualifyCause::Other)]), 10)
            << pad(eloText(p.elo, true), 10) << "  " << intervalText(p.elo) << "\n";
    }
    out << "Seats (games/wins):\n";
    for (const auto& p : list) {
        out << "  " << pad(p.name, nameWidth, true);
        for (std::size_t s = 0; s < p.seatGames.size(); ++s) {
            out << "  " << s + 1 << ": " << p.seatGames[s] << '/' << fixed(p.seatWins[s], 1);
        }
        out << '\n';
    }
    if (sprt) {
        const auto state = evaluateSprt(sprt->parameters, headToHead(sprt->first, sprt->second));
        out << "SPRT " << sprt->first << " vs " << sprt->second << " [" << sprt->parameters.elo0
            << ", " << sprt->parameters.elo1 << "]: LLR " << fixed(state.llr, 2) << " ["
            << fixed(state.lowerBound, 2) << ", " << fixed(state.upperBound, 2)
            << "]: " << describeSprt(sprt->parameters, state) << '\n';
    }
    return out.str();
}

std::string Standings::formatJson(const std::optional<SprtSetup>& sprt) const {
    std::ostringstream out;
    out << "{\n  \"games\": " << m_finished + m_stopped + m_failed
        << ",\n  \"finished\": " << m_finished << ",\n  \"stopped\": " << m_stopped
        << ",\n  \"failed\": " << m_failed << ",\n  \"players\": [";
    const auto list = players();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const auto& p = list[i];
        out << (i == 0 ? "\n" : ",\n") << "    {\"name\": " << jsonString(p.name)
            << ", \"games\": " << p.games << ", \"wins\": " << jsonNumber(p.wins, 2)
            << ", \"average_rank\": " << jsonNumber(p.averageRank(), 4)
            << ", \"stone_share\": " << jsonNumber(p.stoneShare(), 4) << ", \"disqualified\": {";
        for (std::size_t c = 0; c < std::size(ShownCauses); ++c) {
            out << (c == 0 ? "" : ", ") << jsonString(causeName(ShownCauses[c])) << ": "
                << p.disqualified[slot(ShownCauses[c])];
        }
        out << "}, \"pairs\": {\"wins\": " << p.pairs.wins << ", \"draws\": " << p.pairs.draws
            << ", \"losses\": " << p.pairs.losses << "}, " << eloJson(p.elo) << ", \"seats\": [";
        for (std::size_t s = 0; s < p.seatGames.size(); ++s) {
            out << (s == 0 ? "" : ", ") << "{\"seat\": " << s + 1
                << ", \"games\": " << p.seatGames[s]
                << ", \"wins\": " << jsonNumber(p.seatWins[s], 2) << "}";
        }
        out << "]}";
    }
    out << "\n  ]";
    if (sprt) {
        const auto state = evaluateSprt(sprt->parameters, headToHead(sprt->first, sprt->second));
        const char* decision = state.decision == SprtDecision::AcceptH1   ? "H1"
                               : state.decision == SprtDecision::AcceptH0 ? "H0"
                                                                          : "none";
        out << ",\n  \"sprt\": {\"first\": " << jsonString(sprt->first)
            << ", \"second\": " << jsonString(sprt->second)
            << ", \"elo0\": " << sprt->parameters.elo0 << ", \"elo1\": " << sprt->parameters.elo1
            << ", \"alpha\": " << sprt->parameters.alpha << ", \"beta\": " << sprt->parameters.beta
            << ", \"llr\": " << jsonNumber(state.llr, 3)
            << ", \"lower_bound\": " << jsonNumber(state.lowerBound, 3)
            << ", \"upper_bound\": " << jsonNumber(state.upperBound, 3) << ", \"decision\": \""
            << decision << "\"}";
    }
    out << "\n}\n";
    return out.str();
}

std::string Standings::formatCsv() const {
    std::ostringstream out;
    out << "player,games,wins,average_rank,stone_share,dq_time,dq_illegal,dq_disconnect,"
           "dq_other,pair_wins,pair_draws,pair_losses,elo,elo_low,elo_high,seat_games\n";
    for (const auto& p : players()) {
        out << p.name << ',' << p.games << ',' << fixed(p.wins, 2) << ','
            << fixed(p.averageRank(), 4) << ',' << fixed(p.stoneShare(), 4);
        for (const DisqualifyCause cause : ShownCauses) {
            out << ',' << p.disqualified[slot(cause)];
        }
        out << ',' << p.pairs.wins << ',' << p.pairs.draws << ',' << p.pairs.losses << ','
            << eloText(p.elo, false) << ',' << endText(p.elo.low, "") << ','
            << endText(p.elo.high, "") << ',';
        for (std::size_t s = 0; s < p.seatGames.size(); ++s) {
            out << (s == 0 ? "" : " ") << p.seatGames[s];
        }
        out << '\n';
    }
    return out.str();
}

// One line per game for the "reversi.matchpoint" logger, e.g.
// "game 3 classic8x8.map: bot 40 (rank 1), ai 24 (rank 2)".
std::string matchpointLine(const GameResult& result) {
    std::ostringstream line;
    line << "game " << result.game << ' ' << std::filesystem::path(result.map).filename().string()
         << ": ";
    if (result.status == GameStatus::Stopped) {
        line << "stopped as hung";
    } else if (result.status == GameStatus::Failed) {
        line << "failed, see its server log";
    } else {
        const auto ranks = ranksOf(result);
        for (std::size_t s = 0; s < result.seats.size(); ++s) {
            const SeatResult& seat = result.seats[s];
            line << (s == 0 ? "" : ", ") << seat.player << ' ';
            if (seat.cause != DisqualifyCause::None) {
                line << "disqualified: " << causeName(seat.cause);
            } else {
                line << seat.score;
            }
            line << " (rank " << ranks[s] << ")";
        }
    }
    line << '\n';
    return line.str();
}
