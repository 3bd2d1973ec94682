// The session and the console player inside the test process: a Client subclass as a bot
// would write one, and the console dialogue with its standard streams redirected.

#include <future>
#include <sstream>

#include <gtest/gtest.h>

#include "client/consoleClient.hpp"
#include "common/colors.hpp"
#include "tests/support/ClientHarness.hpp"

using namespace testing_support;

namespace {

// Records what getMove was given and answers with a fixed move.
class RecordingClient : public Client {
public:
    explicit RecordingClient(Move answer) : Client(42), m_answer(answer) {}

    struct Request {
        unsigned timelimit;
        unsigned depthlimit;
        Player currentPlayer;
    };
    std::vector<Request> requests;
    Player player() const { return getPlayer(); }

protected:
    Move getMove(Game* game, unsigned int timelimit, unsigned int depthlimit) override {
        requests.push_back({timelimit, depthlimit, game->getCurrentPlayer()});
        return m_answer;
    }

private:
    Move m_answer;
};

// The client's session on its own thread against `server`. Leaving the scope closes the
// server first, so that a test that stops half way never waits for a client that still
// expects messages.
class BackgroundSession {
public:
    BackgroundSession(Client& client, ScriptedServer& server) : m_server(server) {
        auto args = server.clientArgs();
        args.insert(args.begin(), "client");
        std::vector<const char*> argv;
        for (const auto& arg : args) {
            argv.push_back(arg.c_str());
        }
        if (client.init(static_cast<int>(argv.size()), argv.data())) {
            m_result = std::async(std::launch::async, [&client] { return client.run(); });
        }
    }
    BackgroundSession(const BackgroundSession&) = delete;
    BackgroundSession& operator=(const BackgroundSession&) = delete;
    ~BackgroundSession() { m_server.close(); }

    // The session's result once it ended within the limit; false otherwise.
    bool ended(std::chrono::seconds limit, bool& result) {
        if (!m_result.valid() || m_result.wait_for(limit) != std::future_status::ready) {
            return false;
        }
        result = m_result.get();
        return true;
    }

private:
    ScriptedServer& m_server;
    std::future<bool> m_result;
};

// The console player asked directly, with its console replaced by strings.
class DialogueClient : public ConsoleClient {
public:
    explicit DialogueClient(Player player) { m_playerNum = player; }

    // The person's answers go in; the move and everything written come out.
    Move ask(Game& game, const std::string& answers, std::string& written) {
        std::istringstream in(answers);
        std::ostringstream out;
        auto* oldIn = std::cin.rdbuf(in.rdbuf());
        auto* oldOut = std::cout.rdbuf(out.rdbuf());
        const Move move = getMove(&game, 0, 0);
        std::cin.rdbuf(oldIn);
        std::cout.rdbuf(oldOut);
        std::cin.clear();
        written = out.str();
        return move;
    }
};

} // namespace

TEST(ClientInProcess, GetMoveSeesTheLimitsAfterTheSafetyOffset) {
    ScriptedServer server;
    RecordingClient client(Move(2, 0, MoveChoice::NONE, Player::P1, false));
    BackgroundSession session(client, server);
    ASSERT_TRUE(server.accept());
    EXPECT_EQ(server.receiveGroupId(), 42);
    ASSERT_TRUE(server.peer().send_gameboard(client_maps::Line));
    ASSERT_TRUE(server.peer().send_client_playernum(static_cast<Player>(2)));
    payload_move move{};
    for (const std::uint32_t limit : {500u, 501u, 0u, 4294967295u}) {
        ASSERT_TRUE(server.requestMove(limit, 255, move));
        EXPECT_EQ(move.x, 2);
    }
    server.peer().send_fin();
    bool result = false;
    ASSERT_TRUE(session.ended(std::chrono::seconds(20), result));
    EXPECT_TRUE(result);
    ASSERT_EQ(client.requests.size(), 4u);
    const unsigned expected[] = {500u, 1u, 0u, 4294966795u};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(client.requests[i].timelimit, expected[i]);
        EXPECT_EQ(client.requests[i].depthlimit, 255u);
        // The request is answered although the local game has player 1 on turn.
        EXPECT_EQ(client.requests[i].currentPlayer, Player::P1);
    }
    EXPECT_EQ(client.player(), static_cast<Player>(2));
}

TEST(ClientInProcess, AnInvalidMoveEndsTheSessionWithoutSending) {
    ScriptedServer server;
    RecordingClient client{Move()};
    BackgroundSession session(client, server);
    ASSERT_TRUE(server.accept());
    ASSERT_TRUE(server.opening(client_maps::Line, Player::P1));
    ASSERT_TRUE(server.peer().send_moverequest(1000, 0));
    // The session ends first, so that the two threads never log at the same time.
    bool result = true;
    ASSERT_TRUE(session.ended(std::chrono::seconds(20), result));
    EXPECT_FALSE(result);
    EXPECT_EQ(server.receive(), MsgType::FAIL);
    EXPECT_EQ(client.player(), Player::P1);
}

TEST(ClientInProcess, ErrorLineIsRedWithColours) {
    Map map;
    ASSERT_TRUE(map.loadFromString(client_maps::Line));
    Game game(map, true);
    DialogueClient console(Player::P1);
    std::string written;
    const bool saved = ansi::enableColor;
    ansi::enableColor = true;
    console.ask(game, "0 0\n2 0\n", written);
    ansi::enableColor = saved;
    EXPECT_NE(written.find("\n\x1b[;31mInvalid move coordinates!\x1b[m\n"), std::string::npos)
        << written;
}
