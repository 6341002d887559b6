.word 1 / 0
addi $1, $0, (# 5) / 0
.word 7
