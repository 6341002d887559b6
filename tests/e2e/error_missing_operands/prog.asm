add $3, $1,
sll $3, $1,
addi $1, $2,
lui $1,
beq $1, $2,
bnez $1,
j
b
jal
mfhi
lw $3,
