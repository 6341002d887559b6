.byte 1
.word 2
.align 4
.half 3
