// Every tunable number of the searcher and its evaluation, named and explained in one place.
// Scores are in evaluation points; a stone at the end of the game is worth StonePoints.
#pragma once

#include <cstdint>

namespace SearchParams {

// --- Scores ----------------------------------------------------------------------------------

// A won game scores WinScore plus the stone margin; a lost one -WinScore plus the (negative)
// margin and its rank. Heuristic scores are kept inside +-HeuristicLimit, so that any score
// beyond it is a game won or lost at the end of the searched line: a proven result with two
// players, with more one that holds only if the opponents play as the search assumes.
constexpr int WinScore = 1'000'000;
constexpr int HeuristicLimit = WinScore / 2;
// Between two ranks at the end of a game with three or more players: more than any stone
// margin on a 50 x 50 board, so that rank counts before stones.
constexpr int RankStep = 10'000;
// An infinite bound, beyond every score.
constexpr int Infinity = 2 * WinScore;

// --- Evaluation --------------------------------------------------------------------------------

// One stone of the root player or of an opponent, weighted by the game stage: early in the
// game few stones (and so few frontier stones) are better, late they count fully. The stage is
// the filled fraction of the playable squares.
constexpr int StonePoints = 10;
constexpr int StoneWeightEarly = -2;
constexpr int StoneWeightLate = 10;

// With three or more players the stage is the square of the filled fraction, so that stones
// count fully only late: a player with many stones in the middle game is the one whose stones
// the others' captures go through. But a player with few stones may be taken out by the next
// few captures and never come back: below SurvivalStones each missing stone costs
// SurvivalPenalty. Together they gave 161 first places in 192 games on an 8-player map
// against 138 without them.
constexpr unsigned SurvivalStones = 8;
constexpr int SurvivalPenalty = 20;

// Square values from the geometry of the map. A square on which no line can be closed from
// both sides (every axis blocked on at least one side by the rim or a hole, transitions
// followed) can never be captured: the "corner" of this map. Squares with one open axis are
// edges, hard to capture; their neighbours next to an empty corner hand the corner over.
constexpr int CornerValue = 60;
constexpr int EdgeValue = 8;
constexpr int TwoAxesValue = 2;
// A stone next to an empty corner: diagonally (the X square of standard Othello) and in line.
constexpr int CornerDiagonalPenalty = -30;
constexpr int CornerLinePenalty = -12;

// Legal move squares of a player (mobility; two-player games only, where it is affordable) and
// stones next to an empty square (frontier). With three or more players the evaluation counts
// potential mobility instead: empty squares next to an opposing stone.
constexpr int MobilityWeight = 12;
constexpr int PotentialMobilityWeight = 4;
constexpr int FrontierWeight = -4;

// Stock: an override stone can take any stone later; a bomb removes opposing stones in the
// bomb phase, worth a share of the squares its blast covers.
constexpr int OverrideValue = 40;
constexpr int BombBaseValue = 10;
constexpr int BombAreaValue = 3;

// Every inversion square taken hands each player's stones to the next player. With three or
// more players the stone part of each player's score is the expectation over the number of
// inversions still to come, each open inversion square taken with this chance (in percent).
constexpr int InversionTakenPercent = 70;

// Parity in two-player games: with this many empty squares or fewer, and an odd number of them,
// the side on turn gets the last move unless someone passes, and gains this bonus.
constexpr unsigned ParityEmpties = 14;
constexpr int ParityBonus = 20;

// --- Search ----------------------------------------------------------------------------------

// Deepest iteration and deepest ply of any line (PV table and move buffers are sized by it).
constexpr unsigned MaxDepth = 60;
constexpr unsigned MaxPly = 64;

// Move ordering scores: the move of the transposition table first, then killers, then the
// rest by history plus the static square value; override moves and bomb throws last within
// their kind.
constexpr int OrderTTMove = 1 << 30;
constexpr int OrderKiller1 = 1 << 28;
constexpr int OrderKiller2 = (1 << 28) - 1;
constexpr int OrderOverridePenalty = -(1 << 20);
// The history counters are halved before each search so that old games fade out.
constexpr int HistoryMax = 1 << 24;

// In the bomb phase a position may have a throw for every square of the board. Beyond the
// first ply only the most damaging throws by their immediate effect are searched.
constexpr unsigned BombPhaseWidth = 12;

// Best-reply search (three or more players): the default multi-player strategy.
constexpr bool DefaultBestReply = true;

// --- Time ------------------------------------------------------------------------------------

// The answer must leave before the limit: the search gets the limit minus this fraction minus
// this many milliseconds. The margin covers sending the answer and, above all, a busy machine:
// the clock starts when the request is read, and a process that waits for a core learns of
// the request late; with twice as many busy processes as cores, waits of 20 ms and more occur.
constexpr double TimeMarginFraction = 0.15;
constexpr unsigned TimeMarginMs = 25;
// A new iteration is started only while less than this fraction of the budget is used: the
// next one would take several times longer than all before it.
constexpr double NewIterationFraction = 0.45;
// The clock is read after this much work: a node counts one, a generated move or a ranked bomb
// throw a share of one.
constexpr std::uint64_t ClockCheckInterval = 4;
// Time per move when the server sends no limit and no --movetime is given.
constexpr unsigned DefaultMoveTimeMs = 1000;
// Transposition table size in MiB when --hash is not given.
constexpr unsigned DefaultHashMb = 64;

} // namespace SearchParams
