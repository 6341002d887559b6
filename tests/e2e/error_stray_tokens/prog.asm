nor $3, $1, $2 $4
.word 1, 2
nop
