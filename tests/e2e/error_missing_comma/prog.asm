add $3 $1, $2
nop
nop
