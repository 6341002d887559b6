nop
x: .equ y + 1
.word x
.word y
y: .word 0
