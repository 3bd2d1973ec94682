// reversi.Player and reversi.play: a Python class decides the moves of the C++ network client.
// The client runs without the GIL while it waits on the server and takes it for each call of
// the player's get_move. Whatever goes wrong in Python ends the session cleanly and is raised
// again from play once the connection is closed.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <sys/socket.h>

#include <pybind11/pybind11.h>

#include "Bindings.hpp"
#include "client/Client.hpp"
#include "common/Logging.hpp"

namespace py = pybind11;

namespace reversi_python {

namespace {

// The base class that Python players derive from.
class PyPlayer {
public:
    PyPlayer() = default;
    virtual ~PyPlayer() = default;
    PyPlayer(const PyPlayer&) = delete;
    PyPlayer& operator=(const PyPlayer&) = delete;

    virtual PyMove getMove(py::object board, unsigned timeLimitMs, unsigned depthLimit) = 0;
};

// Forwards getMove to the Python subclass's get_move and checks what it returns.
class PyPlayerTrampoline : public PyPlayer {
public:
    PyMove getMove(py::object board, unsigned timeLimitMs, unsigned depthLimit) override {
        const py::function method =
            py::get_override(static_cast<const PyPlayer*>(this), "get_move");
        if (!method) {
            throw py::type_error("a reversi.Player must define get_move(board, time_limit_ms, "
                                 "depth_limit)");
        }
        const py::object result = method(board, timeLimitMs, depthLimit);
        if (!py::isinstance<PyMove>(result)) {
            throw py::type_error("get_move returned " +
                                 py::str(py::type::of(result)).cast<std::string>() +
                                 " instead of a reversi.Move");
        }
        return result.cast<PyMove>();
    }
};

// What a session ended with: this client's player number and the last position.
struct PyGameResult {
    int player = 0;
    py::object board;
};

// The connection of a session, which another thread may shut down to end the session: the
// client waits in a blocking receive that neither a signal nor Python can interrupt. The
// registry knows the socket from the connection until the handle is closed.
class InterruptibleSocket : public TcpClient {
public:
    struct Registry {
        std::mutex mutex;
        const InterruptibleSocket* socket = nullptr;
    };

    explicit InterruptibleSocket(std::shared_ptr<Registry> registry)
        : m_registry(std::move(registry)) {}
    // Makes the connected socket known, once its handle no longer changes.
    void enlist() {
        const std::lock_guard<std::mutex> lock(m_registry->mutex);
        m_registry->socket = this;
    }
    // Leaves the registry before the base class closes the handle.
    ~InterruptibleSocket() override {
        const std::lock_guard<std::mutex> lock(m_registry->mutex);
        m_registry->socket = nullptr;
    }
    InterruptibleSocket(const InterruptibleSocket&) = delete;
    InterruptibleSocket& operator=(const InterruptibleSocket&) = delete;

    // Ends the session's connection, if it is still open; a blocked receive returns at once.
    static void shutdownOpen(Registry& registry) {
        const std::lock_guard<std::mutex> lock(registry.mutex);
        if (registry.socket != nullptr) {
            ::shutdown(registry.socket->m_sock, SHUT_RDWR);
        }
    }

private:
    std::shared_ptr<Registry> m_registry;
};

// The network client of one session whose moves come from a Python player.
class PythonClient : public Client {
public:
    PythonClient(py::object player, std::uint8_t group)
        : Client(group), m_object(std::move(player)), m_player(m_object.cast<PyPlayer*>()) {}

    // Connects and plays; called without the GIL. False when the connection could not be made
    // (`connected` false) or the session ended before the end of the game.
    bool play(const std::string& host, std::uint16_t port, bool& connected) {
        m_serverHost = host;
        m_serverPort = port;
        auto connection = std::make_unique<InterruptibleSocket>(m_sockets);
        connected = connection->connect_to(host, port);
        if (!connected) {
            return false;
        }
        connection->enlist();
        return runSession(std::move(connection));
    }

    // Ends the session from another thread by closing its connection.
    void interrupt() { InterruptibleSocket::shutdownOpen(*m_sockets); }

    // The exception of the Python player or of its answer, if any.
    std::exception_ptr error() const { return m_error; }
    std::unique_ptr<PyBoard> takeFinalBoard() { return std::move(m_final); }
    int playerNumber() const { return static_cast<int>(getPlayer()); }

protected:
    // Keeps a copy of the map (through its text) for the boards handed to Python.
    Game* initGame(const Map& map) override {
        auto copy = std::make_shared<Map>();
        copy->loadFromString(mapText(map));
        m_map = copy;
        return Client::initGame(map);
    }

    void deinitGame(Game* game) override {
        m_final = std::make_unique<PyBoard>(m_map, SearchBoard(*game));
        Client::deinitGame(game);
    }

