#!/usr/bin/env python3
"""Plays games between the greedy and the random player on one map, without a server, and
prints how each game ended and the totals. Seats alternate from game to game.

Usage: python3 selfplay.py [--map FILE] [--games N] [--seed S]
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import reversi  # noqa: E402
from greedy_player import GreedyPlayer  # noqa: E402
from random_player import RandomPlayer  # noqa: E402


def play_game(game_map, seats):
    """Plays one game; seats[p - 1] moves for player p. Returns the final board."""
    board = reversi.Board(game_map)
    while not board.is_over:
        player = seats[board.current_player - 1]
        board.play(player.get_move(board.copy(), 0, 0))
    return board


def main():
    parser = argparse.ArgumentParser(description="Greedy against random, without a server")
    parser.add_argument("--map", default="maps/classic8x8.map")
    parser.add_argument("--games", type=int, default=10)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    game_map = reversi.Map.load(args.map)
    players = {"greedy": GreedyPlayer(), "random": RandomPlayer(args.seed)}
    wins = {name: 0 for name in players}
    for game in range(args.games):
        names = [("greedy", "random")[(p + game) % 2] for p in range(game_map.players)]
        board = play_game(game_map, [players[name] for name in names])
        best = max(board.scores)
        winners = {names[p] for p, score in enumerate(board.scores) if score == best}
        for name in winners:
            wins[name] += 1
        print(f"game {game + 1}: seats {' '.join(names)} scores {board.scores}")
    print("wins (a shared first place counts for each): " +
          ", ".join(f"{name} {count}" for name, count in wins.items()))


if __name__ == "__main__":
    main()
