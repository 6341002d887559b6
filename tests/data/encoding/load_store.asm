; Loads and stores. Format as in arith.asm: expected words after '#', optional "@ADDRESS" for the
; first record. Data register 3, base register 1, offset 8; without a base the rs field is 0.

        lb    $3, 8($1)       # @00000000 80 23 00 08
        lb    $3, 8           # 80 03 00 08
        lbu   $3, 8($1)       # 90 23 00 08
        lbu   $3, 8           # 90 03 00 08
        lh    $3, 8($1)       # 84 23 00 08
        lh    $3, 8           # 84 03 00 08
        lhu   $3, 8($1)       # 94 23 00 08
        lhu   $3, 8           # 94 03 00 08
        lw    $3, 8($1)       # 8C 23 00 08
        lw    $3, 8           # 8C 03 00 08
        lwl   $3, 8($1)       # 88 23 00 08
        lwl   $3, 8           # 88 03 00 08
        lwr   $3, 8($1)       # 98 23 00 08
        lwr   $3, 8           # 98 03 00 08
        sb    $3, 8($1)       # A0 23 00 08
        sb    $3, 8           # A0 03 00 08
        sh    $3, 8($1)       # A4 23 00 08
        sh    $3, 8           # A4 03 00 08
        sw    $3, 8($1)       # AC 23 00 08
        sw    $3, 8           # AC 03 00 08

; Offsets are cut to 16 bits; $sp is register 29.
        lw    $3, 0x12344     # 8C 03 23 44
        sb    $3, -1($2)      # A0 43 FF FF
        sw    $31, -4($sp)    # AF BF FF FC
        sh    $fp, 0xFFFF($31)     # A7 FE FF FF
        lw    $3, -0x8000($1) # 8C 23 80 00
        lw    $3, 0($1)       # 8C 23 00 00
        lw    $3, 0x7FFF0010($0)   # 8C 03 00 10

; The offset is an expression; a parenthesised offset is not a base.
        lw    $3, 4 * 2($1)   # 8C 23 00 08
        lw    $3, (4 + 4)($1) # 8C 23 00 08
        lw    $3, (4 + 4)     # 8C 03 00 08
        lw    $3, cell($0)    # 8C 03 12 34
        sw    $3, cell + 4    # AC 03 12 38
        lbu   $3, cell+3($2)  # 90 43 12 37
        lh    $3, later($1)   # 84 23 00 A0
        nop                   # @00000088 00 00 00 00

        .data 0x1234
cell:   .word 0x55            # @00001234 00 00 00 55
        .text 0xA0
later:  lw    $31, later($sp) # @000000A0 8F BF 00 A0
