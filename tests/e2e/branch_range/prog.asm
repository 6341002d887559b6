# Branch distances at the edges of the 16-bit word offset.
.text 0x100
beq $1, $2, 0x100 + 4 + 4 * 32767     # farthest forward: in range
beq $1, $2, 0x104 + 4 + 4 * 32768     # one word too far forward
beq $1, $2, 0x108 + 4 - 4 * 32768     # farthest backward: in range
beq $1, $2, 0x10C + 4 - 4 * 32769     # one word too far backward
bne $1, $2, 0x116                     # not a multiple of 4
bltz $1, near                         # forward label in range
near: bgez $1, $Far                   # forward label out of range
j 0x10000000                          # jumps are not checked
.blockw 40000
far: nop
