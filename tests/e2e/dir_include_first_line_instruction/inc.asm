addi $1, $0, 1
nop
