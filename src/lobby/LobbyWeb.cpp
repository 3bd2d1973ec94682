// The lobby's HTTP routes: pages, JSON and the event streams of running games. Every value from
// the request (ids, limits, states, the stream's resume position) is checked before use.
#include "lobby/LobbyWeb.hpp"

#include <chrono>
#include <optional>
#include <sstream>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "common/Logging.hpp"
#include "lobby/LobbyStandings.hpp"
#include "replay/ReplayPage.hpp"

namespace {

LogPtr loggerWeb = Logging::getLogger("reversi.lobby.web");

using Json = nlohmann::json;

// How long one turn of an event stream waits for news.
constexpr std::chrono::milliseconds StreamWait{1000};
// Ordinary requests get workers of their own beside the streams.
constexpr unsigned Workers = LobbyWeb::MaxStreams + 16;
constexpr unsigned DefaultLimit = 50;
constexpr std::time_t SocketTimeoutSeconds = 5;

// A decimal number of at most 15 digits and nothing else; none for anything else.
std::optional<std::int64_t> parseId(const std::string& text) {
    if (text.empty() || text.size() > 15 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoll(text);
}

void sendText(httplib::Response& res, int status, const std::string& text) {
    res.status = status;
    res.set_content(text + "\n", "text/plain; charset=utf-8");
}

// The game id of the path; none, with a 400 answer, when it is no number.
std::optional<std::int64_t> gameId(const httplib::Request& req, httplib::Response& res) {
    const auto id = parseId(req.matches[1]);
    if (!id) {
        sendText(res, 400, "a game id is a number");
    }
    return id;
}

// JSON text; bytes that are no UTF-8 (a map file's name, say) become U+FFFD instead of failing.
std::string jsonText(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void sendJson(httplib::Response& res, const Json& json) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(jsonText(json), "application/json");
}

std::string recordName(std::int64_t id) {
    return "game-" + std::to_string(id) + ".rec";
}

Json optionalNumber(const std::optional<double>& value) {
    return value ? Json(*value) : Json();
}

// The rating as the arena gives it: a value, or only a bound ("above"/"below") for a group
// that won or lost every outcome, with the ends of the 95 % interval (null when open).
Json eloJson(const EloEstimate& elo) {
    static const char* const kinds[] = {"value", "above", "below", "none"};
    return Json{{"kind", kinds[static_cast<unsigned>(elo.kind)]},
                {"elo", elo.elo},
                {"low", optionalNumber(elo.low)},
                {"high", optionalNumber(elo.high)}};
}

Json standingJson(const GroupStanding& line) {
    const PlayerStanding& player = line.standing;
    Json causes = Json::object();
    for (const auto cause : {DisqualifyCause::Time, DisqualifyCause::Illegal,
                             DisqualifyCause::Disconnect, DisqualifyCause::Other}) {
        causes[causeName(cause)] = player.disqualified[static_cast<std::size_t>(cause)];
    }
    return Json{{"group", line.group},
                {"rating", eloJson(player.elo)},
                {"games", player.games},
                {"wins", player.wins},
                {"meanRank", player.averageRank()},
                {"disqualified", causes},
                {"lastSeenMs", line.lastSeenMs}};
}

// A stored game; a running one has no scores yet but the number of events played so far.
Json gameJson(const StoredGame& game, const LiveGames& live) {
    const bool finished = game.state == "finished";
    Json seats = Json::array();
    for (std::size_t s = 0; s < game.seats.size(); ++s) {
        const StoredSeat& seat = game.seats[s];
        seats.push_back(Json{{"seat", s + 1},
                             {"group", seat.group},
                             {"score", finished ? Json(seat.score) : Json()},
                             {"disqualified", seat.reason.empty() ? Json() : Json(seat.reason)}});
    }
    Json json{{"id", game.id},
              {"map", game.map},
              {"state", game.state},
              {"startedMs", game.startedMs},
              {"endedMs", game.endedMs != 0 ? Json(game.endedMs) : Json()},
              {"seats", seats}};
    const auto feed = game.state == "running" ? live.find(game.id) : nullptr;
    if (feed != nullptr) {
        json["events"] = feed->size();
    }
    return json;
}

// The replay of a running game as far as its feed goes, built event by event.
class LiveReplay {
public:
    bool start(const std::string& head) {
        GameRecordData record;
        std::istringstream in(head);
        std::string error;
        if (readGameRecord(in, record, error) && m_builder.start(record.mapText, error)) {
            return true;
        }
        LOG(loggerWeb, ERR) << "Cannot replay a live game: " << error;
        return false;
    }
    bool add(const LiveEntry& entry) {
        std::string error;
        if (m_builder.add(entry.event, error)) {
            return true;
        }
        LOG(loggerWeb, ERR) << "Cannot replay a live game: " << error;
        return false;
    }
    ReplayData& data() { return m_builder.data(); }

private:
    ReplayBuilder m_builder;
};

// One reader of a game's events. It holds a stream slot for its lifetime and replays the feed
// itself, so that each event goes out with the frame the page shows.
class EventStream {
public:
    EventStream(std::shared_ptr<LiveFeed> feed, std::size_t from, std::atomic<unsigned>& slots)
        : m_feed(std::move(feed)), m_from(from), m_slots(slots) {}
    ~EventStream() { --m_slots; }
    EventStream(const EventStream&) = delete;
    EventStream& operator=(const EventStream&) = delete;

    // One turn: waits a little for news and writes it; false when the reader is gone.
    bool pump(httplib::DataSink& sink) {
        const LiveSnapshot snapshot = m_feed->since(m_added, StreamWait);
        if (!m_started) {
            m_started = m_replay.start(snapshot.head);
            if (!m_started) {
                sink.done();
                return true;
            }
        }
        std::string out;
        for (const LiveEntry& entry : snapshot.entries) {
            if (!m_replay.add(entry)) {
                sink.done();
                return true;
            }
            ++m_added;
            if (m_added > m_from) {
                out += eventText(entry);
            }
        }
        if (snapshot.ended) {
            out += "event: end\ndata: " +
                   jsonText(Json{{"lines", snapshot.tail}, {"endedMs", snapshot.endedMs}}) + "\n\n";
        }
        // A turn without news writes a comment, so that a reader that has gone is found, and
        // its slot freed, within a turn or two.
        if (out.empty()) {
            out = ":\n\n";
        }
        if (!sink.write(out.data(), out.size())) {
            return false;
        }
        if (snapshot.ended) {
            sink.done();
        }
        return true;
    }

private:
    // "id: n" and the event's data: its record line, the referee's apply time, the frame and
    // the move list's entry.
    std::string eventText(const LiveEntry& entry) {
        const ReplayData& data = m_replay.data();
        return "id: " + std::to_string(m_added) + "\ndata: {\"n\":" + std::to_string(m_added) +
               ",\"appliedMs\":" + std::to_string(entry.appliedMs) +
               ",\"lines\":" + jsonText(Json(entry.line)) +
               ",\"frame\":" + frameJson(data, m_added) +
               ",\"event\":" + eventJson(data.events.back()) + "}\n\n";
    }

    std::shared_ptr<LiveFeed> m_feed;
    const std::size_t m_from;
    std::atomic<unsigned>& m_slots;
    LiveReplay m_replay;
    bool m_started = false;
    std::size_t m_added = 0;
};

} // namespace

LobbyWeb::LobbyWeb(const LiveGames& live) : m_live(live) {}

LobbyWeb::~LobbyWeb() {
    stop();
}

bool LobbyWeb::start(const std::string& dbFile, std::uint16_t port) {
    if (!m_store.openForReading(dbFile)) {
        return false;
    }
    m_server = std::make_unique<httplib::Server>();
    m_server->new_task_queue = [] { return new httplib::ThreadPool(Workers); };
    m_server->set_read_timeout(SocketTimeoutSeconds, 0);
    m_server->set_write_timeout(SocketTimeoutSeconds, 0);
    m_server->set_payload_max_length(4096);
    route();
    const int bound = port == 0 ? m_server->bind_to_any_port("0.0.0.0")
                                : (m_server->bind_to_port("0.0.0.0", port) ? port : -1);
    if (bound <= 0) {
        LOG(loggerWeb, ERR) << "Cannot listen for HTTP on port " << port;
        return false;
    }
    LOG(loggerWeb, INFO) << "HTTP on port " << bound;
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // A stop before the server runs would be lost, and the join would wait for ever.
    for (int wait = 0; wait < 1000 && !m_server->is_running(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void LobbyWeb::stop() {
    m_stopping = true;
    if (m_server != nullptr) {
        m_server->stop();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void LobbyWeb::route() {
    httplib::Server& server = *m_server;
    server.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(LOBBY_PAGE, "text/html; charset=utf-8");
    });
    server.Get("/api/standings",
               [this](const httplib::Request&, httplib::Response& res) { standings(res); });
    server.Get("/api/games", [this](const auto& req, auto& res) { gameList(req, res); });
    server.Get(R"(/api/games/([^/]+))", [this](const auto& req, auto& res) { gameInfo(req, res); });
    server.Get(R"(/api/games/([^/]+)/record)",
               [this](const auto& req, auto& res) { gameRecord(req, res); });
    server.Get(R"(/games/([^/]+))", [this](const auto& req, auto& res) { gamePage(req, res); });
    server.Get(R"(/games/([^/]+)/events)",
               [this](const auto& req, auto& res) { gameEvents(req, res); });
    const auto readOnly = [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Allow", "GET, HEAD");
        sendText(res, 405, "only GET and HEAD");
    };
    server.Post(".*", readOnly).Put(".*", readOnly).Patch(".*", readOnly).Delete(".*", readOnly);
    server.Options(".*", readOnly);
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) {
            sendText(res, res.status, res.status == 404 ? "not found" : "bad request");
        }
    });
}

void LobbyWeb::standings(httplib::Response& res) {
    Json groups = Json::array();
    for (const GroupStanding& line : groupStandings(m_store)) {
        groups.push_back(standingJson(line));
    }
    sendJson(res, Json{{"groups", groups}});
}

// ?state=running|finished (all games without it) and ?limit=N, the newest N, at most MaxLimit.
void LobbyWeb::gameList(const httplib::Request& req, httplib::Response& res) {
    const std::string state = req.get_param_value("state");
    if (!state.empty() && state != "running" && state != "finished") {
        sendText(res, 400, "state must be running or finished");
        return;
    }
    std::int64_t limit = DefaultLimit;
    if (req.has_param("limit")) {
        const auto given = parseId(req.get_param_value("limit"));
        if (!given || *given == 0) {
            sendText(res, 400, "limit must be a number from 1 on");
            return;
        }
        limit = std::min<std::int64_t>(*given, MaxLimit);
    }
    Json games = Json::array();
    for (const StoredGame& game : m_store.games(state, static_cast<unsigned>(limit))) {
        games.push_back(gameJson(game, m_live));
    }
    sendJson(res, games);
}

void LobbyWeb::gameInfo(const httplib::Request& req, httplib::Response& res) {
    const auto id = gameId(req, res);
    if (!id) {
        return;
    }
    const auto game = m_store.game(*id);
    if (!game) {
        sendText(res, 404, "no game " + std::to_string(*id));
        return;
    }
    sendJson(res, gameJson(*game, m_live));
}

// A finished game's record as stored; a running game's record so far, which a reader reads as
// unfinished; nothing for an aborted game.
void LobbyWeb::gameRecord(const httplib::Request& req, httplib::Response& res) {
    const auto id = gameId(req, res);
    if (!id) {
        return;
    }
    const auto feed = m_live.find(*id);
    const auto record = feed != nullptr ? std::optional(feed->record()) : m_store.record(*id);
    if (!record) {
        sendText(res, 404, "no record of game " + std::to_string(*id));
        return;
    }
    res.set_header("Content-Disposition", "inline; filename=\"" + recordName(*id) + "\"");
    res.set_content(*record, "text/plain; charset=utf-8");
}

// The replay page of a finished game is that of `reversi-map replay game-ID.rec`; a running
// game's page shows it as far as it went and follows its event stream.
void LobbyWeb::gamePage(const httplib::Request& req, httplib::Response& res) {
    const auto id = gameId(req, res);
    if (!id) {
        return;
    }
    const std::string title = "Replay of " + recordName(*id);
    if (const auto feed = m_live.find(*id)) {
        const LiveSnapshot snapshot = feed->since(0, std::chrono::milliseconds(0));
        LiveReplay replay;
        bool valid = replay.start(snapshot.head);
        for (std::size_t n = 0; valid && n < snapshot.entries.size(); ++n) {
            valid = replay.add(snapshot.entries[n]);
        }
        Map map;
        if (!valid || !map.loadFromString(replay.data().mapText)) {
            sendText(res, 500, "cannot replay game " + std::to_string(*id));
            return;
        }
        const std::string events = "/games/" + std::to_string(*id) + "/events";
        res.set_content(replayPage(map, replay.data(), title, events), "text/html; charset=utf-8");
        return;
    }
    const auto text = m_store.record(*id);
    GameRecordData record;
    std::istringstream in(text.value_or(""));
    std::string page;
    std::string error;
    if (!text || !readGameRecord(in, record, error) ||
        !recordReplayPage(record, title, page, error)) {
        sendText(res, 404, "no record of game " + std::to_string(*id));
        return;
    }
    res.set_content(page, "text/html; charset=utf-8");
}

// Server-Sent Events of a running game from the position the reader names (the Last-Event-ID
// of a reconnecting browser, else ?from=N, else the start), ended by an "end" event.
void LobbyWeb::gameEvents(const httplib::Request& req, httplib::Response& res) {
    const auto id = parseId(req.matches[1]);
    const std::string fromText = req.has_header("Last-Event-ID")
                                     ? req.get_header_value("Last-Event-ID")
                                     : req.get_param_value("from");
    const auto from = fromText.empty() ? std::optional<std::int64_t>(0) : parseId(fromText);
    if (!id || !from) {
        sendText(res, 400, "a game id and an event position are numbers");
        return;
    }
    auto feed = m_live.find(*id);
    if (feed == nullptr) {
        sendText(res, 404, "game " + std::to_string(*id) + " is not running");
        return;
    }
    if (++m_streams > MaxStreams) {
        --m_streams;
        sendText(res, 503, "too many live viewers");
        return;
    }
    auto stream =
        std::make_shared<EventStream>(std::move(feed), static_cast<std::size_t>(*from), m_streams);
    res.set_header("Cache-Control", "no-store");
    res.set_chunked_content_provider("text/event-stream",
                                     [this, stream](std::size_t, httplib::DataSink& sink) {
                                         return !m_stopping && stream->pump(sink);
                                     });
}
