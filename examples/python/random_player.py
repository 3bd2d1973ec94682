#!/usr/bin/env python3
"""A Reversi player that answers every move request with a random legal move.

Usage: python3 random_player.py [--host HOST] [--port N] [--group G] [--seed S] [--verbose]
"""
import argparse
import random

import reversi


class RandomPlayer(reversi.Player):
    """Any legal move of the player on turn, drawn from its own random generator."""

    def __init__(self, seed=None):
        super().__init__()  # required: it sets up the C++ side of the player
        self.random = random.Random(seed)

    def get_move(self, board, time_limit_ms, depth_limit):
        return self.random.choice(board.legal_moves())


def main():
    parser = argparse.ArgumentParser(description="A random Reversi player")
    parser.add_argument("--host", default="localhost")
    parser.add_argument("--port", type=int, default=7777)
    parser.add_argument("--group", type=int, default=0)
    parser.add_argument("--seed", type=int)
    parser.add_argument("--verbose", action="store_true", help="log the session")
    args = parser.parse_args()
    result = reversi.play(RandomPlayer(args.seed), args.host, args.port, args.group, args.verbose)
    print(f"I was player {result.player}; final scores {result.board.scores}")


if __name__ == "__main__":
    main()
