// Every number of the searcher and its evaluation, named and explained in one place: the fixed
// ones that define what a score means, and the tunable ones, a value that a program may change
// at run time (reversi-ai --param, --params) and hands to the searcher it makes.
// Scores are in evaluation points; a stone at the end of the game is worth stonePoints.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "search/PatternWeights.hpp"

struct SearchParams {
    // --- Fixed: scores and limits ----------------------------------------------------------

    // A won game scores WinScore plus the stone margin; a lost one -WinScore plus the
    // (negative) margin and its rank. Heuristic scores are kept inside +-HeuristicLimit, so
    // that any score beyond it is a game won or lost at the end of the searched line: a proven
    // result with two players, with more one that holds only if the opponents play as the
    // search assumes.
    static constexpr int WinScore = 1'000'000;
    static constexpr int HeuristicLimit = WinScore / 2;
    // Between two ranks at the end of a game with three or more players: more than any stone
    // margin on a 50 x 50 board, so that rank counts before stones.
    static constexpr int RankStep = 10'000;
    // An infinite bound, beyond every score.
    static constexpr int Infinity = 2 * WinScore;
    // Deepest iteration and deepest ply of any line (PV table and move buffers are sized by
    // it).
    static constexpr unsigned MaxDepth = 60;
    static constexpr unsigned MaxPly = 64;
    // Move ordering: the move of the transposition table first, then the two killers, above
    // every history and square key.
    static constexpr int OrderTTMove = 1 << 30;
    static constexpr int OrderKiller1 = 1 << 28;
    static constexpr int OrderKiller2 = (1 << 28) - 1;
    // Defaults: best-reply search as the alpha-beta searcher's way with three or more players
    // (reversi-ai chooses by the map, see defaultSearch), and of reversi-ai's options the time
    // per move when the server sends no limit and the table size in MiB.
    static constexpr bool DefaultBestReply = true;
    static constexpr unsigned DefaultMoveTimeMs = 1000;
    static constexpr unsigned DefaultHashMb = 64;

    // --- Evaluation ------------------------------------------------------------------------

    // One stone of the root player or of an opponent, weighted by the game stage: early in the
    // game few stones (and so few frontier stones) are better, late they count fully. The
    // stage is the filled fraction of the playable squares.
    int stonePoints = 10;
    int stoneWeightEarly = -1;
    int stoneWeightLate = 8;
    // With three or more players the stage is the square of the filled fraction, so that
    // stones count fully only late. A player with few stones may be taken out by the next few
    // captures and never come back: below survivalStones (with three opponents; in proportion
    // to their number) each missing stone costs survivalPenalty. Together they gave 161 first
    // places in 192 games on an 8-player map against 138 without them.
    int survivalStones = 8;
    int survivalPenalty = 20;
    // Square values from the geometry of the map. A square on which no line can be closed from
    // both sides can never be captured: the "corner" of this map. Squares with one open axis
    // are edges; their neighbours next to an empty corner hand the corner over (diagonally:
    // the X square of standard Othello, or in line).
    int cornerValue = 60;
    int edgeValue = 7;
    int twoAxesValue = 2;
    int cornerDiagonalPenalty = -31;
    int cornerLinePenalty = -13;
    // Legal move squares of a player (two players only), empty squares next to an opposing
    // stone (potential mobility, three or more players) and stones next to an empty square.
    int mobilityWeight = 11;
    int potentialMobilityWeight = 4;
    int frontierWeight = -7;
    // Stock: an override stone can take any stone later; a bomb is worth a base and a share of
    // the squares its blast covers. With three or more players an override stone is also the
    // only way back for a player whom captures or an inversion left with none, and counts
    // overrideManyPercent per cent of overrideValue while each player's share of the playable
    // squares is at most overrideShareSquares, less in proportion beyond (240 on the sample
    // maps of 4 and 8 players, 39 on the 50 x 50 one, where 100 lost against three bots).
    int overrideValue = 40;
    int overrideManyPercent = 600;
    int overrideShareSquares = 100;
    int bombBaseValue = 10;
    int bombAreaValue = 3;
    // With three or more players each open inversion square is taken with this chance (in
    // percent) in the expectation of the stones over the inversions still to come. In games
    // on eight8p every inversion square was taken before the end.
    int inversionTakenPercent = 100;
    // Two players: with this many empty squares or fewer, and an odd number of them, the side
    // on turn gets the last move unless someone passes, and gains this bonus.
    int parityEmpties = 14;
    int parityBonus = 20;
    // A stone that no capture can flip any more (see StableStones), on top of its square; on a
    // map with inversion or choice squares only while at most stabilityMaxPlayers players are
    // in the game.
    int stabilityWeight = 5;
    int stabilityMaxPlayers = 2;
    // The pattern terms (edge lines and corner blocks, see PatternSet) count with this many
    // per cent of their weights in `patterns`.
    int patternPercent = 100;
    // The patterns count only while at most this many players are still in the game: the
    // built-in tables were learned from two-player games.
    int patternMaxPlayers = 2;
    std::shared_ptr<const PatternWeights> patterns = PatternWeights::builtIn();

