# strcopy.asm - copies a zero-terminated string, one byte at a time.

        .text
main:   addi    $4, $0, source      # $4: address of the string to copy
        addi    $5, $0, buffer      # $5: address of the destination
        jal     strcopy
halt:   j       halt

# strcopy: copies the string at $4 to $5, the zero byte included.
# Uses $2; leaves $4 and $5 just past the zero byte.
strcopy: lbu    $2, 0($4)           # next byte of the source
        sb      $2, 0($5)
        addi    $4, $4, 1
        addi    $5, $5, 1
        bne     $2, $0, strcopy     # go on until the zero byte has been stored
        jr      $31

        .data   0x100
source: .string "Copy me, byte by byte.\n"
buffer: .blockb 64                  # room for the copy; nothing is written here
