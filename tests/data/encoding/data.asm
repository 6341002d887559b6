; Data directives. Format as in arith.asm: expected bytes after '#', optional "@ADDRESS" for the
; record. Each directive writes one record; nothing aligns the counter.

; One item per directive, cut to the item's width.
        .word 7               # @00000000 00 00 00 07
        .word 0x12345678      # 12 34 56 78
        .word -1              # FF FF FF FF
        .word 0x80000000      # 80 00 00 00
        .half 0x1234          # @00000010 12 34
        .half 0x12345         # 23 45
        .half -1              # FF FF
        .byte 65              # @00000016 41
        .byte -1              # FF
        .byte 300             # 2C
        .byte 255             # FF
        .byte 0               # 00
        .word 2               # @0000001B 00 00 00 02

; Strings: every character, then a zero byte, in one record.
        .string "ab"          # @0000001F 61 62 00
        .string ""            # @00000022 00
        .string "abcdefghij"  # @00000023 61 62 63 64 65 66 67 68 69 6A 00
        .string "a\tb\x41\101\"\\"   # @0000002E 61 09 62 41 41 22 5C 00
        .string "\xE9\377"    # @00000036 E9 FF 00

; ".align" changes nothing; the block directives move the counter and write nothing.
        .align 4
        .word 3               # @00000039 00 00 00 03
        .blockw 3
        .word 4               # @00000049 00 00 00 04
        .blockh 2
        .blockb 1
        .half 5               # @00000052 00 05

; Each section keeps its own counter.
        .data 0x100
        .word 6               # @00000100 00 00 00 06
        .text
        .byte 7               # @00000054 07
        .data
        .half 8               # @00000104 00 08
        .text 0x40
        .word here            # @00000040 00 00 00 44
here:   .word here + 1        # @00000044 00 00 00 45
ahead:  .equ 0x1234 * 2
        .word ahead           # @00000048 00 00 24 68
        .half ahead           # 24 68
        .byte ahead           # 68

; A counter passing 0xFFFFFFFF wraps to 0.
        .data 0xFFFFFFFC
        .word 9               # @FFFFFFFC 00 00 00 09
        .word 10              # @00000000 00 00 00 0A
