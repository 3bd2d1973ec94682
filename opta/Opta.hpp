// The argument parser.
