#!/usr/bin/env python3
"""Writes a large assembly program in two dialects with the same instructions.

    gen.py LINES KIND OUT_TORVANE OUT_GAS

KIND is "mixed" (about one label every ten lines) or "labels" (a label on every line). The
torvane file and the GNU as file hold the same lines; the GNU as file starts with
".set noreorder" and ".set noat" so that it assembles every instruction as written and accepts
register 1. Only instructions whose meaning is the same for both assemblers are used, with
numeric registers and immediates that fit their fields.

The output depends only on the arguments: the pseudo-random numbers come from a fixed
generator of our own, not from a library whose sequence could change between versions.
"""

import sys

MASK64 = (1 << 64) - 1


class Rng:
    """xorshift64*: small, fast enough, and the same everywhere."""

    def __init__(self, seed):
        self.state = seed & MASK64 or 1

    def next(self):
        x = self.state
        x ^= x >> 12
        x ^= (x << 25) & MASK64
        x ^= x >> 27
        self.state = x
        return ((x * 0x2545F4914F6CDD1D) & MASK64) >> 32

    def below(self, n):
        return self.next() % n

    def between(self, lo, hi):
        return lo + self.next() % (hi - lo + 1)


ALU3 = ["addu", "subu", "and", "or", "xor", "nor", "slt", "sltu", "add"]
IMM_SIGNED = ["addi", "addiu", "slti", "sltiu"]
IMM_UNSIGNED = ["andi", "ori", "xori"]
SHIFT_IMM = ["sll", "srl", "sra"]
SHIFT_REG = ["sllv", "srlv", "srav"]
MEMORY = ["lw", "sw", "lb", "lbu", "sb", "lh", "lhu", "sh"]
BRANCH2 = ["beq", "bne"]
BRANCH1 = ["bltz", "bgez", "blez", "bgtz"]
JUMP = ["j", "jal"]
MULDIV = ["mult", "multu"]
HILO = ["mfhi", "mflo", "mthi", "mtlo"]
DATA = [".word", ".half", ".byte"]
COMMENTS = ["# loop body", "# next item", "# keep the sum", "# adjust the pointer",
            "# check the bound", "# save the result"]


def reg(rng):
    return "$%d" % rng.between(1, 31)


def immediate(rng, signed):
    """A value for a 16-bit field; one in ten is a small expression."""
    if rng.below(10) == 0:
        return "%d+%d" % (rng.between(1, 99), rng.between(1, 99))
    if signed:
        return str(rng.between(0, 65535) - 32768)
    if rng.below(2):
        return "0x%X" % rng.between(0, 65535)
    return str(rng.between(0, 65535))


def instruction(rng, label, labels):
    """One instruction line's text (without label and comment)."""
    r = rng.below(95)  # the 5 % of data lines are decided by the caller
    if r < 30:
        return "%s\t%s, %s, %s" % (ALU3[rng.below(len(ALU3))], reg(rng), reg(rng), reg(rng))
    if r < 52:
        k = rng.below(8)
        if k < 4:
            return "%s\t%s, %s, %s" % (IMM_SIGNED[k], reg(rng), reg(rng), immediate(rng, True))
        if k < 7:
            return "%s\t%s, %s, %s" % (IMM_UNSIGNED[k - 4], reg(rng), reg(rng),
                                       immediate(rng, False))
        return "lui\t%s, %s" % (reg(rng), immediate(rng, False))
    if r < 57:
        if rng.below(3):
            return "%s\t%s, %s, %d" % (SHIFT_IMM[rng.below(3)], reg(rng), reg(rng),
                                       rng.between(0, 31))
        return "%s\t%s, %s, %s" % (SHIFT_REG[rng.below(3)], reg(rng), reg(rng), reg(rng))
    if r < 72:
        return "%s\t%s, %d(%s)" % (MEMORY[rng.below(len(MEMORY))], reg(rng),
                                   rng.between(-1024, 1024) * 4, reg(rng))
    if r < 87:
        target = min(max(label + rng.between(-50, 50), 0), labels - 1)
        if rng.below(3):
            return "%s\t%s, %s, L%d" % (BRANCH2[rng.below(2)], reg(rng), reg(rng), target)
        return "%s\t%s, L%d" % (BRANCH1[rng.below(4)], reg(rng), target)
    if r < 90:
        target = min(max(label + rng.between(-50, 50), 0), labels - 1)
        return "%s\tL%d" % (JUMP[rng.below(2)], target)
    if rng.below(2):
        return "%s\t%s, %s" % (MULDIV[rng.below(2)], reg(rng), reg(rng))
    return "%s\t%s" % (HILO[rng.below(4)], reg(rng))


def data_item(rng):
    k = rng.below(3)
    if k == 0:
        return "\t.word\t%d" % rng.between(0, 2000000000)
    if k == 1:
        return "\t.half\t0x%X" % rng.between(0, 65535)
    return "\t.byte\t%d" % rng.between(0, 255)


def generate(lines, spacing, out):
    """Writes `lines` lines of body; label k sits on the first instruction line at or after
    line k * spacing, and every label a branch names is defined."""
    rng = Rng(0x7F4A7C159E3779B9 ^ lines ^ (spacing << 40))
    labels = (lines + spacing - 1) // spacing
    next_label = 0
    written = 0
    chunk = []
    while written < lines:
        if spacing > 1 and rng.below(1000) < 8 and lines - written > 12:
            # A run of data items in the data section; the switch lines count as lines too.
            # Runs hold seven items on average, so data items make about 5 % of the lines.
            count = rng.between(4, 10)
            chunk.append("\t.data")
            for _ in range(count):
                chunk.append(data_item(rng))
            chunk.append("\t.text")
            written += count + 2
        else:
            prefix = "\t"
            if next_label < labels and written >= next_label * spacing:
                prefix = "L%d:\t" % next_label
                next_label += 1
            text = prefix + instruction(rng, max(next_label - 1, 0), labels)
            if rng.below(5) == 0:
                text += "\t" + COMMENTS[rng.below(len(COMMENTS))]
            chunk.append(text)
            written += 1
        if len(chunk) >= 4096:
            out.write("\n".join(chunk))
            out.write("\n")
            chunk = []
    # Labels that the data runs pushed past the end still get a line each.
    while next_label < labels:
        chunk.append("L%d:\tnop" % next_label)
        next_label += 1
    if chunk:
        out.write("\n".join(chunk))
        out.write("\n")


def main():
    if len(sys.argv) != 5 or sys.argv[2] not in ("mixed", "labels"):
        sys.exit("usage: gen.py LINES mixed|labels OUT_TORVANE OUT_GAS")
    lines = int(sys.argv[1])
    spacing = 10 if sys.argv[2] == "mixed" else 1
    with open(sys.argv[3], "w", newline="\n") as out:
        out.write("\t.text\n")
        generate(lines, spacing, out)
    # The GNU as dialect: the same body after the two settings it needs.
    with open(sys.argv[3]) as body, open(sys.argv[4], "w", newline="\n") as out:
        out.write("\t.set\tnoreorder\n\t.set\tnoat\n")
        while True:
            block = body.read(1 << 20)
            if not block:
                break
            out.write(block)


if __name__ == "__main__":
    main()
