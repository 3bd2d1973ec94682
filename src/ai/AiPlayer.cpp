#include "ai/AiPlayer.hpp"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "common/FileIO.hpp"
#include "common/GameBoard.hpp"
#include "common/GameRecord.hpp"
#include "common/Logging.hpp"
#include "search/Mcts.hpp"
#include "search/SearchBoard.hpp"
#include "search/SearchParams.hpp"
#include "search/TimeBudget.hpp"

namespace {

constexpr unsigned MaxHashMb = 4096;

void checkStrategy(const OPTA::TypedArgument<std::string>& arg, const std::string& value) {
    if (value != "paranoid" && value != "brs" && value != "mcts") {
        throw OPTA::argument_invalid_value(arg, value);
    }
}

void checkHash(const OPTA::TypedArgument<unsigned>& arg, const unsigned& value) {
    if (value < 1 || value > MaxHashMb) {
        throw OPTA::argument_invalid_value(arg, std::to_string(value));
    }
}

void checkMoveTime(const OPTA::TypedArgument<unsigned>& arg, const unsigned& value) {
    if (value < 1) {
        throw OPTA::argument_invalid_value(arg, std::to_string(value));
    }
}

// --param NAME=VALUE: a bad one ends the parsing with its message, as a bad option does.
void applyParamOption(SearchParams& params, const std::string& text) {
    const std::size_t equals = text.find('=');
    std::string error = "expected NAME=VALUE";
    if (equals == std::string::npos ||
        !setParam(params, text.substr(0, equals), text.substr(equals + 1), error)) {
        throw OPTA::exception("--param " + text + ": " + error);
    }
}

// --params FILE: every line of the file, or the message of the first bad one.
void applyParamsFile(SearchParams& params, const std::string& path) {
    std::string error;
    if (!loadParams(params, path, error)) {
        const bool unread = error.rfind("cannot read ", 0) == 0;
        throw OPTA::exception("--params" + std::string(unread ? ": " : " ") + error);
    }
}

// --patterns FILE: the pattern weights of the evaluation instead of the built-in ones.
void applyPatternsFile(SearchParams& params, const std::string& path) {
    std::string error;
    if (!loadPatterns(params, path, error)) {
        throw OPTA::exception("--patterns: " + error);
    }
}

double milliseconds(SearchClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string pvText(const SearchBoard& board, const std::vector<PlyMove>& pv) {
    std::string text;
    for (const PlyMove& m : pv) {
        text += (text.empty() ? "" : " ") + moveText(board, m, board.players() > 2);
    }
    return text;
}

// Depth, nodes, speed, score and line of a search, as one line of text.
std::string summary(const SearchBoard& board, const SearchInfo& info, double ms) {
    std::ostringstream out;
    const double seconds = milliseconds(info.elapsed) / 1000.0;
    const auto nps = seconds > 0 ? static_cast<unsigned long long>(info.nodes / seconds) : 0ull;
    out << "depth " << info.depth << " nodes " << info.nodes << " nps " << nps << " score "
        << info.score << (info.exact ? " (exact)" : "") << " time " << static_cast<long>(ms)
        << " ms pv " << pvText(board, info.pv);
    return out.str();
}

// Iterations, tree size, speed, best move with its visit share and value, and the most visited
// line of a tree search, as one line of text.
std::string treeSummary(const SearchBoard& board, const MctsInfo& info, double ms) {
    std::ostringstream out;
    const double seconds = milliseconds(info.elapsed) / 1000.0;
    const auto ips =
        seconds > 0 ? static_cast<unsigned long long>(info.iterations / seconds) : 0ull;
    out << "iterations " << info.iterations << " nodes " << info.nodes << " reused "
        << info.reusedVisits << " ips " << ips << " depth " << info.depth << " best "
        << moveText(board, info.best, board.players() > 2) << " share "
        << static_cast<int>(100 * info.visitShare) << "% value "
        << static_cast<int>(1000 * info.value) << (info.exact ? " (exact)" : "")
        << (info.complete ? " (complete)" : "") << " time " << static_cast<long>(ms) << " ms pv "
        << pvText(board, info.pv);
    return out.str();
}

// The closing line of --analyse: the best move with what the search says of it, or that the
// player has none.
bool printBest(const SearchBoard& board, const PlyMove& best, const std::string& detail) {
    if (!best.move.isValid()) {
        std::cout << "No legal move" << std::endl;
        return true;
    }
    std::cout << "Best move " << moveText(board, best, board.players() > 2) << ' ' << detail
              << std::endl;
    return true;
}

// Whether the board shows the game's position: squares, colours, stocks, players, turn, phase.
bool samePosition(const SearchBoard& board, const Game& game) {
    const GameBoard& gb = game.getBoard();
    const GamePhase phase = game.is_final()      ? GamePhase::FINAL
                            : game.is_terminal() ? GamePhase::TERMINAL
                                                 : GamePhase::BUILD;
    if (board.phase() != phase || board.toMove() != game.getCurrentPlayer()) {
        return false;
    }
    for (unsigned p = 1; p <= board.players(); ++p) {
        const auto player = static_cast<Player>(p);
        if (board.colourOf(player) != gb.colourOf(player) ||
            board.bombs(player) != gb.getBombs(player) ||
            board.overrides(player) != gb.getOverrides(player) ||
            board.isDisqualified(player) != game.is_disqualified(player)) {
            return false;
        }
    }
    for (unsigned i = 0; i < board.size(); ++i) {
        if (board.square(static_cast<index_t>(i)) != gb.get_square(static_cast<index_t>(i))) {
            return false;
        }
    }
    return true;
}

std::string mapText(const Map& map) {
    std::ostringstream out;
    out << map;
    return out.str();
}

} // namespace

AiPlayer::AiPlayer()
    : Client(AiGroupID), m_hashMb(SearchParams::DefaultHashMb),
      m_moveTime(SearchParams::DefaultMoveTimeMs) {}

bool AiPlayer::parseOptions(OPTA::ArgumentParser& parser) {
    OPTA::VariableArgument<std::string> search(
        m_strategyName,
        "Search: paranoid or brs (alpha-beta, for three or more players), or mcts (any number); "
        "default by the map's players, size and special squares",
        "search");
    search.valuename("paranoid|brs|mcts");
    search.check_typed(checkStrategy);
    OPTA::VariableArgument<unsigned> hash(m_hashMb, "Transposition table size", "hash");
    hash.valuename("MB");
    hash.check_typed(checkHash);
    OPTA::VariableArgument<unsigned> movetime(
        m_moveTime, "Milliseconds per move when the server sets no limit", "movetime");
    movetime.valuename("ms");
    movetime.check_typed(checkMoveTime);
    OPTA::VariableArgument<unsigned> nodes(
        m_nodeLimit,
        "Stop each search after about this many nodes (mcts: iterations) as well; 0 for none",
        "nodes");
    nodes.valuename("n");
    OPTA::VariableArgument<unsigned> randomMoves(
        m_randomMoves, "Play the first n moves of each game at random (varied self-play)",
        "random-moves");
    randomMoves.valuename("n");
    OPTA::VariableArgument<std::uint32_t> seed(
        m_seed, "Seed for the order of equal moves and the random moves", "seed");
    seed.valuename("number");
    OPTA::VariableArgument<std::string> analyse(
        m_analyseMap, "Search the start of this map without a server and print the result",
        "analyse");
    analyse.valuename("map file");
    OPTA::VariableArgument<std::string> record(
        m_recordFile, "With --analyse: search a position of this game record instead", "record");
    record.valuename("file");
    OPTA::VariableArgument<unsigned> moves(
        m_recordMoves, "With --record: the position after this many moves (default: all)", "moves");
    moves.valuename("n");
    OPTA::ValueArgument<std::string> param(
        "Set a search parameter, again and again (see --list-params)", "param");
    param.valuename("NAME=VALUE");
    param.max(0);
    param.check_typed([this](const OPTA::TypedArgument<std::string>&, const std::string& text) {
        applyParamOption(m_params, text);
    });
    OPTA::ValueArgument<std::string> paramsFile(
        "Set search parameters from a file of NAME VALUE lines", "params");
    paramsFile.valuename("file");
    paramsFile.check_typed([this](const OPTA::TypedArgument<std::string>&,
                                  const std::string& path) { applyParamsFile(m_params, path); });
    OPTA::ValueArgument<std::string> patternsFile(
        "Read the evaluation's pattern weights from a file", "patterns");
    patternsFile.valuename("file");
    patternsFile.check_typed(
        [this](const OPTA::TypedArgument<std::string>&, const std::string& path) {
            applyPatternsFile(m_params, path);
        });
    OPTA::SwitchArgument listParams(
        m_listParams, "Print every search parameter with its default, range and meaning",
        "list-params");
    parser.arguments()
        .add(search)
        .add(hash)
        .add(movetime)
        .add(nodes)
        .add(randomMoves)
        .add(seed)
        .add(analyse)
        .add(record)
        .add(moves);
    parser.arguments().add(param).add(paramsFile).add(patternsFile).add(listParams);
    if (!Client::parseOptions(parser)) {
        return false;
    }
    if ((record.is_set() || moves.is_set()) && !analyse.is_set()) {
        std::cerr << "--record and --moves need --analyse" << std::endl;
        return false;
    }
    if (moves.is_set() && !record.is_set()) {
        std::cerr << "--moves needs --record" << std::endl;
        return false;
    }
    m_recordMovesSet = moves.is_set();
    m_random.seed(seed.is_set() ? m_seed : std::random_device{}());
    return true;
}

// The table is filled with zeros before connecting: once the game is set up the server's clock
// may already run. Only --search mcts needs none. Parsing alone (--help, a wrong option)
// allocates nothing; --list-params only prints.
bool AiPlayer::doRun() {
    if (m_listParams) {
        std::cout << paramListing();
        return true;
    }
    if (m_strategyName != "mcts") {
        m_table = std::make_unique<TranspositionTable>(m_hashMb, m_params.ttAgeWeight);
    }
    return m_analyseMap.empty() ? Client::doRun() : analyse();
}

// The board and the tables of the map are made here, before the first request is read.
Game* AiPlayer::initGame(const Map& map) {
    m_board = std::make_unique<SearchBoard>(map);
    m_movesThisGame = 0;
    prepareSearch(*m_board);
    return new Game(map, true);
}

void AiPlayer::deinitGame(Game* game) {
    Client::deinitGame(game);
    m_searcher.reset();
    m_mcts.reset();
    m_board.reset();
}

void AiPlayer::moveApplied(const Move& move) {
    if (m_board == nullptr) {
        return;
    }
    const SearchMove m = m_board->fromMove(move);
    if (m_board->isLegal(move.player, m)) {
        m_board->makeMove(m, move.player);
    } else {
        m_board.reset();
    }
}

void AiPlayer::playerDisqualified(Player player) {
    if (m_board != nullptr) {
        m_board->disqualify(player);
    }
}

SearchBoard& AiPlayer::positionOf(const Game& game) {
    if (m_board == nullptr || !samePosition(*m_board, game)) {
        LOG(loggerAI, DEBUG) << "Search board rebuilt from the game";
        m_board = std::make_unique<SearchBoard>(game);
    }
    return *m_board;
}

std::string AiPlayer::searchFor(const SearchBoard& board) const {
    if (!m_strategyName.empty()) {
        return m_strategyName;
    }
    return defaultSearch(board.players(), board.nonHoles(), board.hasSwapSquares());
}

// One search per game: the tree search, whose nodes take the --hash memory, or alpha-beta with
// the transposition table.
void AiPlayer::prepareSearch(const SearchBoard& board) {
    const std::string search = searchFor(board);
    if (search == "mcts") {
        m_mcts = std::make_unique<Mcts>(board, Mcts::nodesFor(m_hashMb), m_params);
        m_mcts->setSeed(m_random());
        return;
    }
    m_searcher = std::make_unique<Searcher>(board, m_table.get(), m_params);
    m_searcher->setStrategy(search == "paranoid" ? MultiPlayerSearch::PARANOID
                                                 : MultiPlayerSearch::BEST_REPLY);
    m_searcher->setSeed(m_random());
}

// Searches the game's position within the granted time, with the tree search or alpha-beta.
// Should the search find no move (it always finds one while the game offers any), the game's
// own first legal move goes out.
Move AiPlayer::getMove(Game* game, unsigned int timelimit, unsigned int depthlimit) {
    const auto start = requestArrival();
    SearchBoard& board = positionOf(*game);
    if (m_searcher == nullptr && m_mcts == nullptr) {
        prepareSearch(board);
    }
    if (m_movesThisGame++ < m_randomMoves) {
        const SearchMove drawn = randomMove(board);
        if (drawn.isValid()) {
            LOG(loggerAI, INFO) << "Move drawn at random";
            return board.toMove(drawn);
        }
    }
    SearchLimits limits = moveLimits(start, grantedMs(timelimit, m_moveTime), depthlimit, m_params);
    limits.nodes = m_nodeLimit;
    PlyMove best;
    std::string text;
    if (m_mcts != nullptr) {
        const MctsInfo info = m_mcts->search(board, limits);
        best = info.best;
        text = treeSummary(board, info, milliseconds(SearchClock::now() - start));
    } else {
        const SearchInfo info = m_searcher->search(board, limits);
        best = info.best;
        text = summary(board, info, milliseconds(SearchClock::now() - start));
    }
    if (!best.move.isValid()) {
        Move fallback;
        if (game->nextMove(fallback, false)) {
            LOG(loggerAI, WARN) << "No move searched, sending the first legal move";
            return fallback;
        }
        LOG(loggerAI, ERR) << "No legal move for player " << game->getCurrentPlayer();
        return Move();
    }
    LOG(loggerAI, INFO) << text;
    return board.toMove(best.move, best.player);
}

SearchMove AiPlayer::randomMove(const SearchBoard& board) {
    std::vector<SearchMove> moves;
    board.generateMoves(moves);
    std::vector<SearchMove> free;
    std::copy_if(moves.begin(), moves.end(), std::back_inserter(free),
                 [&](SearchMove m) { return m.bomb || !board.isOccupied(m.index); });
    const std::vector<SearchMove>& from = free.empty() ? moves : free;
    if (from.empty()) {
        return {};
    }
    std::uniform_int_distribution<std::size_t> pick(0, from.size() - 1);
    return from[pick(m_random)];
}

// Offline: the start of the map or a recorded position, searched for --movetime with a line
// per completed iteration on standard output.
bool AiPlayer::analyse() {
    Map map;
    if (!readProgramMap(map, m_analyseMap, loggerAI)) {
        return false;
    }
    GameRecordData record;
    RecordReplay replay;
    std::unique_ptr<SearchBoard> board;
    if (m_recordFile.empty()) {
        board = std::make_unique<SearchBoard>(map);
    } else {
        std::string error;
        if (!loadGameRecord(m_recordFile, record, error) || !replay.start(record, error)) {
            LOG(loggerAI, FATAL) << "Cannot read the record " << m_recordFile << ": " << error;
            return false;
        }
        if (mapText(replay.map()) != mapText(map)) {
            LOG(loggerAI, FATAL) << "The record " << m_recordFile << " was not played on "
                                 << m_analyseMap;
            return false;
        }
        unsigned moves = 0;
        while (!replay.atEnd() && (!m_recordMovesSet || moves < m_recordMoves)) {
            moves += record.events[replay.position()].kind == RecordEvent::Kind::MOVE;
            if (!replay.step(error)) {
                LOG(loggerAI, FATAL)
                    << "Cannot replay the record " << m_recordFile << ": " << error;
                return false;
            }
        }
        if (m_recordMovesSet && moves < m_recordMoves) {
            LOG(loggerAI, FATAL) << "The record " << m_recordFile << " holds only " << moves
                                 << " moves";
            return false;
        }
        board = std::make_unique<SearchBoard>(replay.game());
    }
    return analysePosition(*board);
}

bool AiPlayer::analysePosition(SearchBoard& board) {
    prepareSearch(board);
    std::cout << board.asSimpleString() << "Phase " << board.phase() << ", player "
              << board.toMove() << " to move" << std::endl;
    if (board.isFinal()) {
        std::cout << "The game is over" << std::endl;
        return true;
    }
    const auto start = SearchClock::now();
    SearchLimits limits = moveLimits(start, m_moveTime, 0, m_params);
    limits.nodes = m_nodeLimit;
    if (m_mcts != nullptr) {
        const MctsInfo info = m_mcts->search(board, limits);
        if (info.best.move.isValid()) {
            std::cout << treeSummary(board, info, milliseconds(SearchClock::now() - start))
                      << std::endl;
        }
        return printBest(board, info.best,
                         "value " + std::to_string(static_cast<int>(1000 * info.value)));
    }
    const auto report = [&board, start](const SearchInfo& info) {
        std::cout << "best " << moveText(board, info.best, board.players() > 2) << ' '
                  << summary(board, info, milliseconds(SearchClock::now() - start)) << std::endl;
    };
    const SearchInfo info = m_searcher->search(board, limits, report);
    return printBest(board, info.best,
                     "score " + std::to_string(info.score) + " depth " +
                         std::to_string(info.depth));
}
