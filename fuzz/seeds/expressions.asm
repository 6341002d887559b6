# every operator level, test expressions and forward references
base:   .equ    0x100
        addi    $1, $0, 1 < 2 || 0 + (1 ^ 1 | 1) + 2 ** 3 ** 2 - -2 ** 2
        addi    $2, $0, ~!0 * 7 / -2 - 3 << 4 >> 1 & 0xFF && true
        slti    $3, $4, (# 3) <= 4
        lui     $5, (# 6) @ 7
        sll     $6, $7, later - base
        beq     $1, $2, $later
        .data   base
later:    .word   1_000 != null
        .half   -1 >= false
        .byte   300
