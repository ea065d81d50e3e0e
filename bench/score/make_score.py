#!/usr/bin/env python3
"""Writes a score of N note lines, like a long piece: melody and chords, about 19 bytes a line."""
import random
import sys

def main():
    notes = int(sys.argv[1])
    random.seed(notes)
    out = sys.stdout
    lines = []
    for i in range(notes):
        interval = 0 if i == 0 else random.choice((120, 120, 240, 60, 480))
        key = random.randint(36, 96)
        velocity = random.randint(100, 127)
        length = random.choice((60, 110, 120, 230, 480))
        lines.append(f"I{interval} K{key} V{velocity} L{length}\n")
        if len(lines) == 10000:
            out.write("".join(lines))
            lines.clear()
    out.write("".join(lines))

main()
