"""The Python board against the C++ engines: random games replayed move by move against the
search board (reversi-trace), move tree counts against the referee (reversi-perft), the
searcher's answers (also with an evaluation in Python), and the errors of bad maps, illegal
moves and bad arguments."""
import random
import subprocess

import pytest

import reversi
from conftest import BIN, MAPS, sample_maps

PHASES = {"0": "build", "1": "bomb"}


def parse_moves(words):
    return [reversi.Move(*map(int, word.split(","))) for word in words]


def replay(game_map, trace):
    """Replays a reversi-trace game on a Python board, comparing every position."""
    board = reversi.Board(game_map)
    for line in trace.splitlines():
        words = line.split()
        fields = {words[i]: i for i in range(len(words)) if not words[i][0].isdigit()}
        if words[0] == "end":
            assert board.is_over and board.current_player is None
            assert board.hash == int(words[2])
            assert board.scores == [int(w) for w in words[fields["scores"] + 1:]]
            return
        assert board.hash == int(words[1])
        assert board.current_player == int(words[3])
        assert board.phase == PHASES[words[5]]
        assert board.scores == [int(w) for w in words[fields["scores"] + 1:fields["moves"]]]
        moves = board.legal_moves()
        assert moves == parse_moves(words[fields["moves"] + 1:fields["pick"]])
        before = board.hash
        board.play(moves[-1])
        board.undo()
        assert board.hash == before
        board.play(moves[int(words[fields["pick"] + 1])])
    pytest.fail("the trace has no end line")


@pytest.mark.parametrize("map_path", sample_maps(), ids=lambda p: p.stem)
def test_random_games_agree_with_the_cpp_search_board(map_path):
    game_map = reversi.Map.load(str(map_path))
    for seed in range(1 if game_map.width * game_map.height > 1000 else 3):
        trace = subprocess.run([str(BIN / "reversi-trace"), str(map_path), str(seed)],
                               capture_output=True, text=True, check=True).stdout
        replay(game_map, trace)


def perft(board, depth):
    if depth == 0 or board.is_over:
        return 1 if depth == 0 else 0
    total = 0
    for move in board.legal_moves():
        board.play(move)
        total += perft(board, depth - 1)
        board.undo()
    return total


@pytest.mark.parametrize("map_path", sample_maps(), ids=lambda p: p.stem)
def test_move_tree_counts_agree_with_the_referee(map_path):
    game_map = reversi.Map.load(str(map_path))
    depth = 2 if game_map.width * game_map.height > 1000 else 3
    out = subprocess.run([str(BIN / "reversi-perft"), "-m", str(map_path), "-d", str(depth),
                          "--engine", "reference"], capture_output=True, text=True, check=True)
    expected = int(out.stdout.splitlines()[-1].split()[3])
    assert perft(reversi.Board(game_map), depth) == expected


def test_bad_maps_raise_value_error_with_the_readers_messages(tmp_path):
    with pytest.raises(ValueError, match="invalid map"):
        reversi.Map.load(str(tmp_path / "missing.map"))
    with pytest.raises(ValueError, match=r"Invalid map dimensions: \(3 x 0\)"):
        reversi.Map.from_text("2\n0\n0 0\n3 0\n")
    with pytest.raises(ValueError):
        reversi.Map.from_text("")
    text = (MAPS / "classic8x8.map").read_text()
    assert reversi.Map.from_text(text).text == reversi.Map.load(str(MAPS / "classic8x8.map")).text


def test_illegal_moves_and_bad_arguments_raise_and_change_nothing():
    board = reversi.Board(reversi.Map.load(str(MAPS / "classic8x8.map")))
    start = board.hash
    for move in [reversi.Move(0, 0), reversi.Move(-1, 3), reversi.Move(3, 2, 99),
                 reversi.Move(3, 2, 1000), reversi.Move(8, 0), reversi.Move(70000, 2)]:
        with pytest.raises(ValueError):
            board.play(move)
    with pytest.raises(TypeError):
        board.play((3, 2))
    with pytest.raises(ValueError):
        board.undo()
    with pytest.raises(ValueError):
        board.stones(3)
    with pytest.raises(ValueError):
        board.legal_moves(0)
    with pytest.raises(IndexError):
        board.square(8, 0)
    assert board.hash == start and board.move_number == 0
    assert board.legal_moves(2) == [reversi.Move(4, 2), reversi.Move(5, 3),
                                    reversi.Move(2, 4), reversi.Move(3, 5)]


def test_a_finished_game_has_no_moves_and_takes_none():
    board = reversi.Board(reversi.Map.load(str(MAPS / "classic8x8.map")))
    while not board.is_over:
        board.play(board.legal_moves()[0])
    assert board.phase == "over" and board.legal_moves() == []
    with pytest.raises(ValueError):
        board.play(reversi.Move(0, 0))
    with pytest.raises(ValueError):
        reversi.search(board, time_ms=10)
    board.undo()
    assert not board.is_over


def test_values_copies_and_the_array_view():
    np = pytest.importorskip("numpy")
    assert reversi.Move(1, 2) == reversi.Move(1, 2, 0) != reversi.Move(1, 2, reversi.BOMB)
    assert len({reversi.Move(1, 2), reversi.Move(1, 2), reversi.Move(2, 1)}) == 2
    assert repr(reversi.Move(3, 4, 21)) == "Move(3, 4, choice=21)"
    board = reversi.Board(reversi.Map.load(str(MAPS / "holes4p.map")))
    copy = board.copy()
    copy.play(copy.legal_moves()[0])
    assert copy.hash != board.hash and board.move_number == 0
    cells = copy.to_array()
    assert cells.shape == (copy.height, copy.width) and cells.dtype == np.int8
    assert (cells == reversi.HOLE).any()
    assert all(cells[y, x] == copy.square(x, y)
               for y in range(copy.height) for x in range(copy.width))
    for player in range(1, copy.players + 1):
        assert (cells == player).sum() == copy.stones(player)


def test_search_answers_with_a_legal_move_and_its_line():
    board = reversi.Board(reversi.Map.load(str(MAPS / "transitions4p.map")))
    for _ in range(5):
        board.play(board.legal_moves()[0])
    before = board.hash
    result = reversi.search(board, time_ms=0, depth=3)
    assert result.move in board.legal_moves()
    assert result.player == board.current_player
    assert result.pv[0] == result.move and 1 <= result.depth <= 3
    assert board.hash == before
    with pytest.raises(ValueError):
        reversi.search(board, time_ms=0, depth=0)


def test_search_with_a_python_evaluation():
    board = reversi.Board(reversi.Map.load(str(MAPS / "classic8x8.map")))
    rng = random.Random(1)
    for _ in range(12):
        board.play(rng.choice(board.legal_moves()))
    me = board.current_player

    def margin(position, player):
        return 2 * position.stones(player) - sum(position.scores)

    def after(move):
        board.play(move)
        value = margin(board, me)
        board.undo()
        return value

    best = max(after(move) for move in board.legal_moves())
    worst = min(after(move) for move in board.legal_moves())
    assert best > worst
    assert after(reversi.search(board, time_ms=0, depth=1, evaluate=margin).move) == best
    negated = reversi.search(board, time_ms=0, depth=1, evaluate=lambda b, p: -margin(b, p))
    assert after(negated.move) == worst
    with pytest.raises(ZeroDivisionError):
        reversi.search(board, time_ms=0, depth=3, evaluate=lambda b, p: 1 // 0)
