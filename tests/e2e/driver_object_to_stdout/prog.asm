addi $1, $0, 5
.byte 1
