# demo.asm - adds up a table of words and counts the letters of a greeting.
# Assemble with a listing:   torvane -l demo.asm
# The object file is written to torvane2.out.

count:  .equ    5                   # number of words in the table

        .text
start:  li      $4, table           # $4: address of the table (a forward reference)
        addi    $5, $0, count       # $5: number of words to add
        jal     sum                 # $2 = sum of the table
        sw      $2, total           # absolute address: no base register
        addi    $4, $0, greeting
        jal     length              # $2 = number of bytes before the zero byte
        sh      $2, letters
halt:   j       halt                # nothing more to do: spin here

# sum: adds the $5 words that start at address $4; result in $2.
sum:    move    $2, $0              # running total
next:   beq     $5, $0, summed      # no words left?
        lw      $3, 0($4)
        add     $2, $2, $3
        addi    $4, $4, 4           # next word
        addi    $5, $5, -1
        j       next
summed: jr      $31

# length: counts the bytes of the string at $4 up to its zero byte; result in $2.
length: move    $2, $0
scan:   lbu     $3, 0($4)
        beq     $3, $0, counted
        addi    $2, $2, 1
        addi    $4, $4, 1
        j       scan
counted: jr     $31

        .data   0x200               # data section, from address 0x200
table:  .word   3
        .word   1
        .word   4
        .word   1
        .word   5
total:  .word   0                   # written by the program: 14
letters: .half  0                   # written by the program: 13
version: .half  0x0205
flags:  .byte   1
        .byte   -1                  # stored as FF
greeting: .string "Hello, world!"   # 13 characters and a zero byte