    Move getMove(Game* game, unsigned int timelimit, unsigned int depthlimit) override {
        const PyBoard position(m_map, SearchBoard(*game));
        py::gil_scoped_acquire gil;
        try {
            const PyMove chosen =
                m_player->getMove(py::cast(PyBoard(position)), timelimit, depthlimit);
            return position.board().toMove(position.legalMove(chosen));
        } catch (...) {
            m_error = std::current_exception();
        }
        return Move();
    }

private:
    py::object m_object;
    PyPlayer* m_player;
    std::shared_ptr<const Map> m_map;
    std::unique_ptr<PyBoard> m_final;
    std::exception_ptr m_error;
    std::shared_ptr<InterruptibleSocket::Registry> m_sockets =
        std::make_shared<InterruptibleSocket::Registry>();
};

// The program's log on standard output: INFO and up when verbose, otherwise warnings only.
void setupLog(bool verbose) {
    Logging::setupLogging("");
    logcraft::Logger::getRootLogger()->setLevel(verbose ? logcraft::LogLevel::INFO
                                                        : logcraft::LogLevel::WARN);
}

[[noreturn]] void raiseConnectionError(const std::string& message) {
    PyErr_SetString(PyExc_ConnectionError, message.c_str());
    throw py::error_already_set();
}

// Runs the session on a thread of its own while this thread, without the GIL, looks every
// SignalCheckInterval for a signal such as Ctrl-C; on one it ends the session and raises what
// the signal handler raised (KeyboardInterrupt). Returns whether the server ended the game.
bool runInterruptibly(PythonClient& client, const std::string& host, std::uint16_t port,
                      bool& connected) {
    constexpr auto SignalCheckInterval = std::chrono::milliseconds(100);
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    bool finished = false;
    bool interrupted = false;
    {
        py::gil_scoped_release release;
        std::thread session([&] {
            const bool result = client.play(host, port, connected);
            const std::lock_guard<std::mutex> lock(mutex);
            finished = result;
            done = true;
            ended.notify_one();
        });
        std::unique_lock<std::mutex> lock(mutex);
        while (!ended.wait_for(lock, SignalCheckInterval, [&done] { return done; })) {
            lock.unlock();
            if (!interrupted) {
                py::gil_scoped_acquire gil;
                interrupted = PyErr_CheckSignals() != 0;
            }
            if (interrupted) {
                client.interrupt();
            }
            lock.lock();
        }
        lock.unlock();
        session.join();
    }
    if (interrupted) {
        throw py::error_already_set();
    }
    return finished;
}

// Plays one session; a signal's exception comes first, then the exception of the player, if
// any, then a failed connection or a session that ended without the server's end of game.
PyGameResult play(const py::object& player, const std::string& host, std::uint16_t port,
                  std::uint8_t group, bool verbose) {
    if (!py::isinstance<PyPlayer>(player)) {
        throw py::type_error("play needs a reversi.Player");
    }
    setupLog(verbose);
    PythonClient client(player, group);
    bool connected = false;
    const bool finished = runInterruptibly(client, host, port, connected);
    if (client.error()) {
        std::rethrow_exception(client.error());
    }
    if (!connected) {
        raiseConnectionError("cannot connect to " + host + " port " + std::to_string(port));
    }
    std::unique_ptr<PyBoard> board = client.takeFinalBoard();
    if (!finished || board == nullptr) {
        raiseConnectionError("the connection to " + host + " ended before the game did");
    }
    return PyGameResult{client.playerNumber(), py::cast(std::move(*board))};
}

} // namespace

void bindPlayer(py::module_& module) {
    py::class_<PyPlayer, PyPlayerTrampoline>(
        module, "Player",
        "Derive from it and define get_move(self, board, time_limit_ms, depth_limit) -> Move")
        .def(py::init<>())
        .def("get_move", &PyPlayer::getMove, py::arg("board"), py::arg("time_limit_ms"),
             py::arg("depth_limit"));
    py::class_<PyGameResult>(module, "GameResult", "How a session of reversi.play ended")
        .def_readonly("player", &PyGameResult::player, "The player number this client had")
        .def_readonly("board", &PyGameResult::board, "The final position")
        .def("__repr__", [](const PyGameResult& r) {
            return "<reversi.GameResult player " + std::to_string(r.player) + ">";
        });
    module.def("play", &play, py::arg("player"), py::arg("host") = "localhost",
               py::arg("port") = 7777, py::arg("group") = 0, py::arg("verbose") = false,
               "Plays one game on a server with the player; returns a GameResult. Raises "
               "ConnectionError when the server cannot be reached or the connection ends before "
               "the game, and the player's own exception when get_move raises one");
}

} // namespace reversi_python
