"""Python players in real games: against reversi-bot through a real reversi-server, two Python
players of one process against each other (which needs the GIL released while the client
waits), and the errors: a get_move that raises or answers wrongly, a server that cannot be
reached or that drops the connection, and Ctrl-C while the client waits."""
import _thread
import random
import socket
import threading

import pytest

import reversi
from conftest import MAPS


class RecordingPlayer(reversi.Player):
    """Random legal moves; remembers the limits it was given."""

    def __init__(self, seed=0):
        super().__init__()
        self.random = random.Random(seed)
        self.limits = set()
        self.moves = 0

    def get_move(self, board, time_limit_ms, depth_limit):
        self.limits.add((time_limit_ms, depth_limit))
        self.moves += 1
        return self.random.choice(board.legal_moves())


@pytest.mark.parametrize("map_name", ["classic8x8.map", "transitions4p.map"])
def test_a_python_player_plays_whole_games_against_the_bot(server, map_name):
    game = server(MAPS / map_name, "--timelimit", "2000", "--depthlimit", "3")
    player = RecordingPlayer()
    bots = []
    result_box = []
    thread = threading.Thread(target=lambda: result_box.append(reversi.play(player, port=game.port)))
    thread.start()
    for seed in range(1, reversi.Map.load(str(MAPS / map_name)).players):
        bots.append(game.bot(seed))
    thread.join(timeout=120)
    log = game.finish()
    assert "Final board" in log and "isqualif" not in log
    result = result_box[0]
    assert result.board.is_over and 1 <= result.player <= result.board.players
    assert player.moves > 0 and player.limits == {(1500, 3)}
    assert all(bot.wait(timeout=30) == 0 for bot in bots)


def test_two_python_players_of_one_process_play_each_other(server):
    game = server(MAPS / "classic8x8.map")
    results = []
    threads = [threading.Thread(target=lambda seed=seed: results.append(
        reversi.play(RecordingPlayer(seed), port=game.port))) for seed in (1, 2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=120)
    assert "Final board" in game.finish()
    assert sorted(r.player for r in results) == [1, 2]
    assert results[0].board.scores == results[1].board.scores


class FailingPlayer(reversi.Player):
    def __init__(self, answer):
        super().__init__()
        self.answer = answer

    def get_move(self, board, time_limit_ms, depth_limit):
        return self.answer(board)


def raise_error(board):
    raise RuntimeError("no idea")


@pytest.mark.parametrize("answer, error, text", [
    (raise_error, RuntimeError, "no idea"),
    (lambda board: reversi.Move(0, 0), ValueError, "illegal move"),
    (lambda board: (3, 2), TypeError, "instead of a reversi.Move"),
])
def test_a_failing_get_move_ends_the_session_with_its_exception(server, answer, error, text):
    game = server(MAPS / "classic8x8.map")
    bot = game.bot()
    with pytest.raises(error, match=text):
        reversi.play(FailingPlayer(answer), port=game.port)
    game.finish()
    assert bot.wait(timeout=30) == 0


def test_unreachable_and_dropping_servers_raise_connection_error():
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", 0))
        port = listener.getsockname()[1]
        with pytest.raises(ConnectionError, match="cannot connect"):
            reversi.play(RecordingPlayer(), host="127.0.0.1", port=port)
        listener.listen()

        def accept_and_drop():
            connection, _ = listener.accept()
            connection.recv(16)
            connection.close()

        thread = threading.Thread(target=accept_and_drop)
        thread.start()
        with pytest.raises(ConnectionError, match="ended before the game"):
            reversi.play(RecordingPlayer(), host="127.0.0.1", port=port)
        thread.join()
    with pytest.raises(TypeError):
        reversi.play(object(), port=port)


def test_ctrl_c_ends_a_session_that_waits_for_the_server(server):
    game = server(MAPS / "classic8x8.map")  # waits for a second player who never comes
    timer = threading.Timer(0.3, _thread.interrupt_main)
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        reversi.play(RecordingPlayer(), port=game.port)
    timer.join()
