#include "arena/Tournament.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "arena/Progress.hpp"

namespace {

// The self-pipe: the signal handlers write a byte into it, and the loop's poll() wakes up.
int wakeRead = -1;
int wakeWrite = -1;
volatile std::sig_atomic_t stopSignal = 0;

// The longest sleep of the loop, so that the progress line stays current.
constexpr std::chrono::milliseconds MaxSleep{1000};

extern "C" void onSignal(int number) {
    const int saved = errno;
    if (number != SIGCHLD) {
        stopSignal = number;
    }
    const char byte = 0;
    [[maybe_unused]] const auto ignored = write(wakeWrite, &byte, 1);
    errno = saved;
}

// Installs the handlers for the time of a run and puts the old ones back afterwards.
class SignalScope {
public:
    SignalScope() {
        int ends[2];
        if (wakeRead < 0 && pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
            wakeRead = ends[0];
            wakeWrite = ends[1];
        }
        stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_NOCLDSTOP;
        for (std::size_t i = 0; i < std::size(Signals); ++i) {
            sigaction(Signals[i], &action, &m_old[i]);
        }
    }
    ~SignalScope() {
        for (std::size_t i = 0; i < std::size(Signals); ++i) {
            sigaction(Signals[i], &m_old[i], nullptr);
        }
    }
    SignalScope(const SignalScope&) = delete;
    SignalScope& operator=(const SignalScope&) = delete;

private:
    static constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP, SIGCHLD};
    struct sigaction m_old[std::size(Signals)]{};
};

void drainWakeups() {
    char buffer[256];
    while (read(wakeRead, buffer, sizeof buffer) > 0) {
    }
}

// Sleeps until a game's server writes, a signal comes, or the earliest wake-up time.
void sleepUntilSomethingHappens(const std::vector<std::unique_ptr<GameRun>>& running) {
    auto wake = Clock::now() + MaxSleep;
    std::vector<pollfd> watched{{wakeRead, POLLIN, 0}};
    for (const auto& game : running) {
        wake = std::min(wake, game->wakeAt());
        if (game->watchFd() >= 0) {
            watched.push_back({game->watchFd(), POLLIN, 0});
        }
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now());
    const int timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, MaxSleep.count()));
    poll(watched.data(), watched.size(), timeout);
    drainWakeups();
}

// A game that is over goes to the sink, unless a player could not start: that ends the run.
std::optional<RunEnd> handOn(const GameRun& game, const ResultSink& sink) {
    if (!game.startFailure().empty()) {
        LOG(arenaLogger(), FATAL) << game.startFailure();
        return RunEnd::PlayerCannotStart;
    }
    return sink(game.result()) ? std::optional<RunEnd>(RunEnd::Decided) : std::nullopt;
}

} // namespace

int interruptingSignal() {
    return stopSignal;
}

RunEnd runGames(const RunRequest& request, const GameSettings& settings, const ResultSink& sink) {
    const SignalScope signals;
    std::optional<Progress> progress;
    if (request.showProgress) {
        progress.emplace(static_cast<unsigned>(request.games.size()));
    }
    std::vector<std::unique_ptr<GameRun>> running;
    SeatedOnce seated(settings.players.size(), false);
    std::size_t next = 0;
    unsigned done = 0;
    RunEnd end = RunEnd::Completed;
    const unsigned concurrency = std::max(1u, request.concurrency);
    while (true) {
        if (stopSignal != 0) {
            end = RunEnd::Interrupted;
            break;
        }
        while (running.size() < concurrency && next < request.games.size()) {
            running.push_back(std::make_unique<GameRun>(request.games[next], settings,
                                                        request.bounds[next], seated));
            ++next;
        }
        std::optional<RunEnd> stop;
        bool freed = false;
        for (auto game = running.begin(); game != running.end() && !stop;) {
            if (!(*game)->advance()) {
                ++game;
                continue;
            }
            freed = true;
            if (progress) {
                progress->clear();
            }
            stop = handOn(**game, sink);
            done += stop != RunEnd::PlayerCannotStart ? 1 : 0;
            game = running.erase(game);
        }
        if (progress) {
            progress->update(done, static_cast<unsigned>(running.size()));
        }
        if (stop) {
            end = *stop;
            break;
        }
        if (running.empty() && next == request.games.size()) {
            break;
        }
        // A freed slot takes the next game at once.
        if (!freed || next == request.games.size()) {
            sleepUntilSomethingHappens(running);
        }
    }
    for (auto& game : running) {
        game->abort();
    }
    if (progress) {
        progress->finish(done);
    }
    return end;
}
