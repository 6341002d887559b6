; Branches and jumps. Format as in arith.asm: expected words after '#', optional "@ADDRESS" for
; the first record. Branch offsets count words from the word after the branch; jump targets keep
; bits 27..2 of the address.

; Two-register branches, each at address A with the target A + 0x20 (offset 7).
        .text 0x100
        beq   $1, $2, 0x120   # @00000100 10 22 00 07
        bne   $1, $2, 0x124   # @00000104 14 22 00 07
        beqz  $1, $2, 0x128   # @00000108 BC 22 00 07
        bge   $1, $2, 0x12C   # @0000010C C0 22 00 07
        bgeu  $1, $2, 0x130   # @00000110 C4 22 00 07
        bgt   $1, $2, 0x134   # @00000114 C8 22 00 07
        bgtu  $1, $2, 0x138   # @00000118 CC 22 00 07
        ble   $1, $2, 0x13C   # @0000011C D0 22 00 07
        bleu  $1, $2, 0x140   # @00000120 D4 22 00 07
        blt   $1, $2, 0x144   # @00000124 D8 22 00 07
        bltu  $1, $2, 0x148   # @00000128 DC 22 00 07

; One-register branches: the rt field is a constant of the mnemonic.
        bltz   $1, 0x14C      # @0000012C 04 20 00 07
        bgez   $1, 0x150      # @00000130 04 21 00 07
        bltzal $1, 0x154      # @00000134 04 30 00 07
        bgezal $1, 0x158      # @00000138 04 31 00 07
        blez   $1, 0x15C      # @0000013C 18 20 00 07
        bgtz   $1, 0x160      # @00000140 1C 20 00 07
        bnez   $1, 0x164      # @00000144 E0 21 00 07
        bgez   $31, 0x168     # @00000148 07 E1 00 07
        bne    $31, $sp, 0x16C     # @0000014C 17 FD 00 07

; Offsets around the branch itself, backward and forward, by label and by number.
        .text 0x100
        beq   $1, $2, 0xF0    # @00000100 10 22 FF FB
        .text 0x200
self:   beq   $1, $2, self    # @00000200 10 22 FF FF
        beq   $1, $2, next    # @00000204 10 22 00 00
next:   beq   $1, $2, after   # @00000208 10 22 00 01
        beq   $1, $2, next    # @0000020C 10 22 FF FE
after:  bne   $1, $2, $after  # @00000210 14 22 FF FF
        blt   $1, $2, later   # @00000214 D8 22 00 04
        bgtz  $1, $later      # @00000218 1C 20 00 03
; Targets out of reach or misaligned are errors (see the branch_range end-to-end case).
        .text 0x228
later:  bne   $1, $2, $ 0x228 # @00000228 14 22 FF FF

; The "$" form of a target changes nothing in its value.
        .text 0x300
        beq   $1, $2, $target # @00000300 10 22 00 07
        beq   $1, $2, target  # @00000304 10 22 00 06
        beq   $1, $2, $ 0x320 # @00000308 10 22 00 05
        .text 0x320
target:

; Jumps: a register operand selects the jump to a register, anything else an absolute target.
        .text 0x500
        j     $31             # @00000500 03 E0 00 08
        jr    $31             # 03 E0 00 08
        b     $5              # 00 A0 00 08
        j     0x400018        # 08 10 00 06
        j     $ 0x400018      # 08 10 00 06
        b     0x400018        # 08 10 00 06
        jal   0x400018        # 0C 10 00 06
        jalr  $2, $31         # 00 40 F8 09
        jalr  $31, $2         # 03 E0 10 09
        j     target          # 08 00 00 C8
        j     $target         # 08 00 00 C8
        jal   target          # 0C 00 00 C8
        b     target          # 08 00 00 C8

; Bits 31..28 and 1..0 of a jump target are dropped without a message.
        j     0x10400018      # 08 10 00 06
        jal   0xF0400018      # 0C 10 00 06
        j     0x0040001B      # 08 10 00 06
        j     0x0FFFFFFC      # 0B FF FF FF
        nop                   # @00000544 00 00 00 00
