# factorial.asm - computes n! with a recursive subroutine that saves its state on the stack.

n:      .equ    6

        .text
main:   li      $sp, 0x8000         # the stack grows down from 0x8000
        addi    $4, $0, n
        jal     fact                # $2 = n!
        sw      $2, result
halt:   j       halt

# fact: returns $4! in $2. Keeps the return address and its argument in a frame of 8 bytes.
fact:   addi    $sp, $sp, -8        # push a frame
        sw      $31, 4($sp)
        sw      $4, 0($sp)
        addi    $2, $0, 1           # 0! = 1! = 1
        ble     $4, $2, return      # $4 <= 1: done
        addi    $4, $4, -1
        jal     fact                # $2 = ($4 - 1)!
        lw      $4, 0($sp)          # the argument, restored
        mul     $2, $2, $4          # $2 = $4 * ($4 - 1)!
return: lw      $31, 4($sp)
        addi    $sp, $sp, 8         # pop the frame
        jr      $31

        .data   0x100
result: .word   0                   # 720 once the program has run
