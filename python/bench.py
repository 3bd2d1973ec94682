#!/usr/bin/env python3
"""Speed of the Python module against C++ on the same positions: rounds of legal_moves, play
and undo per second from Python and from C++ on positions of a random game on the classic and
the 50 x 50 map, and a random player's games per second without a server.

Usage: python3 python/bench.py [--maps DIR] [--seconds S]
(with the module on PYTHONPATH, e.g. PYTHONPATH=build/release/python)
"""
import argparse
import pathlib
import random
import time

import reversi


def positions(game_map, every, seed=7):
    """Copies of every `every`-th position of a random game."""
    rng = random.Random(seed)
    board = reversi.Board(game_map)
    found = []
    while not board.is_over:
        if board.move_number % every == 0:
            found.append(board.copy())
        board.play(rng.choice(board.legal_moves()))
    return found


def python_rounds(board, rounds):
    start = time.perf_counter()
    for _ in range(rounds):
        board.play(board.legal_moves()[0])
        board.undo()
    return time.perf_counter() - start


def compare(game_map, every, seconds, repeats=3):
    """Rounds per second from Python and from C++ on the same positions, measured in turn
    position by position; the best of `repeats` passes, against the noise of a busy machine."""
    boards = positions(game_map, every)
    rounds = max(1, int(20000 * seconds / len(boards) / repeats))
    py_best = cpp_best = float("inf")
    for _ in range(repeats):
        py_time = cpp_time = 0.0
        for board in boards:
            py_time += python_rounds(board, rounds)
            cpp_time += board._cycle_moves(rounds)
        py_best, cpp_best = min(py_best, py_time), min(cpp_best, cpp_time)
    total = rounds * len(boards)
    return len(boards), total / py_best, total / cpp_best


def random_games(game_map, seconds):
    rng = random.Random(1)
    games, start = 0, time.perf_counter()
    while time.perf_counter() - start < seconds:
        board = reversi.Board(game_map)
        while not board.is_over:
            board.play(rng.choice(board.legal_moves()))
        games += 1
    return games / (time.perf_counter() - start)


def main():
    parser = argparse.ArgumentParser(description="Speed of the Python module")
    parser.add_argument("--maps", default=str(pathlib.Path(__file__).parents[1] / "maps"))
    parser.add_argument("--seconds", type=float, default=2.0, help="rough time per measurement")
    args = parser.parse_args()
    maps = pathlib.Path(args.maps)
    print("legal_moves + play + undo of the first move, rounds per second:")
    for name, every in (("classic8x8", 4), ("huge50x50", 100)):
        game_map = reversi.Map.load(str(maps / f"{name}.map"))
        count, python, cpp = compare(game_map, every, args.seconds)
        print(f"  {name}: {count} positions, Python {python:,.0f}/s, C++ {cpp:,.0f}/s, "
              f"Python {cpp / python:.1f} x slower")
    for name in ("classic8x8", "huge50x50"):
        game_map = reversi.Map.load(str(maps / f"{name}.map"))
        print(f"random player without a server, {name}: "
              f"{random_games(game_map, args.seconds):,.1f} games/s")


if __name__ == "__main__":
    main()
