.text
start: addi $1, $0, 5
li $2, 0x12345678
loop: bne $1, $0, loop
.data 0x100
.word 7
.half 0x1234
.byte 65
.string "ab"
