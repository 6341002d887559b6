# jumptable.asm - dispatches on a number through a table of code addresses.

cases:  .equ    4                   # entries in the table

        .text
main:   addi    $4, $0, 2           # the number to dispatch on, 0 to cases - 1
        sltiu   $8, $4, cases       # $8 = 1 when the number has an entry
        beq     $8, $0, other       # no entry: take the default
        sll     $8, $4, 2           # byte offset of the entry: number * 4
        lw      $9, table($8)       # the code address stored in the entry
        jr      $9

case0:  addi    $2, $0, 100
        j       join
case1:  addi    $2, $0, 200
        j       join
case2:  addi    $2, $0, 300
        j       join
case3:  addi    $2, $0, 400
        j       join
other:  addi    $2, $0, -1
join:   sw      $2, result
halt:   j       halt

        .data   0x200
table:  .word   case0               # one address per case, in order
        .word   case1
        .word   case2
        .word   case3
result: .word   0                   # 300 once the program has run
