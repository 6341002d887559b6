; Arithmetic, logical and comparison instructions. Every line that assembles to words carries
; them after '#', in object-file byte order; words of one line are separated by '/'. An optional
; "@ADDRESS" before the bytes checks the address of the line's first record. Lines without '#'
; must assemble to nothing. Registers 3, 1, 2 are rd, rs1, rs2; the immediate is 100.

; Register or immediate last operand: "add" alone puts rs2 in the rs field.
        add   $3, $1, $2      # @00000000 00 41 18 20
        add   $3, $1, 100     # 20 23 00 64
        addu  $3, $1, $2      # 00 22 18 21
        addu  $3, $1, 100     # 24 23 00 64
        sub   $3, $1, $2      # 00 22 18 22
        sub   $3, $1, 100     # B0 23 00 64
        subu  $3, $1, $2      # 00 22 18 23
        subu  $3, $1, 100     # B4 23 00 64
        and   $3, $1, $2      # 00 22 18 24
        and   $3, $1, 100     # 30 23 00 64
        or    $3, $1, $2      # 00 22 18 25
        or    $3, $1, 100     # 34 23 00 64
        xor   $3, $1, $2      # 00 22 18 26
        xor   $3, $1, 100     # 38 23 00 64
        slt   $3, $1, $2      # 00 22 18 2A
        slt   $3, $1, 100     # 28 23 00 64
        sltu  $3, $1, $2      # 00 22 18 2B
        sltu  $3, $1, 100     # 2C 23 00 64
        nop                   # @00000048 00 00 00 00

; Immediate last operand, with an immediate or a test expression.
        addi  $3, $1, 100     # 20 23 00 64
        addiu $3, $1, 100     # 24 23 00 64
        andi  $3, $1, 100     # 30 23 00 64
        ori   $3, $1, 100     # 34 23 00 64
        xori  $3, $1, 100     # 38 23 00 64
        slti  $3, $1, 100     # 28 23 00 64
        sltiu $3, $1, 100     # 2C 23 00 64
        lui   $3, 100         # 3C 03 00 64
        addi  $3, $1, (# 99) + 1   # 20 23 00 64
        lui   $3, (# 6) * 7        # 3C 03 00 2A

; Immediates are cut to their low 16 bits without a message.
        addi  $3, $1, -1      # 20 23 FF FF
        addi  $3, $1, 0x12345 # 20 23 23 45
        lui   $3, 0x12345     # 3C 03 23 45
        ori   $3, $1, 0xFFFF0000 + 7   # 34 23 00 07
        addiu $3, $1, -32768  # 24 23 80 00

; Three registers.
        nor   $3, $1, $2      # 00 22 18 27
        seq   $3, $1, $2      # 00 22 18 36
        sge   $3, $1, $2      # 00 22 18 37
        sgeu  $3, $1, $2      # 00 22 18 38
        sgt   $3, $1, $2      # 00 22 18 39
        sgtu  $3, $1, $2      # 00 22 18 3A
        sle   $3, $1, $2      # 00 22 18 3B
        sleu  $3, $1, $2      # 00 22 18 3C
        sne   $3, $1, $2      # 00 22 18 3D

; Two operands.
        move  $3, $1          # 00 20 18 20
        neg   $3, $1          # 00 20 18 31
        negu  $3, $1          # 00 20 18 32
        not   $3, $1          # F4 23 00 00
        abs   $3, $1          # FC 23 00 00

; Load immediate: always lui then ori, two records, 8 bytes, whatever the value.
        li    $3, 0x12345678  # 3C 03 12 34 / 34 63 56 78
        li    $3, 5           # 3C 03 00 00 / 34 63 00 05
        li    $2, 5           # 3C 02 00 00 / 34 42 00 05
        li    $1, 0xFFFFFFFF  # 3C 01 FF FF / 34 21 FF FF
        li    $1, -1          # 3C 01 FF FF / 34 21 FF FF
        li    $31, 0          # 3C 1F 00 00 / 37 FF 00 00
        li    $3, 0x10000     # 3C 03 00 01 / 34 63 00 00
        nop                   # @000000F8 00 00 00 00

; Register spellings and fields at their widest: $sp is 29, $fp 30; nothing spills over.
        add   $31, $sp, $fp   # 03 DD F8 20
        addu  $31, $29, $30   # 03 BE F8 21
        sub   $0, $31, $31    # 03 FF 00 22
        ori   $31, $31, 0xFFFF   # 37 FF FF FF
        move  $fp, $sp        # 03 A0 F0 20
        not   $sp, $fp        # F7 DD 00 00

; Mnemonics are case-insensitive.
        ADD   $3, $1, $2      # 00 41 18 20
        Li    $3, 5           # 3C 03 00 00 / 34 63 00 05
