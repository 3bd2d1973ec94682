#!/usr/bin/env python3
"""A Reversi player that takes the move leaving it the most stones (in the bomb phase, the
throw that leaves it the most ahead), trying each move on the board and taking it back.

Usage: python3 greedy_player.py [--host HOST] [--port N] [--group G] [--verbose]
"""
import argparse

import reversi


class GreedyPlayer(reversi.Player):
    """The legal move with the best stone count one move later."""

    def get_move(self, board, time_limit_ms, depth_limit):
        me = board.current_player
        best, best_value = None, None
        for move in board.legal_moves():
            board.play(move)
            value = 2 * board.stones(me) - sum(board.scores)
            board.undo()
            if best_value is None or value > best_value:
                best, best_value = move, value
        return best


def main():
    parser = argparse.ArgumentParser(description="A greedy Reversi player")
    parser.add_argument("--host", default="localhost")
    parser.add_argument("--port", type=int, default=7777)
    parser.add_argument("--group", type=int, default=0)
    parser.add_argument("--verbose", action="store_true", help="log the session")
    args = parser.parse_args()
    result = reversi.play(GreedyPlayer(), args.host, args.port, args.group, args.verbose)
    print(f"I was player {result.player}; final scores {result.board.scores}")


if __name__ == "__main__":
    main()
