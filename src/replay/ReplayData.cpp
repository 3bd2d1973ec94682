#include "replay/ReplayData.hpp"

#include <sstream>

#include "common/GameBoard.hpp"

namespace {

ReplayFrame frameOf(const Game& game, int lastMove) {
    ReplayFrame frame;
    frame.picture = pictureOfGame(game);
    frame.picture.lastMove = lastMove;
    int scores[8] = {};
    game.get_scores(scores);
    const GameBoard& board = game.getBoard();
    for (Player p : game.getPlayers()) {
        frame.scores.push_back(scores[static_cast<unsigned>(p) - 1]);
        frame.stones.push_back(board.getStoneCount(p));
        frame.bombs.push_back(board.getBombs(p));
        frame.overrides.push_back(board.getOverrides(p));
    }
    frame.nextPlayer = game.is_final() ? 0 : static_cast<unsigned>(game.getCurrentPlayer());
    frame.phase = game.is_final() ? "over" : game.is_terminal() ? "bombs" : "build";
    return frame;
}

// "P2 (3,4)" with what the move does beyond a plain placement.
std::string describeMove(const RecordEvent& event, const Game& before) {
    std::ostringstream text;
    text << 'P' << static_cast<unsigned>(event.player) << " (" << event.x << ',' << event.y << ')';
    if (before.is_terminal()) {
        text << " bomb";
        return text.str();
    }
    const GameBoard& board = before.getBoard();
    const index_t index = board.coords2index(event.x, event.y);
    if (index != INVALID_INDEX && board.occupied(index)) {
        text << " override";
    }
    const auto choice = static_cast<unsigned>(event.choice);
    if (event.choice == MoveChoice::BOMB) {
        text << " bonus: bomb";
    } else if (event.choice == MoveChoice::OVERRIDE) {
        text << " bonus: override";
    } else if (choice >= 1 && choice <= 8) {
        text << " swap with P" << choice;
    }
    return text.str();
}

ReplayEvent describe(const RecordEvent& event, const Game& before) {
    ReplayEvent out;
    out.player = static_cast<unsigned>(event.player);
    out.bombPhase = before.is_terminal();
    out.disqualification = event.kind == RecordEvent::Kind::DISQUALIFY;
    out.text = out.disqualification
                   ? "P" + std::to_string(out.player) + " disqualified: " + event.reason
                   : describeMove(event, before);
    return out;
}

} // namespace

bool ReplayBuilder::start(const std::string& mapText, std::string& error) {
    m_record = GameRecordData();
    m_record.mapText = mapText;
    if (!m_replay.start(m_record, error)) {
        return false;
    }
    m_data = ReplayData();
    m_data.mapText = mapText;
    m_data.players = m_replay.map().getPlayers();
    m_lastMove = -1;
    m_data.frames.push_back(frameOf(m_replay.game(), m_lastMove));
    return true;
}

// The event joins the builder's own record, which the replay steps through.
bool ReplayBuilder::add(const RecordEvent& event, std::string& error) {
    ReplayEvent described = describe(event, m_replay.game());
    m_record.events.push_back(event);
    if (!m_replay.step(error)) {
        m_record.events.pop_back();
        return false;
    }
    if (!described.disqualification) {
        m_lastMove = m_replay.game().getBoard().coords2index(event.x, event.y);
    }
    m_data.events.push_back(described);
    m_data.frames.push_back(frameOf(m_replay.game(), m_lastMove));
    return true;
}

bool replayRecord(const GameRecordData& record, std::size_t limit, ReplayData& data,
                  std::string& error) {
    ReplayBuilder builder;
    if (!builder.start(record.mapText, error)) {
        return false;
    }
    for (std::size_t n = 0; n < limit && n < record.events.size(); ++n) {
        if (!builder.add(record.events[n], error)) {
            return false;
        }
    }
    data = std::move(builder.data());
    data.recordedScores = record.scores;
    return true;
}