    // --- Search ----------------------------------------------------------------------------

    // The order key of a quiet move is its history counter plus the square's static value
    // times orderSquareScale; override moves get orderOverridePenalty on top.
    int orderSquareScale = 64;
    int orderOverridePenalty = -(1 << 20);
    // A cutoff adds historyScale x depth^2 to the move's counter; before each search every
    // counter is divided by historyDecay, and all are halved when one passes historyMax.
    int historyScale = 1;
    int historyDecay = 2;
    int historyMax = 1 << 24;
    // Best-reply search with three or more players looks beyond depth 2 only at this many
    // root moves, the best of the iterations before and those first in the static order (0:
    // all). An iteration that ends on the AI's own move credits it with a second move before
    // three or more opponents have answered the first; kept to the few moves the shallower
    // search already liked, that optimism picks among good moves instead of from all of them
    // (on huge50x50 all of them cost about one first place in ten).
    int bestReplyRootWidth = 16;
    // In the bomb phase, beyond the first ply only the most damaging throws are searched.
    int bombPhaseWidth = 12;
    // The transposition table replaces the entry of least depth, each search of age counting
    // as this many plies less.
    int ttAgeWeight = 8;

    // --- Tree search (--search mcts); a result is a number in [0, 1] per player ----------------

    // Weight of the exploration term of UCT, sqrt(ln n_parent / n_child).
    double mctsExploration = 0.2;
    // Weight of progressive history: the average result of a move (square) for its player over
    // all simulations that contained it, fading as the child is visited and found poor.
    double mctsHistoryWeight = 1.0;
    // A playout move is drawn at random with this chance; otherwise the best by captures and
    // square value of mctsPlayoutSample random candidates is played.
    double mctsPlayoutEpsilon = 0.15;
    int mctsPlayoutSample = 4;
    // A playout stops after this many moves and the position is scored by the evaluation.
    int mctsPlayoutMoves = 8;
    // The evaluation's score (a player against its strongest opponent) that gives a result of
    // about 0.73 (the logistic function of 1).
    double mctsEvaluationScale = 80.0;
    // Share of the stone count in the result of a finished game; the rest is the rank, so that
    // rank always counts before stones.
    double mctsStoneShare = 0.1;
    // An old tree is searched this many moves deep for the position of a new request.
    int mctsReuseDepth = 10;
    // In the bomb phase a node holds only this many throws, the best for the thrower by the
    // evaluation: of a few hundred throws each would be tried a few times in a move's time.
    int mctsBombWidth = 12;

    // --- Time ------------------------------------------------------------------------------

    // The search gets the limit minus this fraction minus this many milliseconds: the margin
    // covers sending the answer and a busy machine, where a process that waits for a core
    // learns of the request late. At 50 ms on huge50x50, two games at a time on two cores,
    // nearly every answer came within 7.5 ms of its budget by the AI's own clock, and 10 ms
    // kept back instead of 25 won about a tenth more games against three bots (docs/ai.md).
    double timeMarginFraction = 0.15;
    int timeMarginMs = 10;
    // A new iteration is started only while less than this fraction of the budget is used.
    double newIterationFraction = 0.45;
    // The clock is read after this much work: a node counts one, a ranked bomb throw one and
    // moveWorkDivisor generated moves one.
    int clockCheckInterval = 4;
    int moveWorkDivisor = 8;

    bool operator==(const SearchParams&) const = default;
};

// A tunable parameter: its name (that of the member), where it lives (exactly one of the two
// member pointers is set), its range and what it means.
struct ParamInfo {
    const char* name;
    int SearchParams::*integer;
    double SearchParams::*real;
    double min;
    double max;
    const char* meaning;
};

// The search reversi-ai plays when --search is not given, "brs", "paranoid" or "mcts", by the
// number of players, the playable squares of the map and whether it has choice or inversion
// squares (which hand stones from player to player), as measured in docs/ai.md.
const char* defaultSearch(unsigned players, unsigned squares, bool swapSquares);

// Every tunable parameter, in the order of the struct.
std::span<const ParamInfo> paramTable();

// Sets the parameter `name` from `value`; false with the reason in `error` for an unknown name
// or a malformed or out-of-range value.
bool setParam(SearchParams& params, std::string_view name, std::string_view value,
              std::string& error);
// Reads lines of "NAME VALUE" (blank lines and "#" comments skipped) and sets each; false with
// "source:line: reason" in `error` at the first bad line.
bool readParams(SearchParams& params, std::istream& in, const std::string& source,
                std::string& error);
// readParams on a file: false with "cannot read PATH: reason" or readParams' message.
bool loadParams(SearchParams& params, const std::string& path, std::string& error);
// Sets params.patterns to the pattern weights of a file (see PatternWeights::read); false with
// the reason in `error`.
bool loadPatterns(SearchParams& params, const std::string& path, std::string& error);
// The value of a parameter as text that setParam reads back to the same value.
std::string paramText(const SearchParams& params, const ParamInfo& info);
// One line per parameter: name, default, range and meaning.
std::string paramListing();
